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
  }
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  return key;
}

void FakeFiles::AddFile(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  if (slash != std::u16string::npos && slash > 2) AddFolder(path.substr(0, slash));
  entries_[Key(path)] = {path, false};
}

void FakeFiles::AddFolder(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  if (slash != std::u16string::npos && slash > 2) AddFolder(path.substr(0, slash));
  entries_[Key(path)] = {path, true};
}

std::vector<std::string> FakeFiles::Left(const std::u16string& folder) const {
  const std::u16string root = Key(folder);
  std::vector<std::string> left;
  for (const auto& [key, entry] : entries_) {
    if (key == root || key.rfind(root + u'\\', 0) == 0) left.push_back(Narrow(entry.first));
  }
  return left;
}

bool FakeFiles::Exists(const std::u16string& path) { return entries_.count(Key(path)) != 0; }

std::vector<FolderEntry> FakeFiles::List(const std::u16string& folder) {
  std::vector<FolderEntry> list;
  const std::u16string prefix = Key(folder) + u'\\';
  for (const auto& [key, entry] : entries_) {
    if (key.rfind(prefix, 0) == 0 && key.find(u'\\', prefix.size()) == std::u16string::npos) {
      list.push_back({entry.first.substr(prefix.size()), entry.second});
    }
  }
  return list;
}

bool FakeFiles::RemoveFile(const std::u16string& path) {
  const auto it = entries_.find(Key(path));
  if (it == entries_.end() || it->second.second || in_use_.count(Key(path))) return false;
  events_.push_back("delete " + Narrow(path));
  entries_.erase(it);
  return true;
}

bool FakeFiles::RemoveFolder(const std::u16string& path) {
  const auto it = entries_.find(Key(path));
  if (it == entries_.end() || !it->second.second || !List(path).empty()) return false;
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
