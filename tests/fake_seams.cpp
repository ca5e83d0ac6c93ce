#include "tests/fake_seams.h"

namespace norvex::test {

std::u16string FakeFileSystem::Normal(const std::u16string& path) const {
  std::u16string p = path;
  while (p.size() > 1 && p.back() == separator_ && !(p.size() == 3 && p[1] == u':')) p.pop_back();
  return p;
}

void FakeFileSystem::AddFolder(const std::u16string& path, uint32_t attributes) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries_[Normal(path)] = Entry{attributes, {}};
}

void FakeFileSystem::AddFile(const std::u16string& path, std::string bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries_[Normal(path)] = Entry{platform::kAttributeNormal, std::move(bytes)};
}

void FakeFileSystem::Remove(const std::u16string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries_.erase(Normal(path));
}

bool FakeFileSystem::Exists(const std::u16string& path) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return entries_.count(Normal(path)) != 0;
}

std::optional<uint32_t> FakeFileSystem::GetAttributes(const std::u16string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = entries_.find(Normal(path));
  if (it == entries_.end()) return std::nullopt;
  return it->second.attributes;
}

bool FakeFileSystem::MakeFolder(const std::u16string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::u16string p = Normal(path);
  if (failCreate_.count(p) || entries_.count(p)) return false;
  const size_t cut = p.rfind(separator_);
  if (cut != std::u16string::npos && cut > 0) {
    std::u16string parent = p.substr(0, cut);
    if (parent.size() == 2 && parent[1] == u':') parent += separator_;
    const auto it = entries_.find(parent);
    if (it == entries_.end() || !(it->second.attributes & platform::kAttributeDirectory)) {
      return false;
    }
  }
  entries_[p] = Entry{platform::kAttributeDirectory, {}};
  created_.push_back(p);
  return true;
}

platform::ReadResult FakeFileSystem::ReadFileShared(const std::u16string& path,
                                                    std::string& bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  ++openAttempts_;
  const auto it = entries_.find(Normal(path));
  if (it == entries_.end() || failOpen_.count(Normal(path)) ||
      (it->second.attributes & platform::kAttributeDirectory)) {
    return platform::ReadResult::kOpenFailed;
  }
  bytes = it->second.bytes;
  return platform::ReadResult::kOk;
}

}  // namespace norvex::test
