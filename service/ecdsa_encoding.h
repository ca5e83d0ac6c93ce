// Encodings around ECDSA P-256 that the platforms do not share: DER signatures and their
// fixed-size form (r and s, 32 bytes each), PEM text, the DER of public and private keys, and
// hexadecimal text. Every reader here takes outside input and refuses what it does not know.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace norvex::service {

inline constexpr size_t kP256PointSize = 65;  // 0x04, X, Y
inline constexpr size_t kSha256Size = 32;

// The 64 bytes r || s of a DER signature (SEQUENCE of two positive INTEGERs of at most 32
// bytes each, nothing after it); nothing for anything else.
std::optional<std::string> DerSignatureToRawP256(const std::string& der);
// The DER signature of r || s (64 bytes); empty for another length.
std::string RawP256ToDerSignature(const std::string& raw);

struct PemBlock {
  std::string label;  // "PUBLIC KEY", "PRIVATE KEY", "EC PRIVATE KEY", ...
  std::string der;
};
// The first PEM block of text ("-----BEGIN label-----", base64, "-----END label-----"); nothing
// when there is none, its base64 is broken or it carries headers (an encrypted key).
std::optional<PemBlock> ReadPem(const std::string& text);

// The uncompressed point of a P-256 SubjectPublicKeyInfo (what "openssl ec -pubout" writes in
// DER); nothing for another curve, a compressed point or anything else.
std::optional<std::string> ReadP256PublicKeyDer(const std::string& der);
// The SubjectPublicKeyInfo DER of a P-256 point (65 bytes); empty for another length.
std::string P256PublicKeyDer(const std::string& point);

struct P256PrivateKey {
  std::string scalar;  // d, 32 bytes
  std::string point;   // the public point, 65 bytes
};
// A P-256 private key from the DER of "PRIVATE KEY" (PKCS#8) or "EC PRIVATE KEY" (SEC1). The
// key must name the curve and carry its public point (as OpenSSL writes them); nothing
// otherwise, with the reason in *error when given.
std::optional<P256PrivateKey> ReadP256PrivateKeyDer(const std::string& der,
                                                    std::string* error = nullptr);

// Lower-case hexadecimal of bytes.
std::string HexOf(const std::string& bytes);
// The bytes of hexadecimal text (either case, even length, nothing else); nothing otherwise.
std::optional<std::string> BytesOfHex(const std::string& hex);

}  // namespace norvex::service
