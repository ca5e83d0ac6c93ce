// Registration of the toolbar module with its own registry scripts, over an in-memory registry,
// with the reports recorded.
#include "storage/registration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/text.h"
#include "platform/memory_registry.h"
#include "tests/test_installation.h"

namespace norvex::storage {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

std::u16string ReadScript(const std::string& name) {
  const std::string bytes = test::ReadBytes(U16(std::string(NORVEX_REGISTRY_SCRIPTS) + "/" + name));
  return Utf8ToUtf16(bytes);
}

class FakeTypeLibrary final : public TypeLibraryRegistrar {
 public:
  HResult result = kHrOk;
  std::vector<std::string> calls;
  HResult Register(const std::u16string& path) override {
    calls.push_back("register " + Utf16ToUtf8(path));
    return result;
  }
  HResult Unregister(const std::u16string& path) override {
    calls.push_back("unregister " + Utf16ToUtf8(path));
    return result;
  }
};

// Every key ("HKCR\a\b") and value ("HKCR\a\b|name=text") of the registry.
void Dump(platform::Registry& registry, RegistryRoot root, const std::string& rootName,
          const std::u16string& path, std::set<std::string>& out) {
  const std::string where = rootName + (path.empty() ? "" : "\\" + Utf16ToUtf8(path));
  if (!path.empty()) out.insert(where);
  for (const auto& name : registry.ValueNames(root, path)) {
    const auto value = registry.GetValue(root, path, name);
    std::string text = value->type == platform::RegistryType::kString ? Utf16ToUtf8(value->text)
                       : value->type == platform::RegistryType::kBinary
                           ? "binary:" + std::to_string(value->bytes.size())
                           : "dword:" + std::to_string(value->number);
    out.insert(where + "|" + Utf16ToUtf8(name) + "=" + text);
  }
  for (const auto& sub : registry.SubKeyNames(root, path)) {
    Dump(registry, root, rootName, path.empty() ? sub : path + u"\\" + sub, out);
  }
}

// The identifiers that the registry scripts write (the module's own, band/band_ids.h; its
// registration test under Wine holds the scripts to them).
const std::string kClsid = "{6D3F5B2A-8C41-4E7B-9A12-3F0C7E5D2B91}";
const std::string kAppId = "{1000F6C8-A185-4702-9D7A-8CA98C5C1285}";
const std::string kLibId = "{BE7F2ED4-91C8-4476-AA39-6167CAC6E688}";

class Registration : public ::testing::Test, protected test::TestInstallation {
 protected:
  Registration() {
    server.modulePath = *system_.module;
    server.appIdScript = ReadScript("NorvexToolbar.rgs");
    server.classScript = ReadScript("ToolBand.rgs");
    server.appId = U16(kAppId);
    server.classId = U16(kClsid);
    server.typeLibrary = &typeLibrary_;
    // Each report with what the registry held when it went: the class's key or not.
    server.sendReport = [this](const std::u16string& key) {
      const bool registered =
          registry_.KeyExists(RegistryRoot::kClassesRoot, U16("CLSID\\" + kClsid));
      reports_.push_back(Utf16ToUtf8(key) + (registered ? " (registered)" : " (not registered)"));
    };
  }

  std::set<std::string> Everything() {
    std::set<std::string> all;
    Dump(registry_, RegistryRoot::kClassesRoot, "HKCR", u"", all);
    Dump(registry_, RegistryRoot::kLocalMachine, "HKLM", u"", all);
    return all;
  }
  bool UserFolderExists() const {
    return std::filesystem::is_directory(test::FsPath(UserFile("")));
  }
  void WriteUserFile(const std::string& name) const {
    std::filesystem::create_directories(test::FsPath(UserFile("")));
    test::WriteBytes(UserFile(name), "[x]\r\ny=1\r\n");
  }

  ServerRegistration server;
  FakeTypeLibrary typeLibrary_;
  platform::MemoryRegistry registry_;
  std::vector<std::string> reports_;

