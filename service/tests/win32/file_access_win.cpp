#include "platform/win32/windows_api.h"

#include <aclapi.h>
#include <sddl.h>

#include "service/tests/file_access.h"

namespace norvex::service::testing {

bool OpenToEveryone(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(
          "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor,
          nullptr)) {
    return false;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  const DWORD result = ::SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                               nullptr);
  ::LocalFree(descriptor);
  return result == ERROR_SUCCESS;
}

std::string HostPath(const std::string& path) {
  using UnixNameFunction = char*(CDECL*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unix_name) return "";
  std::wstring wide(path.size() + 1, L'\0');
  wide.resize(::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(),
                                    static_cast<int>(wide.size())));
  char* name = unix_name(wide.c_str());
  if (!name) return "";
  std::string result = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

namespace {

// Runs a program of the host system (under Wine) and waits for it.
bool RunHostProgram(std::string command) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::WaitForSingleObject(process.hProcess, 10000);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return true;
}

// Whether a directory entry of that name is there, link or not; a host program may be
// reported ended a moment before its work is visible, so this waits up to 2 s for it.
bool EntryBecomes(const std::string& path, bool present) {
  for (int i = 0; i < 100; ++i) {
    WIN32_FIND_DATAA found;
    const HANDLE find = ::FindFirstFileA(path.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
    if ((find != INVALID_HANDLE_VALUE) == present) return true;
    ::Sleep(20);
  }
  return false;
}

}  // namespace

bool PreferLibraryBesideProgram(const std::string& program_name, const std::string& library,
                                bool prefer) {
  if (HostPath("C:\\").empty()) return false;
  const std::string key = "Software\\Wine\\AppDefaults\\" + program_name + "\\DllOverrides";
  if (!prefer) return ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str()) == ERROR_SUCCESS;
  HKEY handle = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const char order[] = "native,builtin";
  const bool set = ::RegSetValueExA(handle, library.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(order), sizeof order) ==
                   ERROR_SUCCESS;
  ::RegCloseKey(handle);
  return set;
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  const std::string host_target = HostPath(target), host_link = HostPath(link);
  if (host_target.empty() || host_link.empty()) {
    const DWORD attributes = ::GetFileAttributesA(target.c_str());
    const DWORD folder = attributes != INVALID_FILE_ATTRIBUTES &&
                                 (attributes & FILE_ATTRIBUTE_DIRECTORY)
                             ? SYMBOLIC_LINK_FLAG_DIRECTORY
                             : 0;
    return ::CreateSymbolicLinkA(link.c_str(), target.c_str(), folder) &&
           ::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // Wine's own CreateSymbolicLink makes nothing; the host's ln does.
  return RunHostProgram("/bin/ln -s \"" + host_target + "\" \"" + host_link + "\"") &&
         EntryBecomes(link, true);
}

bool RemoveSymbolicLink(const std::string& link) {
  const std::string host_link = HostPath(link);
  if (host_link.empty()) {
    return ::RemoveDirectoryA(link.c_str()) || ::DeleteFileA(link.c_str());
  }
  return RunHostProgram("/bin/rm -f \"" + host_link + "\"") && EntryBecomes(link, false);
}

}  // namespace norvex::service::testing
