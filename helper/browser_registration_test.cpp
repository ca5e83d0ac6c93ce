// The uninstall program takes the browsers' registration of the bridge away with the
// installation, and leaves another installation's alone.
#include <gtest/gtest.h>

#include "helper/browser_registration.h"
#include "helper/installation_layout.h"
#include "helper/tests/fake_helper_system.h"
#include "storage/browser_host_registration.h"

namespace norvex::helper {
namespace {

using platform::RegistryRoot;
using testing::FakeSystem;

constexpr char16_t kFolder[] = u"C:\\Program Files\\Norvex";

bool AnyKeyLeft(FakeSystem& s, RegistryRoot root) {
  bool left = false;
  for (const std::u16string& key : bridge::NativeHostKeys())
    left |= s.registry.KeyExists(root, key);
  for (const auto& key : bridge::ExternalExtensionKeys(root))
    left |= s.registry.KeyExists(root, key.path);
  return left;
}

TEST(BrowserRegistration, GoesWithTheInstallationThatMadeIt) {
  struct Case {
    const char* name;
    std::u16string machineManifest;  // what HKLM's host keys name (empty: not registered there)
    std::u16string userManifest;     // what HKCU's name
    bool machineLeft, userLeft;
  };
  const std::u16string ours = JoinInstallPath(kFolder, kBridgeManifest);
  const std::u16string theirs = u"D:\\Other\\com.norvex.bridge.json";
  const Case cases[] = {
      {"this installation, machine-wide", ours, u"", false, false},
      {"this installation, the path in another case",
       u"c:\\program files\\NORVEX\\com.norvex.bridge.json", u"", false, false},
      {"registered for the user too", ours, ours, false, false},
      {"another installation's", theirs, u"", true, false},
      {"another installation's for the user", ours, theirs, false, true},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    s.files.AddFile(JoinInstallPath(kFolder, kBridgeProgram));
    s.files.AddFile(ours);
    if (!c.machineManifest.empty()) {
      bridge::RegisterInRegistry(s.registry, RegistryRoot::kLocalMachine, c.machineManifest);
    }
    if (!c.userManifest.empty()) {
      bridge::RegisterInRegistry(s.registry, RegistryRoot::kCurrentUser, c.userManifest);
    }
    const Outcome outcome = Uninstall(s.system, kFolder);
    EXPECT_TRUE(outcome.ok()) << c.name;
    EXPECT_EQ(AnyKeyLeft(s, RegistryRoot::kLocalMachine), c.machineLeft) << c.name;
    EXPECT_EQ(AnyKeyLeft(s, RegistryRoot::kCurrentUser), c.userLeft) << c.name;
    EXPECT_FALSE(s.files.Exists(JoinInstallPath(kFolder, kBridgeProgram))) << c.name;
    EXPECT_FALSE(s.files.Exists(ours)) << c.name;
  }
}

}  // namespace
}  // namespace norvex::helper
