// Seam: the system registry, as registration of the toolbar module uses it. On Windows the real
// registry; on POSIX an in-memory stand-in with the same rules (key names compared without
// regard to case, a key's unnamed value named by the empty string).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvex::platform {

enum class RegistryRoot {
  kClassesRoot,
  kCurrentUser,
  kLocalMachine,
  kUsers,
  kCurrentConfig,
};

// Value types in the system's numbering.
enum class RegistryType : uint32_t {
  kString = 1,       // REG_SZ
  kBinary = 3,       // REG_BINARY
  kDword = 4,        // REG_DWORD
};

struct RegistryValue {
  RegistryType type = RegistryType::kString;
  std::u16string text;         // kString
  std::vector<uint8_t> bytes;  // kBinary
  uint32_t number = 0;         // kDword

  static RegistryValue String(std::u16string text) {
    return {RegistryType::kString, std::move(text), {}, 0};
  }
  static RegistryValue Binary(std::vector<uint8_t> bytes) {
    return {RegistryType::kBinary, {}, std::move(bytes), 0};
  }
  static RegistryValue Dword(uint32_t number) { return {RegistryType::kDword, {}, {}, number}; }
  bool operator==(const RegistryValue&) const = default;
};

// Results are the system's error codes.
inline constexpr uint32_t kRegistryOk = 0;
inline constexpr uint32_t kRegistryNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t kRegistryAccessDenied = 5;   // ERROR_ACCESS_DENIED
inline constexpr uint32_t kRegistryInvalidName = 161;  // ERROR_BAD_PATHNAME

// Key paths are relative to their root, components separated by '\'.
class Registry {
 public:
  virtual ~Registry() = default;

  // Creates the key and every missing key on the way (RegCreateKeyExW); an existing key is
  // only opened.
  virtual uint32_t CreateKey(RegistryRoot root, const std::u16string& path) = 0;
  virtual bool KeyExists(RegistryRoot root, const std::u16string& path) = 0;

  // Sets a value of an existing key; `name` empty: the key's unnamed value.
  virtual uint32_t SetValue(RegistryRoot root, const std::u16string& path,
                            const std::u16string& name, const RegistryValue& value) = 0;
  // Nothing when the key or value is missing or of a type this seam does not carry.
  virtual std::optional<RegistryValue> GetValue(RegistryRoot root, const std::u16string& path,
                                                const std::u16string& name) = 0;
  // kRegistryNotFound when the key or the value is missing.
  virtual uint32_t DeleteValue(RegistryRoot root, const std::u16string& path,
                               const std::u16string& name) = 0;

  // Deletes the key with everything below it (RegDeleteTreeW, then the key itself).
  // kRegistryNotFound when the key is missing.
  virtual uint32_t DeleteTree(RegistryRoot root, const std::u16string& path) = 0;

  // The names of the key's subkeys and of its values (the unnamed value as ""), in no
  // particular order; empty when the key is missing.
  virtual std::vector<std::u16string> SubKeyNames(RegistryRoot root,
                                                  const std::u16string& path) = 0;
  virtual std::vector<std::u16string> ValueNames(RegistryRoot root,
                                                 const std::u16string& path) = 0;
};

}  // namespace norvex::platform
