#include "service/win32/files_win.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "common/text.h"
#include "platform/ini_file.h"
#include "platform/win32/scoped_handle.h"
#include "service/win32/ansi_text_win.h"
#include "service/win32/file_security_win.h"

namespace norvex::service::win32 {

namespace {

std::u16string AnsiToUtf16(const std::string& text) {
  const std::wstring wide = AnsiToWide(text);
  return platform::win32::FromW(wide.data(), wide.size());
}

using platform::win32::ScopedKernelHandle;

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(ScopedKernelHandle file) : file_(std::move(file)) {}
  ~Win32OutputFile() override { Close(); }
  bool Write(const char* data, size_t size) override {
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size);
      DWORD written = 0;
      if (!::WriteFile(file_.get(), data, chunk, &written, nullptr) || written == 0) {
        ok_ = false;
        return false;
      }
      data += written;
      size -= written;
    }
    return true;
  }
  bool Close() override {
    if (!file_.Close()) ok_ = false;
    return ok_;
  }

 private:
  ScopedKernelHandle file_;
  bool ok_ = true;
};

}  // namespace

std::string Win32Files::ProgramPath() {
  char path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  return std::string(path, n);
}

bool Win32Files::IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::CreateFolder(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32Files::RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool Win32Files::RenameReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

std::unique_ptr<OutputFile> Win32Files::CreateOutput(const std::string& path) {
  ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32OutputFile>(std::move(file));
}

bool Win32Files::ReadWhole(const std::string& path, std::string* bytes) {
  const ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
  if (!file) return false;
  bytes->clear();
  char buffer[65536];
  DWORD n = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) != 0) && n > 0) {
    bytes->append(buffer, n);
  }
  return ok;
}

bool Win32Files::AppendLogLine(const std::string& path, const std::string& line,
                               std::string* refusal) {
  // The log's folder is one that users can write: the file is opened so that no link placed
  // there can send the writes of LocalSystem elsewhere.
  std::string why;
  ScopedKernelHandle log = OpenLogForAppend(path, &why);
  if (refusal) *refusal = why;
  if (!log) return false;
  // What a text-mode stream writes, as the log has always been written: every LF becomes
  // CR LF, so the line's own CR LF ends as CR CR LF.
  std::string text;
  for (char c : line) {
    if (c == '\n') text += '\r';
    text += c;
  }
  DWORD written = 0;
  const bool ok = ::WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) &&
                  written == text.size();
  return log.Close() && ok;
}

std::string Win32Files::FindChangeableByUsers(const std::string& folder) {
  return win32::FindChangeableByUsers(folder);
}

size_t Win32Profiles::ReadString(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& fallback,
                                 char* buffer, size_t size) {
  return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer,
                                    static_cast<DWORD>(size), file.c_str());
}

size_t Win32Profiles::ReadSectionNames(const std::string& file, char* buffer, size_t size) {
  return ::GetPrivateProfileSectionNamesA(buffer, static_cast<DWORD>(size), file.c_str());
}

// Under the folder's write lock and replaced whole, as the toolbar's profile store writes:
// toolbars read "version.ini" while the service writes it, and the profile function would
// rewrite the file in place. The text goes in as the profile function would put it: a file
// without a byte-order mark is one of ANSI bytes, which keep their values (the engine keeps
// bytes that are not UTF-8 as they are); a UTF-16 or UTF-8 file gets the text converted from
// the ANSI code page.
bool Win32Profiles::WriteString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) {
  return platform::EditIniFile(
      AnsiToUtf16(file), true, [&](platform::IniText& text) {
        const auto in_file = [&](const std::string& ansi) {
          return text.encoding() == platform::IniEncoding::kUtf8
                     ? Utf8ToUtf16(ansi)
                     : AnsiToUtf16(ansi);
        };
        return text.Set(in_file(section), in_file(key), in_file(value));
      });
}

// The narrow ("A") functions read paths in the ANSI code page.
unsigned Win32Files::NarrowCodePage() { return ::GetACP(); }

LocalTime Win32Clock::Now() {
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

namespace {

UptimeTimer ResolveMultimediaTimer() {
  HMODULE winmm = ::LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!winmm) {
    // Systems without the search flags refuse it: the full path of the system folder's copy.
    wchar_t system[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      winmm = ::LoadLibraryW((std::wstring(system, n) + L"\\winmm.dll").c_str());
    }
  }
  if (!winmm) return nullptr;
  return reinterpret_cast<UptimeTimer>(
      reinterpret_cast<void (*)()>(::GetProcAddress(winmm, "timeGetTime")));
}

}  // namespace

UptimeTimer& MultimediaTimer() {
  static UptimeTimer timer = ResolveMultimediaTimer();
  return timer;
}

// The multimedia timer: milliseconds since Windows started; the system's tick count where the
// timer could not be loaded.
uint32_t Win32Clock::UptimeMs() {
  const UptimeTimer timer = MultimediaTimer();
  return timer ? static_cast<uint32_t>(timer()) : static_cast<uint32_t>(::GetTickCount());
}

// The system time in 100-nanosecond steps since 1601, moved to 1970 and made seconds.
int64_t Win32Clock::UtcSeconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr uint64_t kTicksFrom1601To1970 = 116444736000000000ULL;
  return static_cast<int64_t>((ticks - kTicksFrom1601To1970) / 10000000ULL);
}

void Win32Clock::SleepMs(uint32_t ms) { ::Sleep(ms); }

void Win32Console::Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

int Win32Mover::PlatformId() {
  // The system's own answer first: a compatibility layer that makes GetVersionEx report the
  // older family to a program leaves RtlGetVersion alone. Only NT systems have it.
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll")) {
    const auto rtl_get_version = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW system{};
    system.dwOSVersionInfoSize = sizeof system;
    if (rtl_get_version && rtl_get_version(&system) == 0) {
      return static_cast<int>(system.dwPlatformId);
    }
  }
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&version)) return 0;
#pragma GCC diagnostic pop
  return static_cast<int>(version.dwPlatformId);
}

bool Win32Mover::MoveAtRestart(const std::string& source, const std::string& destination) {
  return ::MoveFileExA(source.c_str(), destination.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool Win32Mover::HasShortPath(const std::string& path, size_t buffer_size) {
  std::vector<char> buffer(buffer_size);
  const DWORD n = ::GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer_size));
  return n != 0 && n < buffer_size;
}

bool Win32Mover::SetRunOnce(const std::string& value_name, const std::string& command) {
  HKEY opened = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce",
                        0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const platform::win32::ScopedRegistryKey key(opened);
  ::RegSetValueExA(key.get(), value_name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size()));
  return true;
}

}  // namespace norvex::service::win32
