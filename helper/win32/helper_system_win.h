// The uninstall program's seams over the Windows API: the service control manager, process
// creation, the module's own unregistration export, file deletion (now or at the next restart)
// and message boxes.
#pragma once

#include "helper/helper_seams.h"

namespace norvex::helper::win32 {

class Win32ServiceControl final : public ServiceControl {
 public:
  std::optional<ServiceState> Query(const std::u16string& name) override;
  bool Stop(const std::u16string& name) override;
  bool Remove(const std::u16string& name) override;
  bool WaitForProcessEnd(uint32_t process_id, uint32_t timeout_ms) override;
};

// Runs a program without a window and waits for it (at most a minute).
class Win32ProgramRunner final : public ProgramRunner {
 public:
  int Run(const std::u16string& program, const std::u16string& arguments) override;
};

// Loads the module into this process, calls its DllUnregisterServer inside an apartment of its
// own (as the system's registration program does), and unloads it again.
class Win32ModuleRegistrar final : public ModuleRegistrar {
 public:
  int32_t Unregister(const std::u16string& module) override;
};

class Win32InstalledFiles final : public InstalledFiles {
 public:
  bool Exists(const std::u16string& path) override;
  // A folder that is a link (a junction) is listed as a file: it is removed, not descended into.
  std::vector<FolderEntry> List(const std::u16string& folder) override;
  bool RemoveFile(const std::u16string& path) override;
  bool RemoveFolder(const std::u16string& path) override;
  bool RemoveAtRestart(const std::u16string& path) override;
  bool IsLink(const std::u16string& path) override;
  bool MakeFolder(const std::u16string& path, bool protect) override;
  // The service's own check (service/win32/file_security_win.h), on the folder's ANSI name.
  std::u16string FindChangeableByUsers(const std::u16string& folder) override;
};

// Message boxes with the program's caption.
class Win32Prompt final : public Prompt {
 public:
  bool Ask(const std::u16string& text) override;
  void Tell(const std::u16string& text, Notice kind) override;
};

}  // namespace norvex::helper::win32
