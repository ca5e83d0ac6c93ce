// Test doubles of the uninstall program's seams: a service, programs, a registrar, a file tree
// and a prompt held in memory, writing what is asked of them to one shared event list, so that
// tests can check the order of the steps.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "helper/helper_seams.h"
#include "platform/memory_registry.h"

namespace norvex::helper::testing {

using Events = std::vector<std::string>;

std::string Narrow(const std::u16string& text);

class FakeServices final : public ServiceControl {
 public:
  explicit FakeServices(Events& events) : events_(events) {}
  std::optional<ServiceState> state;  // nothing: not registered
  bool refuse_stop = false;
  bool refuse_remove = false;
  bool process_stays = false;  // the process does not end after the stop control

  std::optional<ServiceState> Query(const std::u16string& name) override;
  bool Stop(const std::u16string& name) override;
  bool Remove(const std::u16string& name) override;
  bool WaitForProcessEnd(uint32_t process_id, uint32_t timeout_ms) override;

 private:
  Events& events_;
  bool stop_sent_ = false;
};

class FakePrograms final : public ProgramRunner {
 public:
  explicit FakePrograms(Events& events) : events_(events) {}
  // What a run does besides being noted (the service program's "/uninstall" removing the
  // service, for example).
  std::function<void(const std::u16string& program, const std::u16string& arguments)> effect;
  int Run(const std::u16string& program, const std::u16string& arguments) override;

 private:
  Events& events_;
};

class FakeRegistrar final : public ModuleRegistrar {
 public:
  explicit FakeRegistrar(Events& events) : events_(events) {}
  int32_t result = 0;
  int32_t Unregister(const std::u16string& module) override;

 private:
  Events& events_;
};

// Paths compare as the system compares them (ASCII case folded).
class FakeFiles final : public InstalledFiles {
 public:
  explicit FakeFiles(Events& events) : events_(events) {}
  void AddFile(const std::u16string& path);
  void AddFolder(const std::u16string& path);
  void InUse(const std::u16string& path) { in_use_.insert(Key(path)); }
  bool refuse_restart = false;
  // What is left of `folder`, itself included, in path order.
  std::vector<std::string> Left(const std::u16string& folder) const;
  const std::vector<std::u16string>& scheduled() const { return scheduled_; }

  bool Exists(const std::u16string& path) override;
  std::vector<FolderEntry> List(const std::u16string& folder) override;
  bool RemoveFile(const std::u16string& path) override;
  bool RemoveFolder(const std::u16string& path) override;
  bool RemoveAtRestart(const std::u16string& path) override;

 private:
  static std::u16string Key(const std::u16string& path);
  Events& events_;
  std::map<std::u16string, std::pair<std::u16string, bool>> entries_;  // key -> (path, folder)
  std::set<std::u16string> in_use_;
  std::vector<std::u16string> scheduled_;
};

class FakePrompt final : public Prompt {
 public:
  explicit FakePrompt(Events& events) : events_(events) {}
  bool answer = true;
  std::vector<std::u16string> told;
  bool Ask(const std::u16string& text) override;
  void Tell(const std::u16string& text, Notice kind) override;

 private:
  Events& events_;
};

// One of each, put together.
struct FakeSystem {
  Events events;
  FakeServices services{events};
  FakePrograms programs{events};
  FakeRegistrar modules{events};
  FakeFiles files{events};
  platform::MemoryRegistry registry;
  FakePrompt prompt{events};
  HelperSystem system{services, programs, modules, files, registry, prompt};
};

}  // namespace norvex::helper::testing
