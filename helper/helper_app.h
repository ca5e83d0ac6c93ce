// The uninstall program as a whole: its command line, the question it asks, the job it runs and
// what it says at the end.
//
//   NorvexHelper.exe /uninstalltoolbar [/S]       removes the installation it lives in
//   NorvexHelper.exe /prepareupgrade FOLDER [/S]  readies FOLDER for the installer of a new version
//   NorvexHelper.exe /startservice FOLDER [/S]    registers and starts FOLDER's service
//   NorvexHelper.exe /securefolder FOLDER [/S]    makes FOLDER for an installation, or refuses it
//
// Without /S the uninstall asks first and reports in Japanese; /S does the same without a word
// (the installer's two jobs never ask: the installer speaks for them). Arguments compare without
// regard to case.
#pragma once

#include <string>
#include <vector>

#include "helper/helper_seams.h"

namespace norvex::helper {

// Exit codes.
inline constexpr int kExitDone = 0;        // done (some files may go at the next restart)
inline constexpr int kExitDeclined = 1;    // the user answered no; nothing was changed
inline constexpr int kExitUsage = 2;       // the command line was not understood
inline constexpr int kExitIncomplete = 3;  // done, but something could not be removed
inline constexpr int kExitUnsafeFolder = 4;  // /securefolder: users can change the folder

enum class Job { kInvalid, kUninstall, kPrepareUpgrade, kStartService, kSecureFolder };

struct HelperCommand {
  Job job = Job::kInvalid;
  bool silent = false;
  std::u16string folder;  // the installer's jobs: the installation folder
};

// The arguments after the program name.
HelperCommand ParseHelperCommand(const std::vector<std::u16string>& arguments);

// Runs the command: `own_folder` is the folder of the running program, which is the
// installation that "/uninstalltoolbar" removes. Returns the exit code.
int RunHelper(HelperSystem& system, const std::vector<std::u16string>& arguments,
              const std::u16string& own_folder);

}  // namespace norvex::helper
