#include "helper/uninstaller.h"

#include <optional>

#include "helper/browser_registration.h"
#include "helper/installation_layout.h"

namespace norvex::helper {

namespace {

using platform::RegistryRoot;

// Deletes a file, or has it deleted at the next restart when it is in use. A missing file is
// nothing to do.
void RemovePath(HelperSystem& system, const std::u16string& path, Outcome& outcome) {
  if (!system.files.Exists(path) || system.files.RemoveFile(path)) return;
  if (system.files.RemoveAtRestart(path)) {
    outcome.at_restart.push_back(path);
  } else {
    outcome.failed.push_back(path);
  }
}

bool Listed(const std::vector<std::u16string>& paths, const std::u16string& path) {
  for (const std::u16string& p : paths) {
    if (SamePath(p, path)) return true;
  }
  return false;
}

// Removes an emptied folder. One that still holds only what goes at the restart goes at the
// restart too, after its contents; one that holds anything else (files the user put there) is
// left as it is.
void RemoveEmptiedFolder(HelperSystem& system, const std::u16string& folder, Outcome& outcome) {
  if (!system.files.Exists(folder) || system.files.RemoveFolder(folder)) return;
  for (const FolderEntry& entry : system.files.List(folder)) {
    if (!Listed(outcome.at_restart, JoinInstallPath(folder, entry.name))) return;
  }
  if (system.files.RemoveAtRestart(folder)) {
    outcome.at_restart.push_back(folder);
  } else {
    outcome.failed.push_back(folder);
  }
}

void RemoveTree(HelperSystem& system, const std::u16string& folder, Outcome& outcome) {
  for (const FolderEntry& entry : system.files.List(folder)) {
    const std::u16string path = JoinInstallPath(folder, entry.name);
    if (entry.folder) {
      RemoveTree(system, path, outcome);
    } else {
      RemovePath(system, path, outcome);
    }
  }
  RemoveEmptiedFolder(system, folder, outcome);
}

// The service, when the control manager has it registered with this folder's program.
std::optional<ServiceState> OwnService(HelperSystem& system, const std::u16string& folder) {
  const std::optional<ServiceState> state = system.services.Query(kServiceName);
  if (!state) return std::nullopt;
  if (!SamePath(UnquotedProgram(state->command), JoinInstallPath(folder, kServiceProgram))) {
    return std::nullopt;
  }
  return state;
}

// Stops a registered service and waits for its process, so that the files it holds open can go.
void StopService(HelperSystem& system, const ServiceState& state, Outcome& outcome) {
  if (state.stopped && state.process_id == 0) return;
  if (!state.stopped && !system.services.Stop(kServiceName)) {
    outcome.failed.push_back(kServiceName);
    return;
  }
  if (!system.services.WaitForProcessEnd(state.process_id, kServiceStopWaitMs)) {
    outcome.failed.push_back(kServiceName);
  }
}

bool ValueNamesFolder(HelperSystem& system, const std::u16string& key, const std::u16string& name,
                      const std::u16string& path) {
  const auto value = system.registry.GetValue(RegistryRoot::kLocalMachine, key, name);
  return value && value->type == platform::RegistryType::kString &&
         SamePath(UnquotedProgram(value->text), path);
}

}  // namespace

Outcome Uninstall(HelperSystem& system, const std::u16string& folder) {
  Outcome outcome;

  if (const std::optional<ServiceState> service = OwnService(system, folder)) {
    StopService(system, *service, outcome);
    const std::u16string program = JoinInstallPath(folder, kServiceProgram);
    if (system.files.Exists(program)) system.programs.Run(program, u"/uninstall");
    if (system.services.Query(kServiceName) && !system.services.Remove(kServiceName)) {
      outcome.failed.push_back(kServiceName);
    }
  }

  const std::u16string module = JoinInstallPath(folder, kToolbarModule);
  if (system.files.Exists(module) && system.modules.Unregister(module) < 0) {
    outcome.failed.push_back(module);
  }

  if (ValueNamesFolder(system, kRunOnceKey, kRunOnceValue, JoinInstallPath(folder, kMoverProgram))) {
    system.registry.DeleteValue(RegistryRoot::kLocalMachine, kRunOnceKey, kRunOnceValue);
  }

  RemoveBrowserRegistration(system, folder, outcome);

  for (const std::u16string& name : ProductFiles()) {
    RemovePath(system, JoinInstallPath(folder, name), outcome);
  }
  for (const std::u16string& name : ProductFolders()) {
    RemoveTree(system, JoinInstallPath(folder, name), outcome);
  }
  RemovePath(system, JoinInstallPath(folder, kHelperProgram), outcome);
  RemoveEmptiedFolder(system, folder, outcome);

  const bool entryNamesFolder =
      !system.registry.GetValue(RegistryRoot::kLocalMachine, kUninstallKey, kInstallLocationValue) ||
      ValueNamesFolder(system, kUninstallKey, kInstallLocationValue, folder);
  if (system.registry.KeyExists(RegistryRoot::kLocalMachine, kUninstallKey) && entryNamesFolder &&
      system.registry.DeleteTree(RegistryRoot::kLocalMachine, kUninstallKey) != platform::kRegistryOk) {
    outcome.failed.push_back(kUninstallKey);
  }
  return outcome;
}

Outcome PrepareUpgrade(HelperSystem& system, const std::u16string& folder) {
  Outcome outcome;
  if (const std::optional<ServiceState> service = system.services.Query(kServiceName)) {
    StopService(system, *service, outcome);
    const bool ours =
        SamePath(UnquotedProgram(service->command), JoinInstallPath(folder, kServiceProgram));
    if (outcome.ok() && !ours && !system.services.Remove(kServiceName)) {
      outcome.failed.push_back(kServiceName);
    }
  }
  RemoveTree(system, JoinInstallPath(folder, kWorkingFolder), outcome);
  return outcome;
}

Outcome StartService(HelperSystem& system, const std::u16string& folder) {
  Outcome outcome;
  const std::u16string program = JoinInstallPath(folder, kServiceProgram);
  if (!system.files.Exists(program)) {
    outcome.failed.push_back(program);
    return outcome;
  }
  system.programs.Run(program, u"/install");
  system.programs.Run(program, u"/start");
  const std::optional<ServiceState> service = OwnService(system, folder);
  if (!service || service->stopped) outcome.failed.push_back(kServiceName);
  return outcome;
}

}  // namespace norvex::helper
