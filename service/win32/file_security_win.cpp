#include "service/win32/file_security_win.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <vector>

#include "service/win32/ansi_text_win.h"

namespace norvex::service::win32 {

namespace {

using platform::win32::ScopedFindHandle;
using platform::win32::ScopedKernelHandle;
using platform::win32::ScopedLocalMemory;

// The account this process runs as, as a SID in its own buffer; empty when unknown.
std::vector<BYTE> ProcessUser() {
  std::vector<BYTE> user;
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) return user;
  const ScopedKernelHandle token(opened);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size > 0 && ::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    user.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + ::GetLengthSid(sid));
  }
  return user;
}

// NT SERVICE\TrustedInstaller, which owns the system's folders (Program Files among them).
bool IsTrustedInstallerSid(PSID sid) {
  static const std::vector<BYTE> trusted_installer = [] {
    std::vector<BYTE> bytes;
    PSID made = nullptr;
    if (::ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                 &made)) {
      bytes.assign(static_cast<BYTE*>(made), static_cast<BYTE*>(made) + ::GetLengthSid(made));
      ::LocalFree(made);
    }
    return bytes;
  }();
  return !trusted_installer.empty() && ::EqualSid(sid, const_cast<BYTE*>(trusted_installer.data()));
}

// True when the owner or the access list of path lets someone else than an administrator
// change what it guards, or when they cannot be read.
bool IsChangeableByUsers(const std::wstring& path, Guarded what) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return true;
  }
  const ScopedLocalMemory<PSECURITY_DESCRIPTOR> held(descriptor);
  return !IsTrustedOwner(owner) || GrantsChangeToOthers(dacl, what);
}

std::wstring FindBelow(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      IsChangeableByUsers(folder, Guarded::kFolder)) {
    return folder;
  }
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return folder;
  std::wstring found;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    // A link inside the folder leads wherever its maker chose.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      found = path;
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      found = FindBelow(path);
    } else if (IsChangeableByUsers(path, Guarded::kFile)) {
      found = path;
    }
  } while (found.empty() && ::FindNextFileW(find.get(), &entry));
  return found;
}

// True when the handle's final path (without the "\\?\" that the system puts before it) is the
// expected one, case aside.
bool HasFinalPath(HANDLE handle, const std::wstring& expected) {
  std::vector<wchar_t> buffer(1024);
  DWORD n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (n == 0 || n >= buffer.size()) return false;
  std::wstring final_path(buffer.data(), n);
  if (final_path.rfind(L"\\\\?\\", 0) == 0) final_path.erase(0, 4);
  return ::CompareStringOrdinal(final_path.c_str(), static_cast<int>(final_path.size()),
                                expected.c_str(), static_cast<int>(expected.size()),
                                TRUE) == CSTR_EQUAL;
}

bool IsReparsePoint(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A security descriptor made from SDDL text; empty when the text is refused.
ScopedLocalMemory<PSECURITY_DESCRIPTOR> DescriptorFromSddl(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return {};
  }
  return ScopedLocalMemory<PSECURITY_DESCRIPTOR>(descriptor);
}

// The access list a new log gets: full control for LocalSystem, the administrators and this
// account; reading for users.
std::wstring NewLogSddl() {
  std::wstring sddl = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";
  std::vector<BYTE> user = ProcessUser();
  wchar_t* text = nullptr;
  if (!user.empty() && ::ConvertSidToStringSidW(user.data(), &text)) {
    const ScopedLocalMemory<wchar_t*> held(text);
    sddl += L"(A;;FA;;;" + std::wstring(text) + L")";
  }
  return sddl;
}

}  // namespace

std::vector<std::wstring> FoldersAbove(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  std::vector<std::wstring> above;
  if (folder.size() <= 3 && folder.size() >= 2 && folder[1] == L':') return above;  // a root
  for (size_t cut = folder.rfind(L'\\'); cut != std::wstring::npos && cut > 0;
       cut = folder.rfind(L'\\', cut - 1)) {
    std::wstring parent = folder.substr(0, cut);
    if (parent.size() == 2 && parent[1] == L':') {
      above.insert(above.begin(), parent + L'\\');
      break;
    }
    above.insert(above.begin(), parent);
  }
  return above;
}

bool IsTrustedTrustee(PSID sid) {
  if (sid == nullptr || !::IsValidSid(sid)) return false;
  if (::IsWellKnownSid(sid, WinLocalSystemSid) ||
      ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsTrustedInstallerSid(sid)) {
    return true;
  }
  static const std::vector<BYTE> user = ProcessUser();
  return !user.empty() && ::EqualSid(sid, const_cast<BYTE*>(user.data()));
}

bool IsTrustedOwner(PSID owner) { return IsTrustedTrustee(owner); }

