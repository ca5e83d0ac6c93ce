// Seam: facts about the running system that the data folders depend on.
#pragma once

#include <optional>
#include <string>

namespace norvex::platform {

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  // The full file name of the module that holds the toolbar code (the library, not the program
  // that loaded it). Nothing when it cannot be determined.
  virtual std::optional<std::u16string> ModuleFileName() = 0;

  // The user's application data folder as the system names it, unchanged (it may or may not end
  // in a separator). Nothing when the system cannot say.
  virtual std::optional<std::u16string> AppDataFolder() = 0;

  // The major version that the system reports; 0 where the system is not Windows.
  virtual unsigned OsMajorVersion() = 0;
};

}  // namespace norvex::platform
