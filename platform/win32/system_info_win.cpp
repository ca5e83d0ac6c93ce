#include "platform/platform.h"
#include "platform/win32/windows_api.h"

#include <shlobj.h>

namespace norvex::platform {

namespace {

using win32::FromW;

class WinSystemInfo final : public SystemInfo {
 public:
  // The module that holds this code: the toolbar library when it is loaded by the browser.
  std::optional<std::u16string> ModuleFileName() override {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&NativeSystemInfo), &module)) {
      return std::nullopt;
    }
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return FromW(buffer, length);
  }

  std::optional<std::u16string> AppDataFolder() override {
    LPITEMIDLIST item = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &item))) return std::nullopt;
    wchar_t buffer[MAX_PATH] = {};
    std::optional<std::u16string> folder;
    if (::SHGetPathFromIDListW(item, buffer)) folder = FromW(buffer);
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&malloc))) {
      malloc->Free(item);
      malloc->Release();
    }
    return folder;
  }

  unsigned OsMajorVersion() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
  }
};

}  // namespace

SystemInfo& NativeSystemInfo() {
  static WinSystemInfo info;
  return info;
}

}  // namespace norvex::platform
