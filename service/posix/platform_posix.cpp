// The POSIX platform of the service: files and profiles, curl, the service-manager stand-in
// and the archive library loaded from the program folder.
#include <dlfcn.h>

#include "service/archive_binding.h"
#include "service/platform_factory.h"
#include "service/posix/crypto_posix.h"
#include "service/posix/files_posix.h"
#include "service/posix/http_client_posix.h"
#include "service/posix/posix_paths.h"
#include "service/posix/service_host_posix.h"
#include "service/update_files.h"

namespace norvex::service {

namespace {

constexpr char kArchiveLibraryName[] = "libunzip32.so";
constexpr char kJournalName[] = "PendingMoves.journal";

class PosixBundle : public PlatformBundle {
 public:
  explicit PosixBundle(const std::string& scm_folder)
      : mover_(ProgramFolderOf(files_.ProgramPath()) + "/" + kJournalName), host_(scm_folder) {
    const std::string folder = ProgramFolderOf(files_.ProgramPath());
    log_path = "/tmp/LiveUpdateLog.txt";
    move_journal = folder + "/" + kJournalName;
    // Without the program's own path the library is not looked for anywhere else (a bare
    // name would send dlopen through the library search path).
    const std::string library_path = ProgramSiblingPath(files_.ProgramPath(), kArchiveLibraryName);
    if (!library_path.empty()) library_ = ::dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ArchiveFunctions f;
    if (library_) {
      f.is_busy = reinterpret_cast<int (*)()>(::dlsym(library_, "ArcIsBusy"));
      f.open = reinterpret_cast<uintptr_t (*)(void*, const char*, uint32_t)>(
          ::dlsym(library_, "ArcOpen"));
      f.close = reinterpret_cast<int (*)(uintptr_t)>(::dlsym(library_, "ArcClose"));
      f.find_first = reinterpret_cast<int (*)(uintptr_t, const char*, void*)>(
          ::dlsym(library_, "ArcFindFirst"));
      f.find_next = reinterpret_cast<int (*)(uintptr_t, void*)>(::dlsym(library_, "ArcFindNext"));
      f.extract = reinterpret_cast<int (*)(uintptr_t, const char*, const char*, uint32_t)>(
          ::dlsym(library_, "ArcExtractFound"));
    }
    if (!f.complete()) {
      load_error = ArchiveLoadError(library_path, kArchiveLibraryName);
    }
    archive_ = std::make_unique<BoundArchiveLibrary>(
        f, [](const std::string& path) { return posix::NativePath(path); });
    platform.files = &files_;
    platform.profiles = &profiles_;
    platform.clock = &clock_;
    platform.http = &http_;
    platform.mover = &mover_;
    platform.archive = archive_.get();
    platform.host = &host_;
    platform.console = &console_;
    platform.crypto = &crypto_;
  }

 private:
  posix::PosixFiles files_;
  posix::PosixProfiles profiles_;
  posix::PosixClock clock_;
  posix::CurlHttpClient http_;
  posix::PosixMover mover_;
  posix::PosixServiceHost host_;
  posix::PosixConsole console_;
  posix::OpenSslCrypto crypto_;
  void* library_ = nullptr;  // stays loaded for the life of the process
  std::unique_ptr<BoundArchiveLibrary> archive_;
};

}  // namespace

std::unique_ptr<PlatformBundle> CreateServicePlatform(const std::string& scm_folder) {
  return std::make_unique<PosixBundle>(scm_folder);
}

}  // namespace norvex::service

namespace norvex::service {

std::unique_ptr<ServiceFileSystem> CreateNativeFileSystem() {
  return std::make_unique<posix::PosixFiles>();
}
std::unique_ptr<ProfileFiles> CreateNativeProfiles() {
  return std::make_unique<posix::PosixProfiles>();
}
std::unique_ptr<HttpClient> CreateNativeHttpClient() {
  return std::make_unique<posix::CurlHttpClient>();
}
std::unique_ptr<Crypto> CreateNativeCrypto() { return std::make_unique<posix::OpenSslCrypto>(); }

}  // namespace norvex::service