 private:
  platform::ScopedSeams registrySeam_{{.registry = &registry_}};
};

TEST_F(Registration, RegistrationWritesTheTableAndUnregistrationKeepsOnlyTheKeptKeys) {
  const std::string module = Utf16ToUtf8(server.modulePath);
  ASSERT_EQ(RegisterServer(server), kHrOk);
  const std::set<std::string> registered = {
      "HKCR\\AppID",
      "HKCR\\AppID\\" + kAppId,
      "HKCR\\AppID\\" + kAppId + "|=NorvexToolbar",
      "HKCR\\AppID\\NorvexToolbar.DLL",
      "HKCR\\AppID\\NorvexToolbar.DLL|AppID=" + kAppId,
      "HKCR\\NorvexToolbar.ToolBand.1",
      "HKCR\\NorvexToolbar.ToolBand.1|=ToolBand Class",
      "HKCR\\NorvexToolbar.ToolBand.1\\CLSID",
      "HKCR\\NorvexToolbar.ToolBand.1\\CLSID|=" + kClsid,
      "HKCR\\NorvexToolbar.ToolBand",
      "HKCR\\NorvexToolbar.ToolBand|=ToolBand Class",
      "HKCR\\NorvexToolbar.ToolBand\\CLSID",
      "HKCR\\NorvexToolbar.ToolBand\\CLSID|=" + kClsid,
      "HKCR\\NorvexToolbar.ToolBand\\CurVer",
      "HKCR\\NorvexToolbar.ToolBand\\CurVer|=NorvexToolbar.ToolBand.1",
      "HKCR\\CLSID",
      "HKCR\\CLSID\\" + kClsid,
      "HKCR\\CLSID\\" + kClsid + "|=ノルヴェクスツールバー",
      "HKCR\\CLSID\\" + kClsid + "|AppID=" + kAppId,
      "HKCR\\CLSID\\" + kClsid + "\\ProgID",
      "HKCR\\CLSID\\" + kClsid + "\\ProgID|=NorvexToolbar.ToolBand.1",
      "HKCR\\CLSID\\" + kClsid + "\\VersionIndependentProgID",
      "HKCR\\CLSID\\" + kClsid + "\\VersionIndependentProgID|=NorvexToolbar.ToolBand",
      "HKCR\\CLSID\\" + kClsid + "\\Programmable",
      "HKCR\\CLSID\\" + kClsid + "\\InprocServer32",
      "HKCR\\CLSID\\" + kClsid + "\\InprocServer32|=" + module,
      "HKCR\\CLSID\\" + kClsid + "\\InprocServer32|ThreadingModel=Apartment",
      "HKCR\\CLSID\\" + kClsid + "\\TypeLib",
      "HKCR\\CLSID\\" + kClsid + "\\TypeLib|=" + kLibId,
      "HKLM\\Software",
      "HKLM\\Software\\Microsoft",
      "HKLM\\Software\\Microsoft\\Internet Explorer",
      "HKLM\\Software\\Microsoft\\Internet Explorer\\Toolbar",
      "HKLM\\Software\\Microsoft\\Internet Explorer\\Toolbar|" + kClsid + "=Norvex Toolbar",
  };
  EXPECT_EQ(Everything(), registered);
  EXPECT_EQ(typeLibrary_.calls, std::vector<std::string>{"register " + module});

  ASSERT_EQ(UnregisterServer(server), kHrOk);
  const std::set<std::string> kept = {
      "HKCR\\AppID",
      "HKCR\\CLSID",
      "HKLM\\Software",
      "HKLM\\Software\\Microsoft",
      "HKLM\\Software\\Microsoft\\Internet Explorer",
      "HKLM\\Software\\Microsoft\\Internet Explorer\\Toolbar",
  };
  EXPECT_EQ(Everything(), kept);
  EXPECT_EQ(typeLibrary_.calls.back(), "unregister " + module);
  // The install report once all is registered, the uninstall report before anything goes.
  EXPECT_EQ(reports_, (std::vector<std::string>{"install (registered)", "uninstall (registered)"}));
}

TEST_F(Registration, AModulePathWithAQuoteIsWrittenAsItIs) {
  server.modulePath = u"C:\\Program Files\\Ann's Tools\\NorvexToolbar.dll";
  ASSERT_EQ(RegisterServer(server), kHrOk);
  EXPECT_EQ(registry_.GetValue(RegistryRoot::kClassesRoot,
                               U16("CLSID\\" + kClsid + "\\InprocServer32"), u""),
            RegistryValue::String(server.modulePath));
}

TEST_F(Registration, TheClassReplacesItsOldKeyButOthersClassesStay) {
  registry_.CreateKey(RegistryRoot::kClassesRoot, U16("CLSID\\" + kClsid + "\\Stale"));
  registry_.CreateKey(RegistryRoot::kClassesRoot, u"CLSID\\{00000000-0000-0000-0000-000000000001}");
  ASSERT_EQ(RegisterServer(server), kHrOk);
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::kClassesRoot, U16("CLSID\\" + kClsid + "\\Stale")));
  ASSERT_EQ(UnregisterServer(server), kHrOk);
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::kClassesRoot,
                                  u"CLSID\\{00000000-0000-0000-0000-000000000001}"));
}

