#include "tools/install_override.h"

#include "storage/data_folders.h"

namespace norvex::tools {

InstallOverride::InstallOverride(std::u16string installFolder, std::u16string appDataFolder)
    : moduleFile_(storage::JoinPath(installFolder, u"NorvexToolbar")),
      appDataFolder_(std::move(appDataFolder)) {}

std::optional<std::u16string> InstallOverride::ModuleFileName() { return moduleFile_; }

std::optional<std::u16string> InstallOverride::AppDataFolder() {
  if (!appDataFolder_.empty()) return appDataFolder_;
  return platform::NativeSystemInfo().AppDataFolder();
}

unsigned InstallOverride::OsMajorVersion() { return platform::NativeSystemInfo().OsMajorVersion(); }

}  // namespace norvex::tools
