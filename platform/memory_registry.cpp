#include "platform/memory_registry.h"

namespace norvex::platform {

namespace {

std::u16string Fold(const std::u16string& name) {
  std::u16string folded = name;
  for (char16_t& c : folded) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return folded;
}

// The components of a key path; nothing when one of them is empty ("a\\b", "\\a").
std::optional<std::vector<std::u16string>> Split(const std::u16string& path) {
  std::vector<std::u16string> parts;
  if (path.empty()) return parts;
  size_t begin = 0;
  for (;;) {
    const size_t end = path.find(u'\\', begin);
    const std::u16string part = path.substr(begin, end == std::u16string::npos ? end : end - begin);
    if (part.empty()) return std::nullopt;
    parts.push_back(part);
    if (end == std::u16string::npos) break;
    begin = end + 1;
  }
  return parts;
}

}  // namespace

struct MemoryRegistry::Key {
  std::u16string name;
  bool denyWrites = false;
  std::map<std::u16string, std::unique_ptr<Key>> subkeys;  // by folded name
  std::map<std::u16string, std::pair<std::u16string, RegistryValue>> values;  // folded name
};

MemoryRegistry::MemoryRegistry() = default;
MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Key* MemoryRegistry::Find(RegistryRoot root, const std::u16string& path) {
  const auto parts = Split(path);
  if (!parts) return nullptr;
  auto& top = roots_[root];
  if (!top) top = std::make_unique<Key>();
  Key* key = top.get();
  for (const auto& part : *parts) {
    const auto it = key->subkeys.find(Fold(part));
    if (it == key->subkeys.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

uint32_t MemoryRegistry::CreateKey(RegistryRoot root, const std::u16string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto parts = Split(path);
  if (!parts) return kRegistryInvalidName;
  auto& top = roots_[root];
  if (!top) top = std::make_unique<Key>();
  Key* key = top.get();
  for (const auto& part : *parts) {
    auto& sub = key->subkeys[Fold(part)];
    if (!sub) {
      if (key->denyWrites) {
        key->subkeys.erase(Fold(part));
        return kRegistryAccessDenied;
      }
      sub = std::make_unique<Key>();
      sub->name = part;
    }
    key = sub.get();
  }
  return kRegistryOk;
}

bool MemoryRegistry::KeyExists(RegistryRoot root, const std::u16string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return Find(root, path) != nullptr;
}

uint32_t MemoryRegistry::SetValue(RegistryRoot root, const std::u16string& path,
                                  const std::u16string& name, const RegistryValue& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  Key* key = Find(root, path);
  if (!key) return kRegistryNotFound;
  if (key->denyWrites) return kRegistryAccessDenied;
  key->values[Fold(name)] = {name, value};
  return kRegistryOk;
}

std::optional<RegistryValue> MemoryRegistry::GetValue(RegistryRoot root,
                                                      const std::u16string& path,
                                                      const std::u16string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  Key* key = Find(root, path);
  if (!key) return std::nullopt;
  const auto it = key->values.find(Fold(name));
  if (it == key->values.end()) return std::nullopt;
  return it->second.second;
}

uint32_t MemoryRegistry::DeleteValue(RegistryRoot root, const std::u16string& path,
                                     const std::u16string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  Key* key = Find(root, path);
  if (!key) return kRegistryNotFound;
  if (key->denyWrites) return kRegistryAccessDenied;
  return key->values.erase(Fold(name)) ? kRegistryOk : kRegistryNotFound;
}

uint32_t MemoryRegistry::DeleteTree(RegistryRoot root, const std::u16string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto parts = Split(path);
  if (!parts) return kRegistryInvalidName;
  if (parts->empty()) return kRegistryAccessDenied;  // a root cannot go
  const std::u16string parent = path.substr(0, path.size() - parts->back().size());
  Key* up = Find(root, parent.empty() ? parent : parent.substr(0, parent.size() - 1));
  if (!up) return kRegistryNotFound;
  const auto it = up->subkeys.find(Fold(parts->back()));
  if (it == up->subkeys.end()) return kRegistryNotFound;
  if (up->denyWrites || it->second->denyWrites) return kRegistryAccessDenied;
  up->subkeys.erase(it);
  return kRegistryOk;
}

std::vector<std::u16string> MemoryRegistry::SubKeyNames(RegistryRoot root,
                                                        const std::u16string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::u16string> names;
  if (Key* key = Find(root, path)) {
    for (const auto& [folded, sub] : key->subkeys) names.push_back(sub->name);
  }
  return names;
}

std::vector<std::u16string> MemoryRegistry::ValueNames(RegistryRoot root,
                                                       const std::u16string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::u16string> names;
  if (Key* key = Find(root, path)) {
    for (const auto& [folded, value] : key->values) names.push_back(value.first);
  }
  return names;
}

void MemoryRegistry::DenyWrites(RegistryRoot root, const std::u16string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Key* key = Find(root, path)) key->denyWrites = true;
}

}  // namespace norvex::platform
