// Seams of the uninstall program: the few system facilities it calls on, each small enough that
// its Windows implementation is a handful of API calls and its test double a table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace norvex::helper {

// A service as the control manager knows it.
struct ServiceState {
  bool stopped = true;
  uint32_t process_id = 0;  // 0 while no process runs it
  std::u16string command;   // the registered command line, quotes included
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // Nothing when the service is not registered (or the manager cannot be asked).
  virtual std::optional<ServiceState> Query(const std::u16string& name) = 0;
  // Sends the stop control. False when the control manager refused it.
  virtual bool Stop(const std::u16string& name) = 0;
  // Deletes the registration. False when it is missing or cannot be deleted.
  virtual bool Remove(const std::u16string& name) = 0;
  // Waits until the process has ended, at most `timeout_ms`; true at once when there is no such
  // process. False when it still runs after the wait.
  virtual bool WaitForProcessEnd(uint32_t process_id, uint32_t timeout_ms) = 0;
};

class ProgramRunner {
 public:
  virtual ~ProgramRunner() = default;
  // Runs the program with the arguments, hidden, and waits for it to end. Its exit code, or -1
  // when it could not be started or did not end in time.
  virtual int Run(const std::u16string& program, const std::u16string& arguments) = 0;
};

class ModuleRegistrar {
 public:
  virtual ~ModuleRegistrar() = default;
  // Calls the module's own DllUnregisterServer. Its HRESULT; a failure result when the module
  // cannot be loaded or has no such export.
  virtual int32_t Unregister(const std::u16string& module) = 0;
};

struct FolderEntry {
  std::u16string name;
  bool folder = false;
};

class InstalledFiles {
 public:
  virtual ~InstalledFiles() = default;
  // True when a file or folder of that name exists.
  virtual bool Exists(const std::u16string& path) = 0;
  // The entries of a folder ("." and ".." left out); empty when it is missing.
  virtual std::vector<FolderEntry> List(const std::u16string& folder) = 0;
  // Deletes one file, read-only or not. False when it is still there (for example in use).
  virtual bool RemoveFile(const std::u16string& path) = 0;
  // Removes an empty folder. False when it is still there.
  virtual bool RemoveFolder(const std::u16string& path) = 0;
  // Has the system delete the file or (then empty) folder when it next starts
  // (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT). False when it refused.
  virtual bool RemoveAtRestart(const std::u16string& path) = 0;
  // True when the path itself is a symbolic link, a junction or another reparse point: such an
  // entry is removed as it is (RemoveFile), never listed or followed.
  virtual bool IsLink(const std::u16string& path) = 0;
  // Makes a new folder in an existing one. `protect`: only the system and the administrators
  // may change it and what will be put in it, users may read and run it, and nothing is
  // inherited from the folders above; otherwise it gets its parent's access as usual. False
  // when it cannot be made (also when something of that name exists).
  virtual bool MakeFolder(const std::u16string& path, bool protect) = 0;
  // The first path that someone other than an administrator can change, by the check that the
  // service's "/install" makes of its program folder (the folder and everything in it); empty
  // when there is none.
  virtual std::u16string FindChangeableByUsers(const std::u16string& folder) = 0;
};

enum class Notice { kInformation, kWarning, kError };

class Prompt {
 public:
  virtual ~Prompt() = default;
  // A yes/no question; true for yes.
  virtual bool Ask(const std::u16string& text) = 0;
  virtual void Tell(const std::u16string& text, Notice kind) = 0;
};

// Everything the uninstall program works with.
struct HelperSystem {
  ServiceControl& services;
  ProgramRunner& programs;
  ModuleRegistrar& modules;
  InstalledFiles& files;
  platform::Registry& registry;
  Prompt& prompt;
};

}  // namespace norvex::helper
