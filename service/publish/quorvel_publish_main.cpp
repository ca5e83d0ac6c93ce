// quorvel-publish SITE_DIR PRIVATE_KEY.pem [--manifest liveupdate.ini] [--valid-days N]
// Prepares an update site for services that check what they download: fills SHA256 and SIZE
// of each module whose archive lies in the site folder, raises the manifest's SERIAL (and sets
// its EXPIRES when asked), and signs the manifest (the detached signature "<manifest>.sig",
// DER ECDSA P-256 over SHA-256 of the manifest's bytes).
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "service/ecdsa_encoding.h"
#include "service/platform_factory.h"
#include "service/publish/manifest_checks.h"
#include "service/update_pass.h"

namespace {

namespace fs = std::filesystem;
using namespace norvex::service;

constexpr char kUsage[] =
    "Usage: quorvel-publish SITE_DIR PRIVATE_KEY.pem [--manifest liveupdate.ini] [--valid-days N]\n"
    "Fills SHA256 and SIZE in each module section of the manifest whose archive (the last part\n"
    "of its URL) is found in SITE_DIR, sets [COMMON] SERIAL to one more than it was (1 when it\n"
    "had none), and writes the manifest's signature beside it (<manifest>.sig). With\n"
    "--valid-days, [COMMON] EXPIRES is set to N days from now: services stop taking the\n"
    "manifest then, so publish again before. The manifest is SITE_DIR/liveupdate.ini unless\n"
    "--manifest names another (relative to SITE_DIR, or absolute).\n";

// The largest number of days a manifest may be given (about 100 years).
constexpr uint64_t kMaxValidDays = 36500;

int Fail(const std::string& message) {
  std::fprintf(stderr, "quorvel-publish: %s\n", message.c_str());
  return 1;
}

bool ReadAll(const fs::path& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream s;
  s << in.rdbuf();
  *bytes = s.str();
  return !in.bad();
}

// Written beside the target and renamed over it, so that a reader sees the old or the new file.
bool WriteReplacing(const fs::path& path, const std::string& bytes) {
  fs::path temporary = path;
  temporary += ".publishing";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

// SHA-256 and length of a file, read in pieces.
std::optional<ArchiveFacts> FactsOf(Crypto& crypto, const fs::path& path) {
  std::unique_ptr<Sha256Hasher> hasher = crypto.NewSha256();
  std::ifstream in(path, std::ios::binary);
  if (!hasher || !in) return std::nullopt;
  std::vector<char> buffer(1 << 20);
  ArchiveFacts facts;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize n = in.gcount();
    if (n <= 0) break;
    hasher->Update(buffer.data(), static_cast<size_t>(n));
    facts.size += static_cast<uint64_t>(n);
  }
  if (in.bad()) return std::nullopt;
  const std::string digest = hasher->Finish();
  if (digest.size() != kSha256Size) return std::nullopt;
  facts.sha256_hex = HexOf(digest);
  return facts;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  fs::path manifest_name = "liveupdate.ini";
  std::optional<uint64_t> valid_days;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--manifest" && i + 1 < args.size()) {
      manifest_name = args[++i];
    } else if (args[i] == "--valid-days" && i + 1 < args.size()) {
      valid_days = ParseDecimal(args[++i]);
      if (!valid_days || *valid_days == 0 || *valid_days > kMaxValidDays) {
        return Fail("--valid-days takes a number of days from 1 to " +
                    std::to_string(kMaxValidDays));
      }
    } else if (args[i] == "--help" || args[i] == "-h" || args[i] == "/?") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (args[i].rfind("--", 0) == 0) {
      std::fputs(kUsage, stderr);
      return Fail("unknown option " + args[i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const fs::path site = positional[0];
  const fs::path key_path = positional[1];
  const fs::path manifest_path = manifest_name.is_absolute() ? manifest_name : site / manifest_name;
  std::error_code error;
  if (!fs::is_directory(site, error)) return Fail(site.string() + " is not a folder");
  std::string manifest, key;
  if (!ReadAll(manifest_path, &manifest)) return Fail("cannot read " + manifest_path.string());
  if (!ReadAll(key_path, &key)) return Fail("cannot read " + key_path.string());
  if (manifest.size() > kMaxManifestBytes) {
    return Fail(manifest_path.string() + " is larger than the services take (1 MiB)");
  }

  // The archives of the site by file name; the same name twice is a mistake unless the files
  // are the same.
  std::unique_ptr<Crypto> crypto = CreateNativeCrypto();
  std::map<std::string, std::vector<fs::path>> archives;
  for (fs::recursive_directory_iterator it(site, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) archives[it->path().filename().string()].push_back(it->path());
  }
  if (error) return Fail("cannot list " + site.string() + ": " + error.message());
  std::string lookup_error;
  const auto lookup = [&](const std::string& name) -> std::optional<ArchiveFacts> {
    const auto found = archives.find(name);
    if (found == archives.end()) return std::nullopt;
    std::optional<ArchiveFacts> facts;
    for (const fs::path& path : found->second) {
      const std::optional<ArchiveFacts> these = FactsOf(*crypto, path);
      if (!these) {
        lookup_error = "cannot read " + path.string();
        return std::nullopt;
      }
      if (facts && facts->sha256_hex != these->sha256_hex) {
        lookup_error = "the site folder holds different files named " + name;
        return std::nullopt;
      }
      facts = these;
    }
    return facts;
  };
  // The serial goes up with every manifest: services take none lower than one they took.
  const std::optional<std::string> old_serial = CommonValue(manifest, kSerialKey);
  const std::optional<uint64_t> serial = old_serial ? ParseDecimal(*old_serial) : 0;
  if (!serial) return Fail("[COMMON] " + std::string(kSerialKey) + " is not a number");
  if (*serial == UINT64_MAX)
    return Fail("[COMMON] " + std::string(kSerialKey) + " cannot go higher");
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  std::string expires;
  if (valid_days) {
    expires = FormatUtcTime(now + static_cast<int64_t>(*valid_days) * 86400);
  } else if (const std::optional<std::string> kept = CommonValue(manifest, kExpiresKey)) {
    const std::optional<int64_t> at = ParseUtcTime(*kept);
    if (!at) return Fail("[COMMON] EXPIRES is not a time (YYYY-MM-DDThh:mm:ssZ)");
    if (*at <= now) {
      return Fail("[COMMON] EXPIRES " + *kept +
                  " has passed: services would refuse the manifest (give --valid-days, or remove "
                  "the line)");
    }
    expires = *kept;
  }

  std::vector<FilledSection> sections;
  std::string filled = FillModuleChecks(manifest, lookup, &sections);
  if (!lookup_error.empty()) return Fail(lookup_error);
  filled = SetCommonValue(filled, kSerialKey, std::to_string(*serial + 1));
  if (valid_days) filled = SetCommonValue(filled, kExpiresKey, expires);

  std::string signature, sign_error;
  if (!crypto->SignP256(key, filled, &signature, &sign_error)) {
    return Fail(key_path.string() + ": " + sign_error);
  }
  if (filled != manifest && !WriteReplacing(manifest_path, filled)) {
    return Fail("cannot write " + manifest_path.string());
  }
  fs::path signature_path = manifest_path;
  signature_path += kSignatureSuffix;
  if (!WriteReplacing(signature_path, signature)) return Fail("cannot write " + signature_path.string());

  for (const FilledSection& section : sections) {
    if (section.found) {
      std::printf("[%s] %s: SHA256 and SIZE set\n", section.section.c_str(),
                  section.archive.c_str());
    } else {
      std::printf("[%s] %s: not in the site folder, left as it was (a service with a key "
                  "refuses a module without SHA256)\n",
                  section.section.c_str(), section.archive.c_str());
    }
  }
  std::printf("SERIAL=%llu%s%s\n", static_cast<unsigned long long>(*serial + 1),
              expires.empty() ? "" : ", EXPIRES=", expires.c_str());
  std::printf("Signed %s: %s\n", manifest_path.string().c_str(), signature_path.string().c_str());
  return 0;
}
