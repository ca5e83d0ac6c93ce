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

struct ModuleEntry {
  std::string name;
  std::string url;
  std::string folder;
  std::string version;
  std::string section;
  // Its folder or archive name would lead out of the program folder: the pass fails on it.
  bool refused = false;
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
  UpdatePass(const UpdateFiles& files, const HttpDownload& http, FileReplacer& replacer,
             std::string manifest_url)
      : files_(files), http_(http), replacer_(replacer), manifest_url_(std::move(manifest_url)) {}

  bool RunUpdatePass();
  bool CheckAndUpdate();
  ManifestComparison CompareManifest(const std::string& manifest, const std::string& installed);
  // True with the entry names appended to *entries, or false.
  bool DownloadAndExtractModule(const ModuleEntry& module, std::vector<std::string>* entries);
  bool InstallUpdatedFiles(const std::vector<std::string>& file_list);

 private:
  bool UpdateModules(const std::vector<ModuleEntry>& modules);
  void DeleteWorkingCopies(const std::vector<std::string>& file_list);
  void DeleteArchives(const std::vector<ModuleEntry>& modules);
  std::string ArchivePathOf(const ModuleEntry& module) const;

  const UpdateFiles& files_;
  const HttpDownload& http_;
  FileReplacer& replacer_;
  std::string manifest_url_;
};

}  // namespace norvex::service
