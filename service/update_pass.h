// One update pass: manifest, version comparison, module downloads, unpacking, scheduling of
// every unpacked file, and the versions and stamps recorded afterwards.
#pragma once

#include <string>
#include <vector>

#include "common/file_names.h"
#include "service/file_replacement.h"
#include "service/http_download.h"
#include "service/update_files.h"

namespace norvex::service {

inline constexpr char kManifestPath[] = "/toolbar/bin/liveupdate.ini";
inline constexpr uint32_t kArchiveOpenMode = 0x2028002;
inline constexpr uint32_t kArchiveExtractMode = 0x40000000;
// The detached signature of the manifest lies at the manifest's address with this added.
inline constexpr char kSignatureSuffix[] = ".sig";
// The largest signature taken (a DER ECDSA P-256 signature has at most 72 bytes).
inline constexpr uint64_t kMaxSignatureBytes = 256;
// Where a signed manifest says how fresh it is: [COMMON] SERIAL, a number that the publisher
// raises with every manifest (none counts as 0), and [COMMON] EXPIRES, the time after which it
// is no longer taken (optional, "YYYY-MM-DDThh:mm:ssZ").
inline constexpr char kSerialKey[] = "SERIAL";
inline constexpr char kExpiresKey[] = "EXPIRES";
// Where the service keeps the highest serial it has taken: "product.ini" [COMMON], a file that
// neither the installer nor an update brings, so that neither can lower it.
inline constexpr char kTakenSerialKey[] = "MANIFEST_SERIAL";

struct ModuleEntry {
  std::string name;
  std::string url;
  std::string folder;
  std::string version;
  std::string section;
  // Its folder or archive name would lead out of the program folder, its SHA256 or SIZE is
  // not valid, or it has no SHA256 in a signed manifest: the pass fails on it, logging
  // refusal and the section.
  bool refused = false;
  std::string refusal;
  // What the archive must be, when the manifest says: its length and its SHA-256 (32 bytes).
  std::optional<uint64_t> size;
  std::string sha256;
  bool operator==(const ModuleEntry&) const = default;
};

struct ManifestComparison {
  std::vector<ModuleEntry> modules;
  std::string offered_version;
  std::string installed_version;
  // Set when the manifest as a whole is not taken (a pass with a key and an offered version that
  // is not made of numbers and dots): the log line, followed by the manifest's address.
  std::string refusal;
};

// True when candidate is newer than installed. Two dot-separated decimal versions compare
// number by number (missing parts count as 0); any other text compares byte by byte.
bool IsNewerVersion(const std::string& candidate, const std::string& installed);

// True for a version made only of decimal numbers separated by single dots ("1.0.10"), which
// IsNewerVersion compares as numbers.
bool IsNumericVersion(const std::string& version);

// A number of decimal digits only that fits in 64 bits (a SIZE or a SERIAL).
std::optional<uint64_t> ParseDecimal(const std::string& text);

// "YYYY-MM-DDThh:mm:ssZ" (UTC) as seconds since 1970, and back. Nothing for any other text or an
// impossible date or time.
std::optional<int64_t> ParseUtcTime(const std::string& text);
std::string FormatUtcTime(int64_t seconds);

// False for an archive entry name or manifest folder that would leave the destination folder
// or that Windows would not keep under that name (see IsSafeRelativePath).
// code_page: that of the name's bytes, read by characters.
inline bool IsSafeEntryName(const std::string& name, unsigned code_page) {
  return IsSafeRelativePath(name, code_page);
}

// The archive's file name: the last segment of the URL's path, without query or fragment (the
// whole text up to them when it has no "/"); empty when the URL has no path.
std::string ArchiveNameOf(const std::string& url);

class UpdatePass {
 public:
  // public_point: the uncompressed P-256 point (65 bytes) of the key that signs manifests; a
  // pass with one takes a manifest only with a valid signature beside it, and a module only
  // with its SHA256. Empty: manifests are taken unsigned.
  UpdatePass(const UpdateFiles& files, const HttpDownload& http, FileReplacer& replacer,
             std::string manifest_url, std::string public_point = {})
      : files_(files),
        http_(http),
        replacer_(replacer),
        manifest_url_(std::move(manifest_url)),
        public_point_(std::move(public_point)) {}

  bool RunUpdatePass();
  // True when the manifest was downloaded and either nothing was due or every due module was
  // installed; *installed says which (true: modules were installed).
  bool CheckAndUpdate(bool* installed = nullptr);
  ManifestComparison CompareManifest(const std::string& manifest, const std::string& installed);
  // True with the entry names appended to *entries, or false.
  bool DownloadAndExtractModule(const ModuleEntry& module, std::vector<std::string>* entries);
  bool InstallUpdatedFiles(const std::vector<std::string>& file_list);

 private:
  // Stores the manifest as the manifest copy; with a key only once its signature is checked and
  // it is fresh (FreshnessRefusal).
  bool FetchManifest();
  // Why a signed manifest (the file) is not taken although its signature is good: its SERIAL is
  // lower than the highest taken before or not a number, or it has EXPIRES and that time has
  // passed or is not a time. Empty when it is taken; *serial is then its serial.
  std::string FreshnessRefusal(const std::string& manifest, uint64_t* serial) const;
  // The highest serial taken so far (0 when none).
  uint64_t TakenSerial() const;
  // The second line of a failed download: the address and what went wrong.
  void LogDownloadError(const std::string& url, const DownloadOutcome& outcome,
                        const DownloadExpectation& expected) const;
  bool UpdateModules(const std::vector<ModuleEntry>& modules);
  void DeleteWorkingCopies(const std::vector<std::string>& file_list);
  void DeleteArchives(const std::vector<ModuleEntry>& modules);
  std::string ArchivePathOf(const ModuleEntry& module) const;

  const UpdateFiles& files_;
  const HttpDownload& http_;
  FileReplacer& replacer_;
  std::string manifest_url_;
  std::string public_point_;
};

}  // namespace norvex::service
