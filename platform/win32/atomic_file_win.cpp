// The Windows atomic writer: a new file beside the target, FlushFileBuffers, MoveFileExW with
// MOVEFILE_WRITE_THROUGH; a named mutex per folder for writers.

#include "platform/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cwchar>

#include "platform/win32/windows_api.h"
#include "platform/win32/folder_lock_win.h"
#include "platform/win32/scoped_handle.h"

#include <sddl.h>

namespace norvex::platform {

namespace {

using win32::ScopedKernelHandle;
using win32::W;

// How often, and with what pauses, a move refused because a reader has the target open is
// tried again: about ten seconds in all. Readers hold the file for the moment of one read, but
// several readers that read without a pause can keep it open most of the time (four of them
// under Wine needed up to 53 attempts).
constexpr int kMoveAttempts = 500;
constexpr DWORD kLongestMovePauseMs = 20;

std::wstring Wide(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// The folder part of a path: "C:\\" for a file at the root of a drive, "." for a bare name.
std::wstring FolderOf(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return L".";
  if (cut == 2 && path[1] == L':') return path.substr(0, 3);
  return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// A new file of a name that nobody else uses, beside `target`: its name, a dot, a number made of
// this process's identifier, a count and the tick count, and ".tmp".
ScopedKernelHandle CreateTemporaryBeside(const std::wstring& target, std::wstring& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t suffix[40];
    std::swprintf(suffix, sizeof suffix / sizeof suffix[0], L".%08lx%04x.tmp",
                  static_cast<unsigned long>(::GetCurrentProcessId() ^ ::GetTickCount()),
                  counter++ & 0xFFFF);
    name = target + suffix;
    ScopedKernelHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return ScopedKernelHandle();
}

bool IsRefusedWhileOpen(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
         error == ERROR_LOCK_VIOLATION;
}

}  // namespace

WholeFileRead ReadWholeFile(const std::u16string& path, std::string& bytes) {
  ScopedKernelHandle file(::CreateFileW(W(path), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? WholeFileRead::kMissing
               : WholeFileRead::kFailed;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1LL << 30)) {
    return WholeFileRead::kFailed;
  }
  bytes.clear();
  bytes.reserve(static_cast<size_t>(size.QuadPart));
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return WholeFileRead::kFailed;
    if (read == 0) return WholeFileRead::kRead;
    bytes.append(buffer, read);
  }
}

bool WriteFileAtomically(const std::u16string& path, std::string_view bytes,
                         ExistingFile existing) {
  const std::wstring target = Wide(path);
  std::wstring temp;
  {
    ScopedKernelHandle file = CreateTemporaryBeside(target, temp);
    if (!file) return false;
    // The data reaches the disk before the new name does: after a power loss the file is the
    // old one or the new one, never empty.
    if (!WriteAll(file.get(), bytes) || !::FlushFileBuffers(file.get()) || !file.Close()) {
      ::DeleteFileW(temp.c_str());
      return false;
    }
  }
  const DWORD flags = MOVEFILE_WRITE_THROUGH |
                      (existing == ExistingFile::kReplace ? MOVEFILE_REPLACE_EXISTING : 0);
  bool moved = false;
  for (int attempt = 1; attempt <= kMoveAttempts; ++attempt) {
    moved = ::MoveFileExW(temp.c_str(), target.c_str(), flags) != FALSE;
    if (moved || !IsRefusedWhileOpen(::GetLastError())) break;
    // A read-only target refuses for good; a file that is open refuses until it is closed.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) break;
    ::Sleep(std::min<DWORD>(static_cast<DWORD>(attempt), kLongestMovePauseMs));
  }
  if (!moved) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    ::SetLastError(error);
  }
  return moved;
}

struct FolderWriteLock::Held {
  explicit Held(ScopedKernelHandle owned) : mutex(std::move(owned)) {}
  ~Held() { ::ReleaseMutex(mutex.get()); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ScopedKernelHandle mutex;
};

namespace win32 {

std::wstring FolderLockName(const std::u16string& file) {
  // The folder's identity, whatever path leads to it (a drive letter or another, a short name,
  // case): the volume's serial number and the folder's file index.
  BY_HANDLE_FILE_INFORMATION identity{};
  ScopedKernelHandle folder(::CreateFileW(FolderOf(Wide(file)).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
  if (!folder || !::GetFileInformationByHandle(folder.get(), &identity)) return {};
  wchar_t name[96];
  std::swprintf(name, sizeof name / sizeof name[0], L"Local\\NorvexFolderWriteLock.%08lx.%08lx%08lx",
                identity.dwVolumeSerialNumber, identity.nFileIndexHigh, identity.nFileIndexLow);
  return name;
}

LowIntegrityAttributes::LowIntegrityAttributes() {
  // A system access list with only the low mandatory label, no-write-up: no access list of its
  // own, so the creator's default one applies.
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"S:(ML;;NW;;;LW)", SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

LowIntegrityAttributes::~LowIntegrityAttributes() {
  if (descriptor_) ::LocalFree(descriptor_);
}

}  // namespace win32

FolderWriteLock::FolderWriteLock(const std::u16string& file) {
  const std::wstring name = win32::FolderLockName(file);
  if (name.empty()) return;
  win32::LowIntegrityAttributes security;
  ScopedKernelHandle mutex(::CreateMutexW(security.get(), FALSE, name.c_str()));
  // Where the label cannot be given (a process without the right to set it), the mutex as
  // before.
  if (!mutex && security.get()) mutex.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex) return;
  // Bounded, so that a lock that is never given back fails our write instead of stopping us.
  const DWORD waited = ::WaitForSingleObject(mutex.get(), kFolderLockWaitMs);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return;
  held_ = std::make_unique<Held>(std::move(mutex));
}

FolderWriteLock::~FolderWriteLock() = default;

}  // namespace norvex::platform
