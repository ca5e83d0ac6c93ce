#include "helper/tests/fake_helper_system.h"

#include "common/text.h"

namespace norvex::helper::testing {

std::string Narrow(const std::u16string& text) { return Utf16ToUtf8(text); }

std::optional<ServiceState> FakeServices::Query(const std::u16string&) {
  if (state && stop_sent_ && !process_stays) {
    state->stopped = true;
    state->process_id = 0;
  }
  return state;
}

bool FakeServices::Stop(const std::u16string& name) {
  events_.push_back("stop " + Narrow(name));
  if (refuse_stop || !state) return false;
  stop_sent_ = true;
  return true;
}

bool FakeServices::Remove(const std::u16string& name) {
  events_.push_back("remove service " + Narrow(name));
  if (refuse_remove || !state) return false;
  state.reset();
  return true;
}

bool FakeServices::WaitForProcessEnd(uint32_t process_id, uint32_t) {
  events_.push_back("wait " + std::to_string(process_id));
  return !(process_stays && state && state->process_id == process_id);
}

int FakePrograms::Run(const std::u16string& program, const std::u16string& arguments) {
  events_.push_back("run " + Narrow(program) + " " + Narrow(arguments));
  if (effect) effect(program, arguments);
  return 0;
}

int32_t FakeRegistrar::Unregister(const std::u16string& module) {
  events_.push_back("unregister " + Narrow(module));
  return result;
}

std::u16string FakeFiles::Key(const std::u16string& path) {
  std::u16string key = path;
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c == u'/') c = u'\\';
  }
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  return key;
}

const FakeFiles::Entry* FakeFiles::Find(const std::u16string& key) const {
  // Every drive is there.
  static const Entry drive{u"", Kind::kFolder, {}};
  if (key.size() == 2 && key[1] == u':') return missing_drives ? nullptr : &drive;
  const auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

std::u16string FakeFiles::Resolve(const std::u16string& path) const {
  std::u16string key = Key(path);
  // Each link on the way (never the last component) is replaced by its target; a bounded
  // number of rounds, so that a loop of links ends.
  for (int round = 0; round < 16; ++round) {
    bool replaced = false;
    for (size_t slash = key.find(u'\\'); slash != std::u16string::npos;
         slash = key.find(u'\\', slash + 1)) {
      const Entry* entry = Find(key.substr(0, slash));
      if (entry && entry->kind == Kind::kLink) {
        key = entry->target + key.substr(slash);
        replaced = true;
        break;
      }
    }
    if (!replaced) break;
  }
  return key;
}

void FakeFiles::AddParents(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  if (slash != std::u16string::npos && slash > 2) AddFolder(path.substr(0, slash));
}

void FakeFiles::AddFile(const std::u16string& path) {
  AddParents(path);
  entries_[Resolve(path)] = {path, Kind::kFile, {}};
}

void FakeFiles::AddFolder(const std::u16string& path) {
  AddParents(path);
  entries_[Resolve(path)] = {path, Kind::kFolder, {}};
}

void FakeFiles::AddLink(const std::u16string& path, const std::u16string& target) {
  AddParents(path);
  entries_[Resolve(path)] = {path, Kind::kLink, Key(target)};
}

std::vector<std::string> FakeFiles::Left(const std::u16string& folder) const {
  const std::u16string root = Key(folder);
  std::vector<std::string> left;
  for (const auto& [key, entry] : entries_) {
    if (root.empty() || key == root || key.rfind(root + u'\\', 0) == 0) {
      left.push_back(Narrow(entry.path));
    }
  }
  return left;
}

bool FakeFiles::Exists(const std::u16string& path) { return Find(Resolve(path)) != nullptr; }

std::vector<FolderEntry> FakeFiles::List(const std::u16string& folder) {
  std::u16string key = Resolve(folder);
  if (const Entry* entry = Find(key); entry && entry->kind == Kind::kLink) key = entry->target;
  std::vector<FolderEntry> list;
  const std::u16string prefix = key + u'\\';
  for (const auto& [child, entry] : entries_) {
    if (child.rfind(prefix, 0) != 0 || child.find(u'\\', prefix.size()) != std::u16string::npos) {
      continue;
    }
    bool folder_entry = entry.kind == Kind::kFolder;
    if (entry.kind == Kind::kLink) {
      const Entry* target = Find(entry.target);
      folder_entry = target && target->kind == Kind::kFolder;
    }
    const size_t slash = entry.path.rfind(u'\\');
    list.push_back({entry.path.substr(slash + 1), folder_entry});
  }
  return list;
}

bool FakeFiles::RemoveFile(const std::u16string& path) {
  const std::u16string key = Resolve(path);
  const auto it = entries_.find(key);
  if (it == entries_.end() || it->second.kind == Kind::kFolder || in_use_.count(key)) return false;
  events_.push_back("delete " + Narrow(path));
  entries_.erase(it);
  return true;
}

bool FakeFiles::RemoveFolder(const std::u16string& path) {
  const std::u16string key = Resolve(path);
  const auto it = entries_.find(key);
  if (it == entries_.end() || it->second.kind == Kind::kFile) return false;
  if (it->second.kind == Kind::kFolder && !List(path).empty()) return false;
  events_.push_back("rmdir " + Narrow(path));
  entries_.erase(it);
  return true;
}

bool FakeFiles::RemoveAtRestart(const std::u16string& path) {
  if (refuse_restart) return false;
  events_.push_back("at restart " + Narrow(path));
  scheduled_.push_back(path);
  return true;
}

bool FakeFiles::IsLink(const std::u16string& path) {
  const Entry* entry = Find(Resolve(path));
  return entry && entry->kind == Kind::kLink;
}

bool FakeFiles::MakeFolder(const std::u16string& path, bool protect) {
  const std::u16string key = Resolve(path);
  const size_t slash = key.rfind(u'\\');
  const Entry* parent = slash == std::u16string::npos ? nullptr : Find(key.substr(0, slash));
  const bool parent_is_folder = parent && parent->kind == Kind::kFolder;
  if ((protect && refuse_protected) || Find(key) || !parent_is_folder) return false;
  events_.push_back((protect ? "mkdir protected " : "mkdir ") + Narrow(path));
  entries_[key] = {path, Kind::kFolder, {}};
  if (protect) protected_.insert(key);
  if ((protect && protection_fails) || (!protect && changeable_.count(key.substr(0, slash)))) {
    changeable_.insert(key);
  }
  return true;
}

std::u16string FakeFiles::FindChangeableByUsers(const std::u16string& folder) {
  const std::u16string root = Resolve(folder);
  for (const auto& [key, entry] : entries_) {
    if (key != root && key.rfind(root + u'\\', 0) != 0) continue;
    if (entry.kind == Kind::kLink || changeable_.count(key)) return entry.path;
  }
  return {};
}

bool FakePrompt::Ask(const std::u16string& text) {
  events_.push_back("ask");
  told.push_back(text);
  return answer;
}

void FakePrompt::Tell(const std::u16string& text, Notice kind) {
  events_.push_back(kind == Notice::kInformation ? "tell info"
                    : kind == Notice::kWarning   ? "tell warning"
                                                 : "tell error");
  told.push_back(text);
}

}  // namespace norvex::helper::testing
