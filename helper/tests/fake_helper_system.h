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

// Paths compare as the system compares them (ASCII case folded). A link stands for its target
// in every path that goes through it; the link itself is listed as what it leads to (a folder
// or a file), as a careless listing would show it, and removing it takes only the link away.
// Folders count as changeable by users where a test marks them so, and so does a folder made
// without protection in one of them, and every link.
class FakeFiles final : public InstalledFiles {
 public:
  explicit FakeFiles(Events& events) : events_(events) {}
  void AddFile(const std::u16string& path);
  void AddFolder(const std::u16string& path);
  void AddLink(const std::u16string& path, const std::u16string& target);
  void InUse(const std::u16string& path) { in_use_.insert(Resolve(path)); }
  void MarkChangeable(const std::u16string& path) { changeable_.insert(Resolve(path)); }
  bool refuse_restart = false;
  bool refuse_protected = false;  // no protected folder can be made
  bool protection_fails = false;  // a protected folder is made, but users can change it
  bool missing_drives = false;    // not even the drives are there
  // What is left of `folder`, itself included, in path order (links not followed); of
  // everything for an empty `folder`.
  std::vector<std::string> Left(const std::u16string& folder) const;
  const std::vector<std::u16string>& scheduled() const { return scheduled_; }
  // Whether the folder was made protected (MakeFolder).
  bool IsProtected(const std::u16string& path) const {
    return protected_.count(Resolve(path)) != 0;
  }

  bool Exists(const std::u16string& path) override;
  std::vector<FolderEntry> List(const std::u16string& folder) override;
  bool RemoveFile(const std::u16string& path) override;
  bool RemoveFolder(const std::u16string& path) override;
  bool RemoveAtRestart(const std::u16string& path) override;
  bool IsLink(const std::u16string& path) override;
  bool MakeFolder(const std::u16string& path, bool protect) override;
  std::u16string FindChangeableByUsers(const std::u16string& folder) override;

 private:
  enum class Kind { kFile, kFolder, kLink };
  struct Entry {
    std::u16string path;  // as it was added
    Kind kind;
    std::u16string target;  // a link's, as a key
  };
  static std::u16string Key(const std::u16string& path);
  // The key of the entry that `path` names, the links on the way to it followed (not the last).
  std::u16string Resolve(const std::u16string& path) const;
  const Entry* Find(const std::u16string& key) const;
  void AddParents(const std::u16string& path);
  Events& events_;
  std::map<std::u16string, Entry> entries_;
  std::set<std::u16string> in_use_;
  std::set<std::u16string> changeable_;
  std::set<std::u16string> protected_;
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
