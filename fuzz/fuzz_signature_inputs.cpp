// What the update service and its publisher read from outside: the manifest's signature (DER),
// key files (PEM, then DER) and the manifest that the publisher edits. Whatever the bytes: a
// signature that is read writes back to the same r and s, a key that is read has a point of the
// curve's size, and the publisher's edit keeps every line it does not set and reads back the
// values it sets.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/ecdsa_encoding.h"
#include "service/publish/manifest_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvex::service;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (const auto raw = DerSignatureToRawP256(bytes)) {
    if (raw->size() != 64 || DerSignatureToRawP256(RawP256ToDerSignature(*raw)) != raw) std::abort();
  }
  std::string der = bytes;
  if (const auto pem = ReadPem(bytes)) der = pem->der;
  if (const auto point = ReadP256PublicKeyDer(der)) {
    if (point->size() != kP256PointSize || ReadP256PublicKeyDer(P256PublicKeyDer(*point)) != point) {
      std::abort();
    }
  }
  std::string error;
  if (const auto key = ReadP256PrivateKeyDer(der, &error)) {
    if (key->scalar.size() != 32 || key->point.size() != kP256PointSize) std::abort();
  } else if (error.empty()) {
    std::abort();  // a refused key always says why
  }
  if (const auto hex = BytesOfHex(bytes); hex && HexOf(*hex).size() != bytes.size()) std::abort();
  // Every archive is known: every module section whose URL names one is filled.
  std::vector<FilledSection> sections;
  const std::string filled = FillModuleChecks(
      bytes, [](const std::string&) { return ArchiveFacts{std::string(64, 'a'), 1}; }, &sections);
  for (const FilledSection& section : sections) {
    if (section.found == section.archive.empty()) std::abort();
  }
  const std::string again = FillModuleChecks(
      filled, [](const std::string&) { return ArchiveFacts{std::string(64, 'a'), 1}; }, nullptr);
  if (again != filled) std::abort();  // filling twice changes nothing more
  // The publisher's serial: set, it reads back; set again, nothing more changes.
  const std::string stamped = SetCommonValue(bytes, "SERIAL", "18446744073709551615");
  if (CommonValue(stamped, "SERIAL") != "18446744073709551615") std::abort();
  if (SetCommonValue(stamped, "SERIAL", "18446744073709551615") != stamped) std::abort();
  return 0;
}
