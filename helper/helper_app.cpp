#include "helper/helper_app.h"

#include "helper/helper_messages.h"
#include "helper/uninstaller.h"

namespace norvex::helper {

namespace {

bool SameSwitch(const std::u16string& argument, std::u16string_view name) {
  if (argument.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = argument[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != name[i]) return false;
  }
  return true;
}

// The installer's jobs, each followed by the installation folder.
Job FolderJob(const std::u16string& argument) {
  if (SameSwitch(argument, u"/prepareupgrade")) return Job::kPrepareUpgrade;
  if (SameSwitch(argument, u"/startservice")) return Job::kStartService;
  if (SameSwitch(argument, u"/securefolder")) return Job::kSecureFolder;
  return Job::kInvalid;
}

}  // namespace

HelperCommand ParseHelperCommand(const std::vector<std::u16string>& arguments) {
  HelperCommand command;
  bool understood = true;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (SameSwitch(argument, u"/s")) {
      command.silent = true;
    } else if (SameSwitch(argument, u"/uninstalltoolbar") && command.job == Job::kInvalid) {
      command.job = Job::kUninstall;
    } else if (const Job job = FolderJob(argument);
               job != Job::kInvalid && command.job == Job::kInvalid && i + 1 < arguments.size() &&
               !arguments[i + 1].empty()) {
      command.job = job;
      command.folder = arguments[++i];
    } else {
      understood = false;
    }
  }
  if (!understood) command.job = Job::kInvalid;
  return command;
}

int RunHelper(HelperSystem& system, const std::vector<std::u16string>& arguments,
              const std::u16string& own_folder) {
  const HelperCommand command = ParseHelperCommand(arguments);
  switch (command.job) {
    case Job::kInvalid:
      if (!command.silent) system.prompt.Tell(kUsageText, Notice::kError);
      return kExitUsage;
    case Job::kPrepareUpgrade:
      return PrepareUpgrade(system, command.folder).ok() ? kExitDone : kExitIncomplete;
    case Job::kStartService:
      return StartService(system, command.folder).ok() ? kExitDone : kExitIncomplete;
    case Job::kSecureFolder:
      return SecureFolder(system, command.folder).ok() ? kExitDone : kExitUnsafeFolder;
    case Job::kUninstall:
      break;
  }
  if (!command.silent && !system.prompt.Ask(kConfirmText)) return kExitDeclined;
  const Outcome outcome = Uninstall(system, own_folder);
  if (!command.silent) {
    system.prompt.Tell(UninstallReport(outcome), outcome.ok() ? Notice::kInformation : Notice::kWarning);
  }
  return outcome.ok() ? kExitDone : kExitIncomplete;
}

}  // namespace norvex::helper