bool GrantsChangeToOthers(const ACL* dacl, Guarded what) {
  if (dacl == nullptr) return true;
  ACCESS_MASK change = what == Guarded::kParent
                           ? DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER
                           : FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;
  if (what == Guarded::kFolder) change |= FILE_DELETE_CHILD;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(const_cast<ACL*>(dacl), i, &ace)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    const bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                        header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
                        header->AceType == ACCESS_ALLOWED_COMPOUND_ACE_TYPE ||
                        header->AceType == ACCESS_ALLOWED_OBJECT_ACE_TYPE ||
                        header->AceType == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
    if (!allows) continue;
    // What an entry passes on reaches the files and folders made later in a folder whose files
    // matter; elsewhere only the entries that apply to the object itself count.
    const bool inherit_only = header->AceFlags & INHERIT_ONLY_ACE;
    const bool passes_on = header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    if (inherit_only && !(what == Guarded::kFolder && passes_on)) continue;
    // Every allowing entry has its mask right after its header.
    ACCESS_MASK mask = static_cast<const ACCESS_ALLOWED_ACE*>(ace)->Mask;
    ::MapGenericMask(&mask, &mapping);
    if (!(mask & change)) continue;
    // The others keep their trustee elsewhere: taken as anyone.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
        header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
      return true;
    }
    PSID trustee = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    if (inherit_only && ::IsWellKnownSid(trustee, WinCreatorOwnerSid)) continue;
    if (!IsTrustedTrustee(trustee)) return true;
  }
  return false;
}

std::string FindChangeableByUsers(const std::string& folder) {
  const std::wstring wide = AnsiToWide(folder);
  // Whoever can rename or delete a folder above can put another folder in this one's place.
  for (const std::wstring& above : FoldersAbove(wide)) {
    if (IsChangeableByUsers(above, Guarded::kParent)) return WideToAnsi(above);
  }
  return WideToAnsi(FindBelow(wide));
}

ScopedKernelHandle OpenLogForAppend(const std::string& path, std::string* refusal) {
  refusal->clear();
  const auto refuse = [&](const char* reason) {
    *refusal = reason;
    return ScopedKernelHandle();
  };
  const std::wstring wide = AnsiToWide(path);
  std::vector<wchar_t> buffer(32768);
  const DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                     buffer.data(), nullptr);
  if (n == 0 || n >= buffer.size()) return {};
  const std::wstring full(buffer.data(), n);
  const size_t cut = full.rfind(L'\\');
  if (cut == std::wstring::npos || cut + 1 == full.size()) return {};
  std::wstring folder = full.substr(0, cut);
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  std::wstring name = full.substr(cut + 1);

  // The folder itself, not what a reparse point in its place leads to; while we hold it, it
  // cannot be renamed or deleted.
  ScopedKernelHandle directory(::CreateFileW(
      folder.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!directory) return {};
  if (IsReparsePoint(directory.get())) return refuse("its folder is a reparse point");
  if (!HasFinalPath(directory.get(), folder))
    return refuse("its folder is reached under another path");

  // The file by its name inside that folder handle, itself when it is a reparse point.
  const ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor = DescriptorFromSddl(NewLogSddl());
  UNICODE_STRING object_name;
  object_name.Buffer = name.data();
  object_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  object_name.MaximumLength = object_name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, directory.get(),
                             descriptor.get());
  // An existing log is opened; a missing one is made only where nothing at all has that name,
  // so that not even a link to nowhere can have the file made at its target.
  HANDLE file = nullptr;
  NTSTATUS opened = -1;
  ULONG tried = FILE_OPEN;
  for (const ULONG disposition : {FILE_OPEN, FILE_CREATE}) {
    IO_STATUS_BLOCK status{};
    tried = disposition;
    opened = ::NtCreateFile(
        &file, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE, &attributes,
        &status, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
        FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
        nullptr, 0);
    if (opened != static_cast<NTSTATUS>(0xC0000034L)) break;  // STATUS_OBJECT_NAME_NOT_FOUND
  }
  directory.Close();
  if (opened < 0 || file == nullptr) {
    // Something of that name is there (a folder, a file that shuts the service out) when the
    // open itself failed; a failed creation is a folder where no file can be made.
    return tried == FILE_OPEN ? refuse("it is there but cannot be opened for appending")
                              : ScopedKernelHandle();
  }
  ScopedKernelHandle log(file);

  BY_HANDLE_FILE_INFORMATION information{};
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR owner_descriptor = nullptr;
  const bool owned = ::GetSecurityInfo(log.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                       &owner, nullptr, nullptr, nullptr,
                                       &owner_descriptor) == ERROR_SUCCESS;
  const ScopedLocalMemory<PSECURITY_DESCRIPTOR> held(owner_descriptor);
  if (!owned || !IsTrustedOwner(owner)) {
    return refuse("it belongs to an account other than LocalSystem and the administrators");
  }
  if (IsReparsePoint(log.get())) return refuse("it is a reparse point");
  if (!::GetFileInformationByHandle(log.get(), &information) || information.nNumberOfLinks != 1) {
    return refuse("it has more than one name (a hard link)");
  }
  if (!HasFinalPath(log.get(), full)) return refuse("it is reached under another path");
  return log;
}

}  // namespace norvex::service::win32
