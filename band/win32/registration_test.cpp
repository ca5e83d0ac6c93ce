// NorvexToolbar.dll registered and unregistered by the system's regsvr32, against the system
// registry, with the install and uninstall reports going to a server of the test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "band/band_ids.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "storage/data_folders.h"
#include "tests/http_test_server.h"
#include "tests/test_support.h"

#include <objbase.h>
#include <ocidl.h>

namespace norvex::band {
namespace {

namespace fs = std::filesystem;
using platform::RegistryRoot;
using platform::RegistryValue;
using platform::win32::W;

constexpr RegistryRoot kHkcr = RegistryRoot::kClassesRoot;
constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;
constexpr char16_t kToolbarKey[] = u"Software\\Microsoft\\Internet Explorer\\Toolbar";

// Runs C:\windows\system32\regsvr32.exe with the arguments; its exit code, or -1.
long RunRegsvr32(const std::u16string& arguments) {
  std::u16string command = u"\"C:\\windows\\system32\\regsvr32.exe\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"C:\\windows\\system32\\regsvr32.exe", const_cast<wchar_t*>(W(command)),
                        nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  platform::win32::ScopedKernelHandle processHandle(process.hProcess);
  platform::win32::ScopedKernelHandle threadHandle(process.hThread);
  if (::WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  return static_cast<long>(code);
}

GUID Guid(const char16_t* text) {
  GUID guid{};
  ::CLSIDFromString(const_cast<wchar_t*>(W(text)), &guid);
  return guid;
}

class Regsvr32 : public ::testing::Test {
 protected:
  Regsvr32() {
    fs::create_directories(temp_.path() / "install");
    module_ = temp_.File("install/NorvexToolbar.dll");
    fs::copy_file(fs::path(NORVEX_TOOLBAR_DLL), test::FsPath(module_));
    server_.Set("/install", {200, ""});
    server_.Set("/uninstall", {200, ""});
    test::WriteBytes(temp_.File("install/LogUrls.ini"),
                     "[Agent_Urls]\r\ninstall=" + server_.Url("/install?oem=nvx0001") +
                         "\r\nuninstall=" + server_.Url("/uninstall?oem=nvx0001") + "\r\n");
    // The per-user folder of this prefix's user, as the module finds it.
    userFolder_ = storage::GetAppDataFolder().value_or(u"") + u"Norvex";
    fs::remove_all(test::FsPath(userFolder_));
  }
  ~Regsvr32() override {
    RunRegsvr32(u"/s /u \"" + module_ + u"\"");
    fs::remove_all(test::FsPath(userFolder_));
  }

  std::optional<RegistryValue> Value(RegistryRoot root, const std::u16string& path,
                                     const std::u16string& name = u"") {
    return registry_.GetValue(root, path, name);
  }
  bool Has(RegistryRoot root, const std::u16string& path) { return registry_.KeyExists(root, path); }
  std::vector<std::string> RequestLines() {
    std::vector<std::string> lines;
    for (const auto& head : server_.Requests()) lines.push_back(head.substr(0, head.find("\r\n")));
    return lines;
  }

  test::TempFolder temp_;
  std::u16string module_;
  std::u16string userFolder_;
  test::TestHttpServer server_;
  platform::Registry& registry_ = platform::NativeRegistry();
};

TEST_F(Regsvr32, RegistersTheBandAndUnregistersAllButTheKeptKeys) {
  const std::u16string clsid = kToolBandClassIdText, appId = kAppIdText;
  const std::u16string libId = kTypeLibraryIdText, iid = kToolBandInterfaceIdText;
  const std::u16string classKey = u"CLSID\\" + clsid;

  ASSERT_EQ(RunRegsvr32(u"/s \"" + module_ + u"\""), 0);

  const struct {
    RegistryRoot root;
    std::u16string key, name, text;
  } values[] = {
      {kHkcr, u"AppID\\" + appId, u"", u"NorvexToolbar"},
      {kHkcr, u"AppID\\NorvexToolbar.DLL", u"AppID", appId},
      {kHkcr, u"NorvexToolbar.ToolBand.1", u"", u"ToolBand Class"},
      {kHkcr, u"NorvexToolbar.ToolBand.1\\CLSID", u"", clsid},
      {kHkcr, u"NorvexToolbar.ToolBand", u"", u"ToolBand Class"},
      {kHkcr, u"NorvexToolbar.ToolBand\\CLSID", u"", clsid},
      {kHkcr, u"NorvexToolbar.ToolBand\\CurVer", u"", u"NorvexToolbar.ToolBand.1"},
      {kHkcr, classKey, u"", u"ノルヴェクスツールバー"},
      {kHkcr, classKey, u"AppID", appId},
      {kHkcr, classKey + u"\\ProgID", u"", u"NorvexToolbar.ToolBand.1"},
      {kHkcr, classKey + u"\\VersionIndependentProgID", u"", u"NorvexToolbar.ToolBand"},
      {kHkcr, classKey + u"\\InprocServer32", u"", module_},
      {kHkcr, classKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment"},
      {kHkcr, classKey + u"\\TypeLib", u"", libId},
      {kHklm, kToolbarKey, clsid, u"Norvex Toolbar"},
  };
  for (const auto& v : values) {
    EXPECT_EQ(Value(v.root, v.key, v.name), RegistryValue::String(v.text))
        << Utf16ToUtf8(v.key) << " " << Utf16ToUtf8(v.name);
  }
  EXPECT_TRUE(Has(kHkcr, classKey + u"\\Programmable"));
  // The type library, registered for the module file, with its interface.
  EXPECT_EQ(Value(kHkcr, u"TypeLib\\" + libId + u"\\1.0", u""),
            RegistryValue::String(u"NorvexToolbar 1.0 Type Library"));
  EXPECT_EQ(Value(kHkcr, u"TypeLib\\" + libId + u"\\1.0\\0\\win64", u""),
            RegistryValue::String(module_));
  EXPECT_EQ(Value(kHkcr, u"Interface\\" + iid, u""), RegistryValue::String(u"IToolBand"));
  {
    platform::win32::ComPtr<ITypeLib> library;
    EXPECT_EQ(::LoadRegTypeLib(Guid(kTypeLibraryIdText), 1, 0, 0, library.Receive()), S_OK);
  }
  // COM finds the class through these entries.
  ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  {
    platform::win32::ComPtr<IObjectWithSite> band;
    EXPECT_EQ(::CoCreateInstance(Guid(kToolBandClassIdText), nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IObjectWithSite, band.ReceiveVoid()),
              S_OK);
  }
  ::CoUninitialize();
  EXPECT_EQ(RequestLines(), std::vector<std::string>{"GET /install?oem=nvx0001 HTTP/1.0"});
  EXPECT_TRUE(fs::is_directory(test::FsPath(userFolder_))) << "registration makes the folder";

  // The usage log makes the folder's plain removal fail; the shell's delete takes it all.
  test::WriteBytes(userFolder_ + u"\\AgentLog.ini", "[daily_log]\r\nlogtime=2011-1-9 7:5:3\r\n");
  test::WriteBytes(userFolder_ + u"\\UserConfig.ini", "[user_settings]\r\nnews=0\r\n");
  ASSERT_EQ(RunRegsvr32(u"/s /u \"" + module_ + u"\""), 0);

  for (const auto& v : values) {
    EXPECT_FALSE(Value(v.root, v.key, v.name)) << Utf16ToUtf8(v.key) << " " << Utf16ToUtf8(v.name);
  }
  const std::u16string gone[] = {u"AppID\\" + appId,         u"AppID\\NorvexToolbar.DLL",
                                 u"NorvexToolbar.ToolBand.1", u"NorvexToolbar.ToolBand",
                                 classKey,                    u"TypeLib\\" + libId,
                                 u"Interface\\" + iid};
  for (const auto& key : gone) EXPECT_FALSE(Has(kHkcr, key)) << Utf16ToUtf8(key);
  for (const char16_t* kept : {u"AppID", u"CLSID"}) EXPECT_TRUE(Has(kHkcr, kept));
  EXPECT_TRUE(Has(kHklm, kToolbarKey));
  EXPECT_EQ(RequestLines(), (std::vector<std::string>{"GET /install?oem=nvx0001 HTTP/1.0",
                                                      "GET /uninstall?oem=nvx0001 HTTP/1.0"}));
  EXPECT_FALSE(fs::exists(test::FsPath(userFolder_)));
}

// The type library that is not registered cannot be unregistered: DllUnregisterServer fails
// with the system's result (regsvr32 exits with a code other than 0), after the report.
TEST_F(Regsvr32, AFailedUnregistrationStillReports) {
  fs::create_directories(test::FsPath(userFolder_));
  EXPECT_NE(RunRegsvr32(u"/s /u \"" + module_ + u"\""), 0);
  EXPECT_EQ(RequestLines(), std::vector<std::string>{"GET /uninstall?oem=nvx0001 HTTP/1.0"});
  EXPECT_TRUE(fs::is_directory(test::FsPath(userFolder_))) << "kept after a failure";
}

}  // namespace
}  // namespace norvex::band
