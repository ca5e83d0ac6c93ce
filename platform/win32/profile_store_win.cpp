// The Windows profile store: the system's own profile functions.

#include <map>
#include <vector>

#include "common/text.h"

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

// The key of a section line as the system gives it ("key=value", or a line without "=").
std::u16string_view NameOf(std::u16string_view line) {
  return TrimView(line.substr(0, line.find(u'=')));
}

// Key names compare without regard to case, as the profile functions compare them.
std::u16string UpperName(std::u16string_view name) {
  std::u16string upper(name);
  if (!upper.empty()) {
    ::CharUpperBuffW(reinterpret_cast<wchar_t*>(upper.data()), static_cast<DWORD>(upper.size()));
  }
  return upper;
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

  // The section as the system reads it, merged with the entries, written back by the system in
  // one go: each existing key keeps its line and its spelling, new keys follow in order.
  bool WriteStrings(const std::u16string& path, std::u16string_view section,
                    const std::vector<ProfileEntry>& entries) override {
    if (entries.empty()) return true;
    const std::u16string s(section);
    std::vector<std::u16string> lines = ReadList([&](wchar_t* buffer, DWORD size) {
      return ::GetPrivateProfileSectionW(W(s), buffer, size, W(path));
    });
    std::map<std::u16string, size_t> byName;
    for (size_t i = 0; i < lines.size(); ++i) byName.emplace(UpperName(NameOf(lines[i])), i);
    for (const ProfileEntry& entry : entries) {
      const std::u16string name(TrimView(entry.key));
      const auto [it, added] = byName.emplace(UpperName(name), lines.size());
      std::u16string line = added ? name : std::u16string(NameOf(lines[it->second]));
      line += u'=';
      line += entry.value;
      if (added) {
        lines.push_back(std::move(line));
      } else {
        lines[it->second] = std::move(line);
      }
    }
    std::u16string block;
    for (const std::u16string& line : lines) {
      block += line;
      block += u'\0';
    }
    block += u'\0';
    return ::WritePrivateProfileSectionW(W(s), W(block), W(path)) != FALSE;
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
