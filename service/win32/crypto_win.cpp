// SHA-256 and ECDSA P-256 through CNG. CNG takes keys as blobs (a header, X, Y and for a private
// key d) and signatures as r || s, so the DER forms are converted by the core on the way.
#include "service/win32/crypto_win.h"

#include <cstring>
#include <vector>

#include "platform/win32/windows_api.h"
#include "service/ecdsa_encoding.h"

#include <bcrypt.h>

namespace norvex::service::win32 {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

class Algorithm {
 public:
  explicit Algorithm(const wchar_t* name) {
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle_, name, nullptr, 0))) handle_ = nullptr;
  }
  ~Algorithm() {
    if (handle_) ::BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (handle_) ::BCryptDestroyKey(handle_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  BCRYPT_KEY_HANDLE* put() { return &handle_; }
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

class BCryptSha256 : public Sha256Hasher {
 public:
  BCryptSha256() : algorithm_(BCRYPT_SHA256_ALGORITHM) {
    if (!algorithm_.get()) return;
    DWORD object_size = 0;
    ULONG written = 0;
    if (!Succeeded(::BCryptGetProperty(algorithm_.get(), BCRYPT_OBJECT_LENGTH,
                                       reinterpret_cast<PUCHAR>(&object_size), sizeof object_size,
                                       &written, 0))) {
      return;
    }
    object_.resize(object_size);
    if (!Succeeded(::BCryptCreateHash(algorithm_.get(), &hash_, object_.data(), object_size,
                                      nullptr, 0, 0))) {
      hash_ = nullptr;
    }
  }
  ~BCryptSha256() override {
    if (hash_) ::BCryptDestroyHash(hash_);
  }
  bool ready() const { return hash_ != nullptr; }
  void Update(const char* data, size_t size) override {
    // CNG takes at most 4 GiB per call.
    while (size > 0 && !failed_) {
      const ULONG piece = static_cast<ULONG>(size > 0x40000000 ? 0x40000000 : size);
      failed_ = !Succeeded(::BCryptHashData(
          hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(data)), piece, 0));
      data += piece;
      size -= piece;
    }
  }
  std::string Finish() override {
    std::string digest(kSha256Size, '\0');
    if (failed_ || !Succeeded(::BCryptFinishHash(hash_, reinterpret_cast<PUCHAR>(digest.data()),
                                                 static_cast<ULONG>(digest.size()), 0))) {
      return "";
    }
    return digest;
  }

 private:
  Algorithm algorithm_;
  std::vector<UCHAR> object_;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
  bool failed_ = false;
};

// A key blob: the header, X and Y (and d for a private key).
std::vector<UCHAR> KeyBlob(ULONG magic, const std::string& point, const std::string& scalar) {
  BCRYPT_ECCKEY_BLOB header{magic, 32};
  std::vector<UCHAR> blob(sizeof header + 64 + scalar.size());
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, point.data() + 1, 64);
  if (!scalar.empty()) std::memcpy(blob.data() + sizeof header + 64, scalar.data(), scalar.size());
  return blob;
}

}  // namespace

std::unique_ptr<Sha256Hasher> BCryptCrypto::NewSha256() {
  auto hasher = std::make_unique<BCryptSha256>();
  if (!hasher->ready()) return nullptr;
  return hasher;
}

bool BCryptCrypto::VerifyP256(const std::string& public_point, const std::string& message,
                              const std::string& der_signature) {
  if (public_point.size() != kP256PointSize || public_point[0] != 0x04) return false;
  const std::optional<std::string> raw = DerSignatureToRawP256(der_signature);
  if (!raw) return false;
  const std::string digest = Sha256Of(*this, message);
  if (digest.size() != kSha256Size) return false;
  Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!algorithm.get()) return false;
  std::vector<UCHAR> blob = KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, public_point, "");
  KeyHandle key;
  if (!Succeeded(::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                       blob.data(), static_cast<ULONG>(blob.size()), 0))) {
    return false;
  }
  std::string signature = *raw;
  std::string hash = digest;
  return ::BCryptVerifySignature(key.get(), nullptr, reinterpret_cast<PUCHAR>(hash.data()),
                                 static_cast<ULONG>(hash.size()),
                                 reinterpret_cast<PUCHAR>(signature.data()),
                                 static_cast<ULONG>(signature.size()), 0) == 0;
}

bool BCryptCrypto::SignP256(const std::string& private_key_pem, const std::string& message,
                            std::string* der_signature, std::string* error) {
  const std::optional<PemBlock> pem = ReadPem(private_key_pem);
  if (!pem || (pem->label != "PRIVATE KEY" && pem->label != "EC PRIVATE KEY")) {
    *error = "not a PEM private key without a pass phrase";
    return false;
  }
  const std::optional<P256PrivateKey> parsed = ReadP256PrivateKeyDer(pem->der, error);
  if (!parsed) return false;
  std::string digest = Sha256Of(*this, message);
  Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  std::vector<UCHAR> blob =
      KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, parsed->point, parsed->scalar);
  KeyHandle key;
  const bool imported =
      digest.size() == kSha256Size && algorithm.get() &&
      Succeeded(::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.put(),
                                      blob.data(), static_cast<ULONG>(blob.size()), 0));
  SecureZeroMemory(blob.data(), blob.size());
  if (!imported) {
    *error = "the system could not take the key";
    return false;
  }
  std::string raw(64, '\0');
  ULONG written = 0;
  if (!Succeeded(::BCryptSignHash(key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
                                  static_cast<ULONG>(digest.size()),
                                  reinterpret_cast<PUCHAR>(raw.data()),
                                  static_cast<ULONG>(raw.size()), &written, 0)) ||
      written != raw.size()) {
    *error = "the system could not sign";
    return false;
  }
  *der_signature = RawP256ToDerSignature(raw);
  return true;
}

}  // namespace norvex::service::win32
