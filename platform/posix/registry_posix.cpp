// Linux has no registry: the process keeps one in memory, so that registration logic can run
// (and be tested) here as it does on Windows.
#include "platform/memory_registry.h"
#include "platform/platform.h"

namespace norvex::platform {

Registry& NativeRegistry() {
  static MemoryRegistry registry;
  return registry;
}

}  // namespace norvex::platform
