#include "helper/installation_layout.h"
#include "helper/win32/helper_system_win.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::helper::win32 {

namespace {

using platform::win32::FromW;
using platform::win32::W;

bool IsFolderLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

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

}  // namespace norvex::helper::win32
