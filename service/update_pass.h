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
};

// True when candidate is newer than installed. Two dot-separated decimal versions compare
// number by number (missing parts count as 0); any other text compares byte by byte.
bool IsNewerVersion(const std::string& candidate, const std::string& installed);

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
  bool CheckAndUpdate();
  ManifestComparison CompareManifest(const std::string& manifest, const std::string& installed);
  // True with the entry names appended to *entries, or false.
  bool DownloadAndExtractModule(const ModuleEntry& module, std::vector<std::string>* entries);
  bool InstallUpdatedFiles(const std::vector<std::string>& file_list);

 private:
  // Stores the manifest as the manifest copy; with a key only once its signature is checked.
  bool FetchManifest();
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
