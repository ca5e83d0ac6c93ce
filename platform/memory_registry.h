// A registry held in memory: the POSIX build's registry, and a registry of their own for tests
// on both builds. Key names compare without regard to ASCII case, as the system's do.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "platform/registry.h"

namespace norvex::platform {

class MemoryRegistry final : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  uint32_t CreateKey(RegistryRoot root, const std::u16string& path) override;
  bool KeyExists(RegistryRoot root, const std::u16string& path) override;
  uint32_t SetValue(RegistryRoot root, const std::u16string& path, const std::u16string& name,
                    const RegistryValue& value) override;
  std::optional<RegistryValue> GetValue(RegistryRoot root, const std::u16string& path,
                                        const std::u16string& name) override;
  uint32_t DeleteValue(RegistryRoot root, const std::u16string& path,
                       const std::u16string& name) override;
  uint32_t DeleteTree(RegistryRoot root, const std::u16string& path) override;
  std::vector<std::u16string> SubKeyNames(RegistryRoot root, const std::u16string& path) override;
  std::vector<std::u16string> ValueNames(RegistryRoot root, const std::u16string& path) override;

  // Keys whose creation or change fails with access denied (a test's read-only key).
  void DenyWrites(RegistryRoot root, const std::u16string& path);

 private:
  struct Key;
  Key* Find(RegistryRoot root, const std::u16string& path);

  std::mutex mutex_;
  std::map<RegistryRoot, std::unique_ptr<Key>> roots_;
};

}  // namespace norvex::platform
