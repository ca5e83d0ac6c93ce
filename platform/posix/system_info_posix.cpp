#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdlib>

#include "common/text.h"
#include "platform/platform.h"

namespace norvex::platform {

namespace {

class PosixSystemInfo final : public SystemInfo {
 public:
  // The file of the module that holds this code: the toolbar library, or the program it is
  // linked into.
  std::optional<std::u16string> ModuleFileName() override {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&NativeSystemInfo), &info) == 0 || !info.dli_fname) {
      return std::nullopt;
    }
    char resolved[PATH_MAX];
    if (!::realpath(info.dli_fname, resolved)) return std::nullopt;
    return Utf8ToUtf16(resolved);
  }

  // The per-user data folder of the XDG base directories: $XDG_DATA_HOME, or ~/.local/share.
  std::optional<std::u16string> AppDataFolder() override {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return Utf8ToUtf16(xdg);
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) return std::nullopt;
    std::string folder = home;
    if (folder.back() != '/') folder += '/';
    return Utf8ToUtf16(folder + ".local/share");
  }

  unsigned OsMajorVersion() override { return 0; }
};

}  // namespace

SystemInfo& NativeSystemInfo() {
  static PosixSystemInfo info;
  return info;
}

}  // namespace norvex::platform
