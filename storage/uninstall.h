// The toolbar's "uninstall" command starts the product's uninstall program from the
// installation folder; what that program does is its own business.
#pragma once

#include <string>

namespace norvex::storage {

// Seam: starts a program (ShellExecuteW with the "open" verb on Windows).
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // False when the program cannot be started (for example, it is missing).
  virtual bool Start(const std::u16string& program, const std::u16string& arguments) = 0;
};

// Starts "NorvexHelper.exe" of the installation folder with "/uninstalltoolbar". False when the
// folder is unknown or the start fails; the toolbar carries on either way.
bool StartUninstall(ProgramStarter& starter);

}  // namespace norvex::storage
