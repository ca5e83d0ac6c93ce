// The jobs of the uninstall program: taking an installation away; and for the installer, making
// an installation ready to be replaced by a newer version, and setting up its service.
#pragma once

#include <string>
#include <vector>

#include "helper/helper_seams.h"

namespace norvex::helper {

// How long the program waits for the service's process to end after the stop control.
inline constexpr uint32_t kServiceStopWaitMs = 30000;

struct Outcome {
  // Paths that the system removes when it next starts (they were in use).
  std::vector<std::u16string> at_restart;
  // What could not be done: the service name, a module that did not unregister, a path that
  // could neither be removed nor scheduled for removal.
  std::vector<std::u16string> failed;
  bool ok() const { return failed.empty(); }
};

// Removes the installation in `folder`:
// 1. the service, when its registered program is this folder's: stopped, and its process waited
//    for (so that its files can go); then removed by the service program's own "/uninstall"
//    (which sends its uninstall report), or through the control manager when that left it;
// 2. the toolbar module's registration (its DllUnregisterServer, which also sends the uninstall
//    report and deletes the calling user's data folder);
// 3. the mover's run-once entry, when it names this folder's mover;
// 4. the product's files and folders, the uninstall program itself and at last the folder; what
//    is in use is scheduled for removal at the next restart;
// 5. the entry among the installed programs, when it names this folder (or no folder).
// Files that the product did not put there are left, and the folder with them.
Outcome Uninstall(HelperSystem& system, const std::u16string& folder);

// Before the installer copies a new version into `folder`: stops the service and waits for its
// process, so that its program and archive library can be replaced; and removes the service's
// working folder, whose updates would otherwise replace the new files at the next restart. Only
// what is this installation's is touched: the service only when it is registered with this
// folder's program (one of that name with another program is left as it is), the working
// folder only when the service or the entry among the installed programs names this folder.
// The user's data folder and the toolbar's registration are kept.
Outcome PrepareUpgrade(HelperSystem& system, const std::u16string& folder);

// Before the installer runs anything in `folder` or copies into it: makes the folder when it is
// missing (the folders on the way with their parents' access, the folder itself protected:
// see InstalledFiles::MakeFolder), and then refuses it when someone other than an administrator
// can change it or anything in it, since the installer registers and starts programs of that
// folder with every right on the machine. A refused folder is named in `failed`, and folders
// made for it are removed again. Only a full local path (a drive letter, then a folder below
// the drive's root) is taken.
Outcome SecureFolder(HelperSystem& system, const std::u16string& folder);

// After the installer copied the files into `folder`: registers the service by its program's own
// "/install" (which sends the install report) and starts it with "/start", both run without a
// window. Fails unless the control manager then has the service registered with this folder's
// program and not stopped.
Outcome StartService(HelperSystem& system, const std::u16string& folder);

}  // namespace norvex::helper
