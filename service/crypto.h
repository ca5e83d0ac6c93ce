// The platform's cryptography as the service and its publisher use it: SHA-256, and ECDSA over
// the curve P-256 with SHA-256 (signatures in DER, as OpenSSL's "dgst -sign" writes them).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace norvex::service {

// A SHA-256 computation fed in pieces.
class Sha256Hasher {
 public:
  virtual ~Sha256Hasher() = default;
  virtual void Update(const char* data, size_t size) = 0;
  // The 32 bytes of the digest; empty when the platform failed. Call once.
  virtual std::string Finish() = 0;
};

class Crypto {
 public:
  virtual ~Crypto() = default;
  // Null when the platform cannot hash.
  virtual std::unique_ptr<Sha256Hasher> NewSha256() = 0;
  // True only when der_signature is an ECDSA P-256 signature over SHA-256(message) made with the
  // private key of public_point (the uncompressed point: 0x04, X and Y, 65 bytes).
  virtual bool VerifyP256(const std::string& public_point, const std::string& message,
                          const std::string& der_signature) = 0;
  // Signs SHA-256(message) with a P-256 private key given as PEM text ("PRIVATE KEY", PKCS#8,
  // or "EC PRIVATE KEY", SEC1). The DER signature in *der_signature, or false with the reason
  // in *error.
  virtual bool SignP256(const std::string& private_key_pem, const std::string& message,
                        std::string* der_signature, std::string* error) = 0;
};

// SHA-256 of bytes through the platform; empty when the platform failed.
inline std::string Sha256Of(Crypto& crypto, const std::string& bytes) {
  std::unique_ptr<Sha256Hasher> hasher = crypto.NewSha256();
  if (!hasher) return "";
  hasher->Update(bytes.data(), bytes.size());
  return hasher->Finish();
}

}  // namespace norvex::service
