#include "helper/browser_registration.h"

#include "helper/installation_layout.h"
#include "storage/browser_host_registration.h"

namespace norvex::helper {

void RemoveBrowserRegistration(HelperSystem& system, const std::u16string& folder,
                               Outcome& outcome) {
  const std::u16string manifest = JoinInstallPath(folder, kBridgeManifest);
  for (const platform::RegistryRoot root :
       {platform::RegistryRoot::kLocalMachine, platform::RegistryRoot::kCurrentUser}) {
    const auto named = system.registry.GetValue(root, bridge::NativeHostKeys().front(), u"");
    if (named && !(named->type == platform::RegistryType::kString &&
                   SamePath(UnquotedProgram(named->text), manifest))) {
      continue;
    }
    if (!bridge::UnregisterFromRegistry(system.registry, root)) {
      outcome.failed.push_back(bridge::NativeHostKeys().front());
    }
  }
}

}  // namespace norvex::helper