TEST_F(Registration, AFailureStopsRegistrationAndTheInstallReport) {
  typeLibrary_.result = static_cast<HResult>(0x8002801Cu);  // TYPE_E_REGISTRYACCESS
  EXPECT_EQ(RegisterServer(server), typeLibrary_.result);
  EXPECT_TRUE(reports_.empty());
  EXPECT_TRUE(UserFolderExists()) << "the per-user folder is made whatever the result";
}

TEST_F(Registration, TheToolbarValueIsWrittenFirstAsEmptyBinaryData) {
  // The class script cannot write: the value of the first step is what remains.
  registry_.CreateKey(RegistryRoot::kClassesRoot, u"CLSID");
  registry_.DenyWrites(RegistryRoot::kClassesRoot, u"CLSID");
  EXPECT_EQ(RegisterServer(server), static_cast<HResult>(0x80070005u));
  EXPECT_EQ(registry_.GetValue(RegistryRoot::kLocalMachine, kBrowserToolbarKey, U16(kClsid)),
            RegistryValue::Binary({}));
  EXPECT_TRUE(typeLibrary_.calls.empty());
  EXPECT_TRUE(reports_.empty());
}

TEST_F(Registration, UnregistrationReportsEvenWhenItFails) {
  ASSERT_EQ(RegisterServer(server), kHrOk);
  WriteUserFile("UserConfig.ini");
  typeLibrary_.result = static_cast<HResult>(0x80029C4Au);  // TYPE_E_CANTLOADLIBRARY
  EXPECT_EQ(UnregisterServer(server), typeLibrary_.result);
  EXPECT_EQ(reports_.back(), "uninstall (registered)");
  EXPECT_TRUE(std::filesystem::exists(test::FsPath(UserFile("UserConfig.ini"))))
      << "the per-user files stay when unregistration failed";
  // The application identifier's entries were not reached.
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::kClassesRoot, U16("AppID\\" + kAppId)));
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::kClassesRoot, U16("CLSID\\" + kClsid)));
}

TEST_F(Registration, UnregistrationDeletesThePerUserFolder) {
  const struct {
    const char* what;
    std::vector<std::string> files;
  } cases[] = {
      {"settings and history", {"UserConfig.ini", "NorvexHistory.ini"}},
      {"the usage log as well", {"UserConfig.ini", "NorvexHistory.ini", "AgentLog.ini"}},
      {"only the usage log", {"AgentLog.ini"}},
      {"an empty folder", {}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RegisterServer(server), kHrOk) << c.what;
    ASSERT_TRUE(UserFolderExists()) << c.what;
    for (const auto& file : c.files) WriteUserFile(file);
    EXPECT_EQ(UnregisterServer(server), kHrOk) << c.what;
    EXPECT_FALSE(UserFolderExists()) << c.what;
  }
}

TEST_F(Registration, WithoutASenderNothingIsReported) {
  server.sendReport = nullptr;
  EXPECT_EQ(RegisterServer(server), kHrOk);
  EXPECT_EQ(UnregisterServer(server), kHrOk);
  EXPECT_TRUE(reports_.empty());
}

}  // namespace
}  // namespace norvex::storage
