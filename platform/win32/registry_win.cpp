// The registry seam over the system registry: RegCreateKeyExW, RegSetValueExW, RegGetValueW,
// RegDeleteValueW, RegDeleteTreeW.
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::platform {

namespace {

using win32::FromW;
using win32::ScopedRegistryKey;
using win32::W;

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers: return HKEY_USERS;
    case RegistryRoot::kCurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return nullptr;
}

class WinRegistry final : public Registry {
 public:
  uint32_t CreateKey(RegistryRoot root, const std::u16string& path) override {
    ScopedRegistryKey key;
    const LONG result =
        ::RegCreateKeyExW(RootKey(root), W(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                          nullptr, key.Receive(), nullptr);
    return static_cast<uint32_t>(result);
  }

  bool KeyExists(RegistryRoot root, const std::u16string& path) override {
    ScopedRegistryKey key;
    const LONG result = ::RegOpenKeyExW(RootKey(root), W(path), 0, KEY_READ, key.Receive());
    return result == ERROR_SUCCESS;
  }

  uint32_t SetValue(RegistryRoot root, const std::u16string& path, const std::u16string& name,
                    const RegistryValue& value) override {
    ScopedRegistryKey key;
    const LONG opened = ::RegOpenKeyExW(RootKey(root), W(path), 0, KEY_SET_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS) return static_cast<uint32_t>(opened);
    const BYTE* data = nullptr;
    DWORD size = 0;
    switch (value.type) {
      case RegistryType::kString:
        data = reinterpret_cast<const BYTE*>(value.text.c_str());
        size = static_cast<DWORD>((value.text.size() + 1) * sizeof(char16_t));
        break;
      case RegistryType::kBinary:
        data = value.bytes.empty() ? nullptr : value.bytes.data();
        size = static_cast<DWORD>(value.bytes.size());
        break;
      case RegistryType::kDword:
        data = reinterpret_cast<const BYTE*>(&value.number);
        size = sizeof value.number;
        break;
    }
    return static_cast<uint32_t>(::RegSetValueExW(key.get(), name.empty() ? nullptr : W(name), 0,
                                                  static_cast<DWORD>(value.type), data, size));
  }

  std::optional<RegistryValue> GetValue(RegistryRoot root, const std::u16string& path,
                                        const std::u16string& name) override {
    const wchar_t* valueName = name.empty() ? nullptr : W(name);
    DWORD type = 0, size = 0;
    if (::RegGetValueW(RootKey(root), W(path), valueName, RRF_RT_ANY | RRF_NOEXPAND, &type,
                       nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<uint8_t> data(size + sizeof(wchar_t));
    if (::RegGetValueW(RootKey(root), W(path), valueName, RRF_RT_ANY | RRF_NOEXPAND, &type,
                       data.data(), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    data.resize(size);
    switch (type) {
      case REG_SZ: {
        std::u16string text(reinterpret_cast<const char16_t*>(data.data()),
                            data.size() / sizeof(char16_t));
        while (!text.empty() && text.back() == u'\0') text.pop_back();
        return RegistryValue::String(std::move(text));
      }
      case REG_BINARY:
        return RegistryValue::Binary(std::move(data));
      case REG_DWORD: {
        DWORD number = 0;
        if (data.size() != sizeof number) return std::nullopt;
        std::memcpy(&number, data.data(), sizeof number);
        return RegistryValue::Dword(number);
      }
      default:
        return std::nullopt;
    }
  }

  uint32_t DeleteValue(RegistryRoot root, const std::u16string& path,
                       const std::u16string& name) override {
    ScopedRegistryKey key;
    const LONG opened = ::RegOpenKeyExW(RootKey(root), W(path), 0, KEY_SET_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS) return static_cast<uint32_t>(opened);
    return static_cast<uint32_t>(::RegDeleteValueW(key.get(), name.empty() ? nullptr : W(name)));
  }

  uint32_t DeleteTree(RegistryRoot root, const std::u16string& path) override {
    if (path.empty()) return ERROR_ACCESS_DENIED;  // a root cannot go
    {
      ScopedRegistryKey key;
      const LONG opened =
          ::RegOpenKeyExW(RootKey(root), W(path), 0, KEY_READ | KEY_WRITE | DELETE, key.Receive());
      if (opened != ERROR_SUCCESS) return static_cast<uint32_t>(opened);
      const LONG emptied = ::RegDeleteTreeW(key.get(), nullptr);
      if (emptied != ERROR_SUCCESS) return static_cast<uint32_t>(emptied);
    }
    return static_cast<uint32_t>(::RegDeleteKeyW(RootKey(root), W(path)));
  }

  std::vector<std::u16string> SubKeyNames(RegistryRoot root, const std::u16string& path) override {
    std::vector<std::u16string> names;
    ScopedRegistryKey key;
    const LONG opened = ::RegOpenKeyExW(RootKey(root), W(path), 0, KEY_READ, key.Receive());
    if (opened != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      names.push_back(FromW(name, length));
    }
    return names;
  }

  std::vector<std::u16string> ValueNames(RegistryRoot root, const std::u16string& path) override {
    std::vector<std::u16string> names;
    ScopedRegistryKey key;
    const LONG opened = ::RegOpenKeyExW(RootKey(root), W(path), 0, KEY_READ, key.Receive());
    if (opened != ERROR_SUCCESS) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(name.size());
      if (::RegEnumValueW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      names.push_back(FromW(name.data(), length));
    }
    return names;
  }
};

}  // namespace

Registry& NativeRegistry() {
  static WinRegistry registry;
  return registry;
}

}  // namespace norvex::platform
