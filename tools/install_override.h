// For programs that stand in for the browser: the toolbar's installation folder is normally the
// folder of its own module file; a host names another folder instead.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace norvex::tools {

// The native system facts, except that the toolbar's module file lies in `installFolder` and,
// when `appDataFolder` is not empty, the application data folder is that folder.
class InstallOverride final : public platform::SystemInfo {
 public:
  explicit InstallOverride(std::u16string installFolder, std::u16string appDataFolder = {});
  std::optional<std::u16string> ModuleFileName() override;
  std::optional<std::u16string> AppDataFolder() override;
  unsigned OsMajorVersion() override;

 private:
  std::u16string moduleFile_;
  std::u16string appDataFolder_;
};

}  // namespace norvex::tools
