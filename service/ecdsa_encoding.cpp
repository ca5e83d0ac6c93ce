#include "service/ecdsa_encoding.h"

#include <vector>

namespace norvex::service {

namespace {

// OIDs (contents only): id-ecPublicKey and prime256v1.
const std::string kEcPublicKeyOid("\x2a\x86\x48\xce\x3d\x02\x01", 7);
const std::string kP256Oid("\x2a\x86\x48\xce\x3d\x03\x01\x07", 8);

// A reader of DER: one element at a time from a range of bytes.
class DerReader {
 public:
  explicit DerReader(std::string_view bytes) : bytes_(bytes) {}
  bool empty() const { return at_ == bytes_.size(); }
  uint8_t PeekTag() const { return empty() ? 0 : static_cast<uint8_t>(bytes_[at_]); }
  // Reads one element of the tag; its contents in *contents. Lengths in definite form only,
  // of at most 0xFFFF bytes, in their shortest form.
  bool Read(uint8_t tag, std::string_view* contents) {
    if (bytes_.size() - at_ < 2 || static_cast<uint8_t>(bytes_[at_]) != tag) return false;
    size_t at = at_ + 1;
    size_t length = static_cast<uint8_t>(bytes_[at++]);
    if (length >= 0x80) {
      const size_t count = length - 0x80;
      if (count == 0 || count > 2 || bytes_.size() - at < count) return false;
      length = 0;
      for (size_t i = 0; i < count; ++i) length = length << 8 | static_cast<uint8_t>(bytes_[at++]);
      if (length < 0x80 || (count == 2 && length < 0x100)) return false;
    }
    if (bytes_.size() - at < length) return false;
    *contents = bytes_.substr(at, length);
    at_ = at + length;
    return true;
  }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

// A positive INTEGER's value as 32 bytes, left-padded with zeros.
bool ReadUnsigned32(DerReader& reader, std::string* out) {
  std::string_view value;
  if (!reader.Read(0x02, &value) || value.empty()) return false;
  if (static_cast<uint8_t>(value[0]) & 0x80) return false;  // negative
  // One leading zero is allowed only where it keeps the next byte's high bit from the sign.
  if (value.size() > 1 && value[0] == 0 && !(static_cast<uint8_t>(value[1]) & 0x80)) return false;
  if (value[0] == 0) value.remove_prefix(1);
  if (value.size() > 32) return false;
  *out = std::string(32 - value.size(), '\0') + std::string(value);
  return true;
}

std::string DerLength(size_t length) {
  if (length < 0x80) return std::string(1, static_cast<char>(length));
  return std::string{static_cast<char>(0x81), static_cast<char>(length)};
}

std::string DerUnsigned(std::string_view value) {
  while (value.size() > 1 && value[0] == 0) value.remove_prefix(1);
  std::string contents(value);
  if (static_cast<uint8_t>(contents[0]) & 0x80) contents.insert(0, 1, '\0');
  return "\x02" + DerLength(contents.size()) + contents;
}

bool IsPoint(std::string_view point) {
  return point.size() == kP256PointSize && point[0] == 0x04;
}

bool Fail(std::string* error, const char* reason) {
  if (error) *error = reason;
  return false;
}

// SEC1 ECPrivateKey: version 1, the scalar, [0] the curve, [1] the public point.
bool ReadSec1(std::string_view der, bool curve_known, P256PrivateKey* key, std::string* error) {
  DerReader outer(der);
  std::string_view body;
  if (!outer.Read(0x30, &body) || !outer.empty()) return Fail(error, "not a key in DER");
  DerReader reader(body);
  std::string_view version, scalar;
  if (!reader.Read(0x02, &version) || version != std::string_view("\x01", 1)) {
    return Fail(error, "not an EC private key");
  }
  if (!reader.Read(0x04, &scalar) || scalar.empty() || scalar.size() > 32) {
    return Fail(error, "not an EC private key");
  }
  key->scalar = std::string(32 - scalar.size(), '\0') + std::string(scalar);
  if (reader.PeekTag() == 0xA0) {
    std::string_view parameters, oid;
    if (!reader.Read(0xA0, &parameters)) return Fail(error, "not an EC private key");
    DerReader inner(parameters);
    if (!inner.Read(0x06, &oid) || !inner.empty()) return Fail(error, "not a named curve");
    if (oid != kP256Oid) return Fail(error, "not a key of the curve P-256 (prime256v1)");
    curve_known = true;
  }
  if (!curve_known) return Fail(error, "the key does not name its curve");
  if (reader.PeekTag() != 0xA1) {
    return Fail(error, "the key holds no public key (write it with OpenSSL 1.1 or later)");
  }
  std::string_view wrapped, bits;
  if (!reader.Read(0xA1, &wrapped)) return Fail(error, "not an EC private key");
  DerReader inner(wrapped);
  if (!inner.Read(0x03, &bits) || !inner.empty() || bits.empty() || bits[0] != 0 ||
      !IsPoint(bits.substr(1))) {
    return Fail(error, "the key's public point is not an uncompressed P-256 point");
  }
  key->point = std::string(bits.substr(1));
  return reader.empty() || Fail(error, "not an EC private key");
}

}  // namespace

std::optional<std::string> DerSignatureToRawP256(const std::string& der) {
  DerReader outer(der);
  std::string_view body;
  if (!outer.Read(0x30, &body) || !outer.empty()) return std::nullopt;
  DerReader reader(body);
  std::string r, s;
  if (!ReadUnsigned32(reader, &r) || !ReadUnsigned32(reader, &s) || !reader.empty()) {
    return std::nullopt;
  }
  return r + s;
}

std::string RawP256ToDerSignature(const std::string& raw) {
  if (raw.size() != 64) return "";
  const std::string body =
      DerUnsigned(std::string_view(raw).substr(0, 32)) + DerUnsigned(std::string_view(raw).substr(32));
  return "\x30" + DerLength(body.size()) + body;
}

std::optional<PemBlock> ReadPem(const std::string& text) {
  const std::string begin = "-----BEGIN ";
  const size_t start = text.find(begin);
  if (start == std::string::npos) return std::nullopt;
  const size_t label_end = text.find("-----", start + begin.size());
  if (label_end == std::string::npos) return std::nullopt;
  PemBlock block;
  block.label = text.substr(start + begin.size(), label_end - start - begin.size());
  const std::string end = "-----END " + block.label + "-----";
  const size_t body_start = label_end + 5;
  const size_t body_end = text.find(end, body_start);
  if (body_end == std::string::npos) return std::nullopt;
  uint32_t bits = 0;
  int count = 0, padding = 0;
  for (size_t i = body_start; i < body_end; ++i) {
    const char c = text[i];
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else if (c == '=') { ++padding; continue; }
    else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    else return std::nullopt;  // a header line ("Proc-Type: ...") or anything else
    if (padding) return std::nullopt;  // text after the padding
    bits = bits << 6 | static_cast<uint32_t>(value);
    if (++count % 4 == 0) {
      block.der += static_cast<char>(bits >> 16);
      block.der += static_cast<char>(bits >> 8);
      block.der += static_cast<char>(bits);
      bits = 0;
    }
  }
  const int rest = count % 4;
  if (rest == 1 || padding > 2 || (padding && rest + padding != 4)) return std::nullopt;
  if (rest == 2) block.der += static_cast<char>(bits >> 4);
  if (rest == 3) {
    block.der += static_cast<char>(bits >> 10);
    block.der += static_cast<char>(bits >> 2);
  }
  return block;
}

std::optional<std::string> ReadP256PublicKeyDer(const std::string& der) {
  DerReader outer(der);
  std::string_view body, algorithm, bits, oid, curve;
  if (!outer.Read(0x30, &body) || !outer.empty()) return std::nullopt;
  DerReader reader(body);
  if (!reader.Read(0x30, &algorithm) || !reader.Read(0x03, &bits) || !reader.empty()) {
    return std::nullopt;
  }
  DerReader names(algorithm);
  if (!names.Read(0x06, &oid) || oid != kEcPublicKeyOid || !names.Read(0x06, &curve) ||
      curve != kP256Oid || !names.empty()) {
    return std::nullopt;
  }
  if (bits.empty() || bits[0] != 0 || !IsPoint(bits.substr(1))) return std::nullopt;
  return std::string(bits.substr(1));
}

std::string P256PublicKeyDer(const std::string& point) {
  if (point.size() != kP256PointSize) return "";
  const std::string algorithm =
      "\x06" + DerLength(kEcPublicKeyOid.size()) + kEcPublicKeyOid + "\x06" +
      DerLength(kP256Oid.size()) + kP256Oid;
  const std::string body = "\x30" + DerLength(algorithm.size()) + algorithm + "\x03" +
                           DerLength(point.size() + 1) + std::string(1, '\0') + point;
  return "\x30" + DerLength(body.size()) + body;
}

std::optional<P256PrivateKey> ReadP256PrivateKeyDer(const std::string& der, std::string* error) {
  P256PrivateKey key;
  DerReader outer(der);
  std::string_view body;
  if (!outer.Read(0x30, &body) || !outer.empty()) {
    Fail(error, "not a key in DER");
    return std::nullopt;
  }
  DerReader reader(body);
  std::string_view version;
  if (!reader.Read(0x02, &version)) {
    Fail(error, "not a private key");
    return std::nullopt;
  }
  if (version == std::string_view("\x01", 1)) {
    // SEC1 itself: its version is 1 where PKCS#8's is 0.
    if (!ReadSec1(der, false, &key, error)) return std::nullopt;
    return key;
  }
  std::string_view algorithm, wrapped, oid, curve;
  if (version != std::string_view("\x00", 1) || !reader.Read(0x30, &algorithm) ||
      !reader.Read(0x04, &wrapped)) {
    Fail(error, "not a private key");
    return std::nullopt;
  }
  DerReader names(algorithm);
  if (!names.Read(0x06, &oid) || oid != kEcPublicKeyOid) {
    Fail(error, "not an EC key");
    return std::nullopt;
  }
  if (!names.Read(0x06, &curve) || curve != kP256Oid || !names.empty()) {
    Fail(error, "not a key of the curve P-256 (prime256v1)");
    return std::nullopt;
  }
  // Attributes ([0]) may follow; they say nothing about the key.
  if (!ReadSec1(wrapped, true, &key, error)) return std::nullopt;
  return key;
}

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    hex += kDigits[static_cast<uint8_t>(c) >> 4];
    hex += kDigits[static_cast<uint8_t>(c) & 15];
  }
  return hex;
}

std::optional<std::string> BytesOfHex(const std::string& hex) {
  if (hex.size() % 2) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high << 4 | low);
  }
  return bytes;
}

}  // namespace norvex::service
