// The manifest comes from the update server, or from whoever stands in its place. Whatever its
// bytes: reading it never fails, every module taken is a complete section newer than what is
// installed, and a module that is not refused keeps its working folder and archive below the
// program folder (the service runs with every right on the machine). A pass with a key takes no
// version that does not compare as numbers. The freshness fields read back as they are written.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "service/file_replacement.h"
#include "service/http_download.h"
#include "service/posix/files_posix.h"
#include "service/update_files.h"
#include "service/update_pass.h"

namespace fs = std::filesystem;
using namespace norvex::service;

namespace {

// The system's files with the program file in a folder of the fuzz run's own.
class FolderFiles : public posix::PosixFiles {
 public:
  explicit FolderFiles(std::string program) : program_(std::move(program)) {}
  std::string ProgramPath() override { return program_; }

 private:
  std::string program_;
};

class StillClock : public Clock {
 public:
  LocalTime Now() override { return {2009, 4, 3, 9, 5, 7}; }
  uint32_t UptimeMs() override { return 0; }
  int64_t UtcSeconds() override { return 1238749507; }
  void SleepMs(uint32_t) override {}
};

// A program folder of the run's own, removed with what it holds when the run ends.
struct RunFolder {
  RunFolder() {
    std::random_device random;
    path = fs::temp_directory_path() / ("fuzz_manifest_" + std::to_string(random()));
    fs::create_directories(path / "Temp");
  }
  ~RunFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

const fs::path& ProgramFolder() {
  static const RunFolder folder;
  return folder.path;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The path's components, "\" and "/" both separating, with none that leaves the folder.
bool StaysBelow(const std::string& path) {
  if (path.empty() || path.front() == '\\' || path.front() == '/') return false;
  if (path.find(':') != std::string::npos) return false;
  size_t begin = 0;
  for (;;) {
    const size_t end = path.find_first_of("\\/", begin);
    if (path.substr(begin, end - begin) == "..") return false;
    if (end == std::string::npos) return true;
    begin = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FolderFiles files((ProgramFolder() / "quorvel").string());
  static posix::PosixProfiles profiles;
  static StillClock clock;
  static const ServicePlatform platform = [] {
    ServicePlatform p;
    p.files = &files;
    p.profiles = &profiles;
    p.clock = &clock;
    return p;
  }();
  static const UpdateFiles update_files(platform, (ProgramFolder() / "log.txt").string());
  static const HttpDownload http(update_files);
  static FileReplacer replacer(update_files);
  static UpdatePass pass(update_files, http, replacer, "http://127.0.0.1:9/toolbar/bin/liveupdate.ini");
  // Comparing does not verify: any point of the right size makes the pass one with a key.
  static UpdatePass signed_pass(update_files, http, replacer,
                                "http://127.0.0.1:9/toolbar/bin/liveupdate.ini",
                                std::string(65, '\x04'));

  const std::string manifest(reinterpret_cast<const char*>(data), size);
  WriteFile(ProgramFolder() / "Temp" / "LiveUpdate.ini", manifest);
  const std::string installed = "1.0.3";
  WriteFile(ProgramFolder() / "version.ini",
            "[COMMON]\r\nVERSION=" + installed + "\r\n[Agents]\r\nVERSION=1.0.5\r\n");

  const ManifestComparison due =
      pass.CompareManifest("Temp\\LiveUpdate.ini", update_files.VersionIniPath());
  if (due.offered_version.empty() && !due.modules.empty()) std::abort();
  if (!due.modules.empty() && !IsNewerVersion(due.offered_version, installed)) std::abort();
  for (const ModuleEntry& module : due.modules) {
    if (module.section == "COMMON") std::abort();
    if (module.version.empty() || module.folder.empty() || module.url.empty()) std::abort();
    if (module.folder.find("PRODUCT_HOME") != std::string::npos) std::abort();
    if (!IsNewerVersion(module.version, installed)) std::abort();
    if (module.section == "Agents" && !IsNewerVersion(module.version, "1.0.5")) std::abort();
    if (module.section == "SETTING" && module.name != "SETTING") std::abort();
    if (!module.refused) {
      const std::string archive = ArchiveNameOf(module.url);
      if (archive.empty() || archive.find_first_of("\\/") != std::string::npos) std::abort();
      if (!StaysBelow("Temp\\" + module.folder + "\\" + archive)) std::abort();
    }
  }
  // The same bytes read the same way again.
  const ManifestComparison again =
      pass.CompareManifest("Temp\\LiveUpdate.ini", update_files.VersionIniPath());
  if (again.offered_version != due.offered_version || again.modules != due.modules) std::abort();

  const ManifestComparison checked =
      signed_pass.CompareManifest("Temp\\LiveUpdate.ini", update_files.VersionIniPath());
  if (!checked.refusal.empty() && !checked.modules.empty()) std::abort();
  if (!checked.offered_version.empty() &&
      IsNumericVersion(checked.offered_version) == !checked.refusal.empty()) {
    std::abort();
  }
  for (const ModuleEntry& module : checked.modules) {
    if (!module.refused && !IsNumericVersion(module.version)) std::abort();
    if (!module.refused && module.sha256.empty()) std::abort();
  }

  // The manifest's bytes as the freshness fields' values.
  if (const auto seconds = ParseUtcTime(manifest); seconds && FormatUtcTime(*seconds) != manifest) {
    std::abort();
  }
  if (const auto number = ParseDecimal(manifest);
      number && ParseDecimal(std::to_string(*number)) != number) {
    std::abort();
  }
  return 0;
}
