// SHA-256 and ECDSA P-256 through OpenSSL. The public key comes as a bare point and is handed to
// OpenSSL as the SubjectPublicKeyInfo that wraps it; private keys are read by OpenSSL's own PEM
// reader (PKCS#8 and SEC1).
#include "service/posix/crypto_posix.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "service/ecdsa_encoding.h"

namespace norvex::service::posix {

namespace {

struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;
struct KeyDeleter {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
struct BioDeleter {
  void operator()(BIO* b) const { BIO_free(b); }
};

class OpenSslSha256 : public Sha256Hasher {
 public:
  explicit OpenSslSha256(DigestContext context) : context_(std::move(context)) {}
  void Update(const char* data, size_t size) override {
    if (size && !EVP_DigestUpdate(context_.get(), data, size)) failed_ = true;
  }
  std::string Finish() override {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (failed_ || !EVP_DigestFinal_ex(context_.get(), digest, &length) || length != kSha256Size) {
      return "";
    }
    return std::string(reinterpret_cast<const char*>(digest), length);
  }

 private:
  DigestContext context_;
  bool failed_ = false;
};

// The key is of the curve P-256: "EC" keys of another curve are refused too.
bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") &&
         EVP_PKEY_get_utf8_string_param(key, "group", group, sizeof group, &length) &&
         std::string(group, length) == "prime256v1";
}

}  // namespace

std::unique_ptr<Sha256Hasher> OpenSslCrypto::NewSha256() {
  DigestContext context(EVP_MD_CTX_new());
  if (!context || !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr)) return nullptr;
  return std::make_unique<OpenSslSha256>(std::move(context));
}

bool OpenSslCrypto::VerifyP256(const std::string& public_point, const std::string& message,
                               const std::string& der_signature) {
  const std::string spki = P256PublicKeyDer(public_point);
  if (spki.empty()) return false;
  const auto* at = reinterpret_cast<const unsigned char*>(spki.data());
  Key key(d2i_PUBKEY(nullptr, &at, static_cast<long>(spki.size())));
  if (!key || !IsP256(key.get())) return false;
  // OpenSSL takes some BER forms too; only the strict DER that signers write is taken here.
  if (!DerSignatureToRawP256(der_signature)) return false;
  DigestContext context(EVP_MD_CTX_new());
  if (!context ||
      EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    return false;
  }
  return EVP_DigestVerify(context.get(),
                          reinterpret_cast<const unsigned char*>(der_signature.data()),
                          der_signature.size(),
                          reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}

bool OpenSslCrypto::SignP256(const std::string& private_key_pem, const std::string& message,
                             std::string* der_signature, std::string* error) {
  std::unique_ptr<BIO, BioDeleter> bio(
      BIO_new_mem_buf(private_key_pem.data(), static_cast<int>(private_key_pem.size())));
  // No pass phrase is asked for: an encrypted key fails here.
  Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr,
                                         [](char*, int, int, void*) { return 0; }, nullptr)
              : nullptr);
  if (!key) {
    *error = "not a PEM private key without a pass phrase";
    return false;
  }
  if (!IsP256(key.get())) {
    *error = "not a key of the curve P-256 (prime256v1)";
    return false;
  }
  DigestContext context(EVP_MD_CTX_new());
  size_t size = 0;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    *error = "OpenSSL could not sign";
    return false;
  }
  std::string signature(size, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    *error = "OpenSSL could not sign";
    return false;
  }
  signature.resize(size);
  *der_signature = signature;
  return true;
}

}  // namespace norvex::service::posix
