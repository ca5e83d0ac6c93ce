// Seam: the platform's INI profile functions. On Windows these are GetPrivateProfileStringW and
// WritePrivateProfileStringW themselves; on POSIX a store of our own with the same rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvex::platform {

// One key and its value, for writing several keys of a section at once.
struct ProfileEntry {
  std::u16string key;
  std::u16string value;
  bool operator==(const ProfileEntry&) const = default;
};

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // The value of `key` in `section` of the file, blanks around it removed, or `defaultValue`
  // (its trailing blanks removed) when the file, section or key is missing. At most
  // capacity - 1 characters come back, as a buffer of `capacity` characters would hold them.
  // Section and key names are compared without regard to case.
  virtual std::u16string GetString(const std::u16string& path, std::u16string_view section,
                                   std::u16string_view key, std::u16string_view defaultValue,
                                   size_t capacity) = 0;

  // Writes `key`=`value` into `section`, creating the file, the section or the key as needed
  // and leaving the rest of the file as it was. A missing `value` deletes the key, a missing
  // `key` the whole section. False when the file cannot be written.
  virtual bool WriteString(const std::u16string& path, std::u16string_view section,
                           std::optional<std::u16string_view> key,
                           std::optional<std::u16string_view> value) = 0;

  // Writes several keys of one section with the result that WriteString would give called for
  // each entry in this order (a key given twice takes its last value at the place of its first),
  // but in one rewrite of the file: a reader sees all of them or none. An empty list writes
  // nothing. False when the file cannot be written. The default writes key by key.
  virtual bool WriteStrings(const std::u16string& path, std::u16string_view section,
                            const std::vector<ProfileEntry>& entries) {
    bool written = true;
    for (const ProfileEntry& entry : entries) {
      written = WriteString(path, section, entry.key, entry.value) && written;
    }
    return written;
  }

  // The names of the file's sections, in file order; empty when the file is missing.
  virtual std::vector<std::u16string> GetSectionNames(const std::u16string& path) = 0;

  // The key names of one section, in file order.
  virtual std::vector<std::u16string> GetKeyNames(const std::u16string& path,
                                                  std::u16string_view section) = 0;
};

}  // namespace norvex::platform
