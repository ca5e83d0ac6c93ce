#pragma once

#include "service/crypto.h"

namespace norvex::service::posix {

// SHA-256 and ECDSA P-256 through OpenSSL's EVP functions.
class OpenSslCrypto : public Crypto {
 public:
  std::unique_ptr<Sha256Hasher> NewSha256() override;
  bool VerifyP256(const std::string& public_point, const std::string& message,
                  const std::string& der_signature) override;
  bool SignP256(const std::string& private_key_pem, const std::string& message,
                std::string* der_signature, std::string* error) override;
};

}  // namespace norvex::service::posix
