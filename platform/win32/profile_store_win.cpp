// The Windows profile store: the system's own profile functions.

#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace norvex::platform {

namespace {

using win32::FromW;
using win32::W;

// Splits a double-zero-terminated list of strings.
std::vector<std::u16string> SplitList(const std::vector<wchar_t>& buffer, DWORD length) {
  std::vector<std::u16string> items;
  const wchar_t* p = buffer.data();
  const wchar_t* end = buffer.data() + length;
  while (p < end && *p) {
    std::u16string item = FromW(p);
    p += item.size() + 1;
    items.push_back(std::move(item));
  }
  return items;
}

// Reads a list into a buffer that grows until the list fits.
template <typename Read>
std::vector<std::u16string> ReadList(Read read) {
  for (DWORD size = 4096; size <= (1u << 24); size *= 4) {
    std::vector<wchar_t> buffer(size, 0);
    const DWORD length = read(buffer.data(), size);
    if (length + 2 < size) return SplitList(buffer, length);
  }
  return {};
}

class WinProfileStore final : public ProfileStore {
 public:
  std::u16string GetString(const std::u16string& path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           size_t capacity) override {
    if (capacity == 0) return {};
    std::vector<wchar_t> buffer(capacity, 0);
    const std::u16string s(section), k(key), d(defaultValue);
    const DWORD length = ::GetPrivateProfileStringW(W(s), W(k), W(d), buffer.data(),
                                                    static_cast<DWORD>(capacity), W(path));
    return FromW(buffer.data(), length);
  }

  bool WriteString(const std::u16string& path, std::u16string_view section,
                   std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    const std::u16string s(section);
    const std::u16string k = key ? std::u16string(*key) : std::u16string();
    const std::u16string v = value ? std::u16string(*value) : std::u16string();
    return ::WritePrivateProfileStringW(W(s), key ? W(k) : nullptr, value ? W(v) : nullptr,
                                        W(path)) != FALSE;
  }

  // A UTF-16 file with a byte-order mark (the history file is one) is read by the profile
  // functions as IniText reads it: it is changed in one copy that replaces it whole, as every
  // writer of our INI files changes them (EditIniFile). Other files are read in the system's ANSI
  // code page, which only the system knows: key by key through it.
  bool WriteStrings(const std::u16string& path, std::u16string_view section,
                    const std::vector<ProfileEntry>& entries) override {
    if (entries.empty()) return true;
    bool keyByKey = false;
    const bool written = EditIniFile(path, true, [&](IniText& ini) {
      keyByKey = ini.encoding() != IniEncoding::kUtf16LeBom;
      return !keyByKey && ini.SetEntries(section, entries);
    });
    if (keyByKey) return ProfileStore::WriteStrings(path, section, entries);
    return written;
  }

  std::vector<std::u16string> GetSectionNames(const std::u16string& path) override {
    return ReadList([&](wchar_t* buffer, DWORD size) {
      return ::GetPrivateProfileSectionNamesW(buffer, size, W(path));
    });
  }

  std::vector<std::u16string> GetKeyNames(const std::u16string& path,
                                          std::u16string_view section) override {
    const std::u16string s(section);
    return ReadList([&](wchar_t* buffer, DWORD size) {
      return ::GetPrivateProfileStringW(W(s), nullptr, L"", buffer, size, W(path));
    });
  }
};

}  // namespace

ProfileStore& NativeProfileStore() {
  static WinProfileStore store;
  return store;
}

}  // namespace norvex::platform
