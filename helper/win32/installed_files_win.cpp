#include "platform/win32/windows_api.h"
#include "helper/installation_layout.h"
#include "helper/win32/helper_system_win.h"
#include "platform/win32/scoped_handle.h"
#include "service/win32/ansi_text_win.h"
#include "service/win32/file_security_win.h"

#include <sddl.h>

namespace norvex::helper::win32 {

namespace {

using platform::win32::FromW;
using platform::win32::W;

bool IsFolderLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The installation folder's access: full control for the system and the administrators, reading
// and running for users and for the browser's sandboxed processes (all application packages),
// passed on to everything in it; protected, so nothing comes from the folders above.
constexpr wchar_t kProtectedFolderSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)";

}  // namespace

bool Win32InstalledFiles::Exists(const std::u16string& path) {
  return ::GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

std::vector<FolderEntry> Win32InstalledFiles::List(const std::u16string& folder) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW found{};
  const platform::win32::ScopedFindHandle find(
      ::FindFirstFileW(W(JoinInstallPath(folder, u"*")), &found));
  if (!find.valid()) return entries;
  do {
    const std::u16string name = FromW(found.cFileName);
    if (name == u"." || name == u"..") continue;
    const bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             !IsFolderLink(found.dwFileAttributes);
    entries.push_back({name, folderEntry});
  } while (::FindNextFileW(find.get(), &found));
  return entries;
}

bool Win32InstalledFiles::RemoveFile(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (IsFolderLink(attributes)) return ::RemoveDirectoryW(W(path)) != FALSE;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(W(path), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return ::DeleteFileW(W(path)) || ::GetFileAttributesW(W(path)) == INVALID_FILE_ATTRIBUTES;
}

bool Win32InstalledFiles::RemoveFolder(const std::u16string& path) {
  return ::RemoveDirectoryW(W(path)) || ::GetFileAttributesW(W(path)) == INVALID_FILE_ATTRIBUTES;
}

bool Win32InstalledFiles::RemoveAtRestart(const std::u16string& path) {
  return ::MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool Win32InstalledFiles::IsLink(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool Win32InstalledFiles::MakeFolder(const std::u16string& path, bool protect) {
  if (!protect) return ::CreateDirectoryW(W(path), nullptr) != FALSE;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedFolderSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return false;
  }
  const platform::win32::ScopedLocalMemory<PSECURITY_DESCRIPTOR> held(descriptor);
  // Given at the creation, the access list holds before anyone can open the folder.
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  return ::CreateDirectoryW(W(path), &attributes) != FALSE;
}

std::u16string Win32InstalledFiles::FindChangeableByUsers(const std::u16string& folder) {
  // The service names its folder in the ANSI code page: a folder without a name there (or
  // one that would be read as another folder's) is one the service cannot check, nor use.
  const std::wstring wide(W(folder));
  const std::string ansi = service::win32::WideToAnsi(wide);
  if (ansi.empty() || service::win32::AnsiToWide(ansi) != wide) return folder;
  const std::string found = service::win32::FindChangeableByUsers(ansi);
  if (found.empty()) return {};
  const std::wstring found_wide = service::win32::AnsiToWide(found);
  return FromW(found_wide.c_str(), found_wide.size());
}

}  // namespace norvex::helper::win32
