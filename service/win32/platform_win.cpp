// The Windows platform of the service: the system's files, profiles, WinINet, the control
// manager, and UNZIP32.dll bound by ordinal from the program folder.
#include "platform/win32/windows_api.h"
#include "service/archive_binding.h"
#include "service/platform_factory.h"
#include "service/update_files.h"
#include "service/win32/crypto_win.h"
#include "service/win32/files_win.h"
#include "service/win32/http_client_win.h"
#include "service/win32/service_host_win.h"

namespace norvex::service {

namespace {

constexpr char kArchiveLibraryName[] = "UNZIP32.dll";

// The libraries of the system come from the system folder only. The service runs as
// LocalSystem: WININET.dll and BCRYPT.dll (loaded on their first use) and what the system's libraries load in
// turn are never looked for in the program folder or the current folder.
void LoadSystemLibrariesFromSystemFolder() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto set_default_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void (*)()>(
          ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_default_directories) set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  ::SetDllDirectoryA("");
  // Where the call above is missing, a library loaded by its full path is the one that a later
  // load by name finds.
  char system[MAX_PATH];
  const UINT n = ::GetSystemDirectoryA(system, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    ::LoadLibraryA((std::string(system) + "\\wininet.dll").c_str());
    ::LoadLibraryA((std::string(system) + "\\bcrypt.dll").c_str());
  }
}

class Win32Bundle : public PlatformBundle {
 public:
  Win32Bundle() {
    LoadSystemLibrariesFromSystemFolder();
    log_path = "c:\\Temp\\LiveUpdateLog.txt";
    // Without the program's own path (one of 260 characters or more gives none) the library is
    // not looked for anywhere else, the current folder least of all.
    const std::string library_path = ProgramSiblingPath(files_.ProgramPath(), kArchiveLibraryName, files_.NarrowCodePage());
    if (!library_path.empty()) library_ = ::LoadLibraryA(library_path.c_str());
    ArchiveFunctions f;
    if (library_) {
      Bind(f.is_busy, 10);
      Bind(f.open, 21);
      Bind(f.close, 22);
      Bind(f.find_first, 23);
      Bind(f.find_next, 24);
      Bind(f.extract, 25);
    }
    if (!f.complete()) {
      load_error = ArchiveLoadError(library_path, kArchiveLibraryName);
    }
    archive_ = std::make_unique<BoundArchiveLibrary>(f, [](const std::string& p) { return p; });
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
  FARPROC Ordinal(int number) {
    return ::GetProcAddress(library_, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(number)));
  }
  // Gives `function` the export of that ordinal, typed as the library declares it (through the
  // generic function pointer type, which converts to any other).
  template <typename Function>
  void Bind(Function& function, int number) {
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Ordinal(number)));
  }

  win32::Win32Files files_;
  win32::Win32Profiles profiles_;
  win32::Win32Clock clock_;
  win32::WinInetHttpClient http_;
  win32::Win32Mover mover_;
  win32::Win32ServiceHost host_;
  win32::Win32Console console_;
  win32::BCryptCrypto crypto_;
  HMODULE library_ = nullptr;  // stays loaded for the life of the process
  std::unique_ptr<BoundArchiveLibrary> archive_;
};

}  // namespace

std::unique_ptr<PlatformBundle> CreateServicePlatform(const std::string&) {
  return std::make_unique<Win32Bundle>();
}

std::unique_ptr<ServiceFileSystem> CreateNativeFileSystem() {
  return std::make_unique<win32::Win32Files>();
}
std::unique_ptr<ProfileFiles> CreateNativeProfiles() {
  return std::make_unique<win32::Win32Profiles>();
}
std::unique_ptr<HttpClient> CreateNativeHttpClient() {
  return std::make_unique<win32::WinInetHttpClient>();
}
std::unique_ptr<Crypto> CreateNativeCrypto() { return std::make_unique<win32::BCryptCrypto>(); }

}  // namespace norvex::service
