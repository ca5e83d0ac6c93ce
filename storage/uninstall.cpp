#include "storage/uninstall.h"

#include "storage/data_folders.h"

namespace norvex::storage {

bool StartUninstall(ProgramStarter& starter) {
  const std::u16string program = GetInstallFilePath(u"NorvexHelper.exe");
  if (program.empty()) return false;
  return starter.Start(program, u"/uninstalltoolbar");
}

}  // namespace norvex::storage
