// Registry scripts: whatever their text, reading one either fails with a reason or gives trees
// that register and unregister without a failure in a registry that refuses nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "platform/memory_registry.h"
#include "storage/registry_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvex::storage;
  const std::u16string script =
      norvex::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size));
  const std::vector<Replacement> map = {{u"APPID", u"{1000F6C8-A185-4702-9D7A-8CA98C5C1285}"},
                                        {u"MODULE", u"C:\\it''s\\x.dll"},
                                        {u"Module_Raw", u"C:\\it's\\x.dll"}};
  std::string error;
  const auto trees = ParseRegistryScript(script, map, &error);
  if (!trees) {
    if (error.empty()) std::abort();
    return 0;
  }
  norvex::platform::MemoryRegistry registry;
  if (RegisterScript(script, map, registry) != kHrOk) std::abort();
  if (RegisterScript(script, map, registry) != kHrOk) std::abort();
  if (UnregisterScript(script, map, registry) != kHrOk) std::abort();
  if (UnregisterScript(script, map, registry) != kHrOk) std::abort();
  return 0;
}
