#include "tools/install_override.h"

#include "storage/data_folders.h"

namespace norvex::tools {

InstallOverride::InstallOverride(std::u16string installFolder)
    : moduleFile_(storage::JoinPath(installFolder, u"NorvexToolbar")) {}

std::optional<std::u16string> InstallOverride::ModuleFileName() { return moduleFile_; }

std::optional<std::u16string> InstallOverride::AppDataFolder() {
  return platform::NativeSystemInfo().AppDataFolder();
}

unsigned InstallOverride::OsMajorVersion() { return platform::NativeSystemInfo().OsMajorVersion(); }

}  // namespace norvex::tools
