// The product's life under Wine, as an administrator and a user meet it: the silent install into
// Program Files, the band created through COM from the installed module, the service's update
// pass against a server of the test's own, an upgrade over the installed copy, and the silent
// uninstall, after which nothing is left but the update log and what the system removes at the
// next restart. The installer and every program it installs are signed (with a certificate made
// for the run), and the installation folder gets an access list of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/win32/windows_api.h"
#include "band/band_ids.h"
#include "common/text.h"
#include "helper/win32/tests/pending_operations_win.h"
#include "installer/tests/win32/host_process_win.h"
#include "platform/win32/scoped_handle.h"
#include "service/tests/file_access.h"
#include "service/tests/run_program.h"
#include "storage/browser_host_registration.h"
#include "storage/data_folders.h"
#include "storage/extension_ids.h"
#include "tests/http_test_server.h"
#include "tests/test_support.h"
#include "unzip32/zip_writer.h"

#include <aclapi.h>
#include <sddl.h>
#include <softpub.h>
#include <wintrust.h>

namespace norvex::installer {
namespace {

namespace fs = std::filesystem;
using helper::testing::PendingOperations;
using helper::testing::PendingRemovals;
using platform::win32::ScopedServiceHandle;
using service::testing::RunProgram;

std::string ReadFile(const fs::path& path) { return test::ReadBytes(path.u16string()); }

std::string Narrow(const std::wstring& text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

fs::path EnvironmentFolder(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  return value ? fs::path(value) : fs::path();
}

// A string value of the registry; "(missing)" when there is none.
std::string RegistryText(HKEY root, const std::wstring& key, const std::wstring& name) {
  wchar_t value[1024];
  DWORD size = sizeof value;
  if (::RegGetValueW(root, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS) {
    return "(missing)";
  }
  return Narrow(value);
}

bool RegistryKeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  const bool exists = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
  if (opened) ::RegCloseKey(opened);
  return exists;
}

std::string Lower(std::string text);

// The bridge's registration for the Chromium browsers: its manifest in the installation folder
// (UTF-8 without a byte-order mark, naming the installed bridge and only the extension), the host
// keys of Chrome, Chromium and Edge naming the manifest, and the keys that offer the extension's
// store item; or, when not `registered`, none of it.
void ExpectBrowserRegistration(const fs::path& folder, bool registered) {
  const fs::path manifest = folder / "com.norvex.bridge.json";
  EXPECT_EQ(fs::exists(manifest), registered);
  if (registered) {
    const std::string text = ReadFile(manifest);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], '{');
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    ASSERT_TRUE(json.is_object()) << text;
    EXPECT_EQ(json["name"], "com.norvex.bridge");
    EXPECT_EQ(Lower(json["path"].get<std::string>()),
              Lower((folder / "NorvexBridge.exe").string()));
    EXPECT_EQ(json["allowed_origins"],
              nlohmann::json::array({bridge::ExtensionOrigin(bridge::kExtensionIds[0].id)}));
  }
  for (const std::u16string& key : bridge::NativeHostKeys()) {
    EXPECT_EQ(Lower(RegistryText(HKEY_LOCAL_MACHINE, std::wstring(key.begin(), key.end()), L"")),
              registered ? Lower(manifest.string()) : "(missing)")
        << Utf16ToUtf8(key);
  }
  for (const auto& key : bridge::ExternalExtensionKeys(platform::RegistryRoot::kLocalMachine)) {
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, std::wstring(key.path.begin(), key.path.end()),
                           L"update_url"),
              registered ? Utf16ToUtf8(key.updateUrl) : "(missing)")
        << Utf16ToUtf8(key.path);
  }
}

struct ServiceFacts {
  bool registered = false;
  DWORD state = 0;
  DWORD process_id = 0;
  std::string command;
};

ServiceFacts QueryService() {
  ServiceFacts facts;
  ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return facts;
  ScopedServiceHandle service(::OpenServiceW(manager.get(), L"LiveUpdateService",
                                             SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
  if (!service) return facts;
  facts.registered = true;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
    facts.state = status.dwCurrentState;
    facts.process_id = status.dwProcessId;
  }
  ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> config(needed);
  if (needed &&
      ::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                            needed, &needed)) {
    facts.command =
        Narrow(reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->lpBinaryPathName);
  }
  return facts;
}

bool ProcessEnded(DWORD process_id) {
  const platform::win32::ScopedKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  return !process || ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

// Every file and folder below `root`, relative to it, sorted.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> entries;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    entries.push_back(it->path().lexically_relative(root).string());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Waits up to `seconds` for a condition that the service or another process brings about.
template <typename Condition>
bool WaitFor(Condition condition, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

// The system's Authenticode check of a file: its verdict, and the certificate (DER) that signed
// it, empty when there is none.
struct Signature {
  LONG verdict = TRUST_E_NOSIGNATURE;
  std::string signer;
};

Signature CheckSignature(const fs::path& file) {
  Signature signature;
  const std::wstring path = file.wstring();
  WINTRUST_FILE_INFO info{};
  info.cbStruct = sizeof info;
  info.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const HWND no_window = static_cast<HWND>(INVALID_HANDLE_VALUE);
  signature.verdict = ::WinVerifyTrust(no_window, &action, &data);
  if (CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData)) {
    if (CRYPT_PROVIDER_SGNR* signer = ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0)) {
      if (CRYPT_PROVIDER_CERT* certificate = ::WTHelperGetProvCertFromChain(signer, 0)) {
        signature.signer.assign(reinterpret_cast<const char*>(certificate->pCert->pbCertEncoded),
                                certificate->pCert->cbCertEncoded);
      }
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(no_window, &action, &data);
  return signature;
}

// Whole and signed by the run's certificate. Windows would not trust that certificate (it comes
// from no trusted root); Wine does not ask.
::testing::AssertionResult SignedForTheRun(const fs::path& file) {
  const Signature signature = CheckSignature(file);
  if (signature.verdict != ERROR_SUCCESS && signature.verdict != CERT_E_UNTRUSTEDROOT) {
    return ::testing::AssertionFailure() << file << ": WinVerifyTrust " << std::hex
                                         << static_cast<unsigned long>(signature.verdict);
  }
  if (signature.signer != ReadFile(NORVEX_SIGNING_CERTIFICATE)) {
    return ::testing::AssertionFailure() << file << " is signed by another certificate";
  }
  return ::testing::AssertionSuccess();
}

// The access list of a file or folder in the system's text form (SDDL).
std::string AccessList(const fs::path& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "(unreadable)";
  }
  const platform::win32::ScopedLocalMemory<PSECURITY_DESCRIPTOR> held(descriptor);
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return "(unconvertible)";
  }
  const platform::win32::ScopedLocalMemory<wchar_t*> held_text(text);
  return Narrow(text);
}

const std::wstring kClsidKey = L"CLSID\\" + std::wstring(std::begin(band::kToolBandClassIdText),
                                                         std::end(band::kToolBandClassIdText) - 1);
const std::wstring kToolbarKey = L"Software\\Microsoft\\Internet Explorer\\Toolbar";
const std::wstring kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvex";

class InstallRoundTrip : public ::testing::Test {
 protected:
  InstallRoundTrip() : server_(NORVEX_TEST_UPDATE_PORT) {
    // The desktop, made by this process: under Wine the first program to need it starts the
    // desktop's process, which keeps that program's standard error. Started by the installer,
    // it would keep the pipe from which RunProgram reads to the end.
    ::GetDesktopWindow();
    folder_ = EnvironmentFolder(L"ProgramFiles") / "Norvex";
    shared_ = EnvironmentFolder(L"ProgramFiles") / "Norvex Shared";
    // The user's data folder where the toolbar module makes it in a process like this one.
    data_ = fs::path(storage::GetAppDataFolder().value_or(u"")) / "Norvex";
    CleanUp(folder_);
    CleanUp(shared_);
    // A fresh user: no history or settings that other programs of the prefix left, which the
    // running toolbar would write back after the uninstall removed the folder.
    std::error_code ignored;
    fs::remove_all(data_, ignored);
  }
  ~InstallRoundTrip() override {
    CleanUp(folder_);
    CleanUp(shared_);
  }

  // Whatever an earlier run left: the installation, its service and the prefix's pending list.
  static void CleanUp(const fs::path& folder) {
    if (fs::exists(folder / "NorvexHelper.exe")) {
      RunProgram((folder / "NorvexHelper.exe").string(), {"/uninstalltoolbar", "/S"});
    }
    helper::testing::ForgetPendingOperations(folder);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  void Serve(const std::string& offered) {
    const std::string base = "http://127.0.0.1:" + std::to_string(server_.port());
    for (const char* report : {"/log/install", "/log/uninstall", "/log/daily"}) {
      server_.Set(report, {200, "ok"});
    }
    server_.Set("/toolbar/bin/liveupdate.ini",
                {200, "[COMMON]\r\nVERSION=" + offered + "\r\n[Agents]\r\nNAME=Agents\r\nVERSION=" +
                          offered + "\r\nFolder=PRODUCT_HOME\\Agents\r\nURL=" + base +
                          "/toolbar/bin/agents-" + offered + ".zip\r\n"});
    server_.Set(
        "/toolbar/bin/agents-" + offered + ".zip",
        {200, unzip::MakeZip({{"news.xml", "<agent><name>News " + offered + "</name></agent>"}})});
  }

  int Requests(const std::string& path) {
    int count = 0;
    for (const std::string& r : server_.Requests()) count += r.rfind("GET " + path + " ", 0) == 0;
    return count;
  }

  // NorvexHost.exe as the browser: the band through the registered class, from the installation.
  std::wstring HostCommand() const {
    return L"\"" + fs::path(NORVEX_HOST).wstring() + L"\" --com --install \"" + folder_.wstring() +
           L"\"";
  }

  int Install(const std::vector<std::string>& arguments) {
    return RunProgram(NORVEX_SETUP, arguments).exit_code;
  }

  test::TestHttpServer server_;
  fs::path folder_;
  fs::path shared_;  // a folder that every user may change
  fs::path data_;
};

TEST_F(InstallRoundTrip, InstallUseUpdateUpgradeUninstall) {
  ASSERT_TRUE(server_.listening()) << "port " << NORVEX_TEST_UPDATE_PORT << " is taken";
  Serve("1.0.4");

  // --- The silent install, into the default folder.
  ASSERT_EQ(Install({"/S"}), 0);
  for (const char* name :
       {"NorvexToolbar.dll", "Quorvel.exe", "UNZIP32.dll", "ShuntFile.exe", "NorvexHelper.exe",
        "strings.ini", "version.ini", "norvexOEM.ini", "LogUrls.ini"}) {
    EXPECT_TRUE(fs::is_regular_file(folder_ / name)) << name;
  }
  // The sample catalogue, file for file.
  const fs::path sample = NORVEX_SAMPLE;
  EXPECT_EQ(ReadFile(folder_ / "AgentMaster.xml"), ReadFile(sample / "AgentMaster.xml"));
  for (const auto& entry : fs::directory_iterator(sample / "Agents")) {
    EXPECT_EQ(ReadFile(folder_ / "Agents" / entry.path().filename()), ReadFile(entry.path()))
        << entry.path();
  }
  EXPECT_EQ(ReadFile(folder_ / "Quorvel.exe"), ReadFile(NORVEX_SERVICE_PROGRAM));
  // A signed set: the installer and each program and module.
  EXPECT_TRUE(SignedForTheRun(NORVEX_SETUP));
  for (const char* name :
       {"NorvexToolbar.dll", "Quorvel.exe", "UNZIP32.dll", "ShuntFile.exe", "NorvexHelper.exe"}) {
    EXPECT_TRUE(SignedForTheRun(folder_ / name)) << name;
  }
  {  // The check sees a changed byte.
    test::TempFolder scratch;
    const fs::path changed = scratch.path() / "Quorvel.exe";
    std::string bytes = ReadFile(folder_ / "Quorvel.exe");
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    test::WriteBytes(changed.u16string(), bytes);
    EXPECT_EQ(CheckSignature(changed).verdict, TRUST_E_BAD_DIGEST);
  }
  // The folder was made with an access list of its own: administrators and the system may
  // change it, users and the browser's sandboxed processes read and run; nothing is inherited.
  // Wine keeps no access lists but Unix mode bits, where only everyone stands for the users:
  // there, nothing for everyone (a folder made plainly gives everyone reading).
  const std::string access = AccessList(folder_);
  if (!service::testing::HostPath("C:\\").empty()) {
    EXPECT_EQ(access.find(";WD)"), std::string::npos) << access;
  } else {
    EXPECT_EQ(access.substr(0, 3), "D:P") << access;
    EXPECT_EQ(access.substr(access.find('(')),
              "(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;AC)");
  }

  // The band's registration names the installed module.
  const std::string module = (folder_ / "NorvexToolbar.dll").string();
  EXPECT_EQ(Lower(RegistryText(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32", L"")),
            Lower(module));
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32", L"ThreadingModel"),
            "Apartment");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kToolbarKey,
                         std::wstring(std::begin(band::kToolBandClassIdText),
                                      std::end(band::kToolBandClassIdText) - 1)),
            "Norvex Toolbar");
  // The entry among the installed programs names the uninstall program.
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString"),
            "\"" + (folder_ / "NorvexHelper.exe").string() + "\" /uninstalltoolbar");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString"),
            "\"" + (folder_ / "NorvexHelper.exe").string() + "\" /uninstalltoolbar /S");
  EXPECT_EQ(Lower(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation")),
            Lower(folder_.string()));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), "1.0.3");
  // The registration made the user's data folder.
  EXPECT_TRUE(fs::is_directory(data_));
  ExpectBrowserRegistration(folder_, true);
  // The bridge serves the user's data folder that the module's registration made, where the
  // toolbar in the browser keeps its history and settings.
  const auto where = RunProgram((folder_ / "NorvexBridge.exe").string(), {"--where"});
  EXPECT_EQ(where.exit_code, 0);
  EXPECT_NE(Lower(where.output).find("user " + Lower(data_.string())), std::string::npos)
      << where.output;

  // The service runs the installed program.
  const ServiceFacts service = QueryService();
  ASSERT_TRUE(service.registered);
  EXPECT_EQ(service.state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Lower(service.command), Lower("\"" + (folder_ / "Quorvel.exe").string() + "\""));
  // Both registrations reported the install: the module's and the service's.
  EXPECT_EQ(Requests("/log/install"), 2);

  // --- The update pass at the service's start, against the local update site.
  ASSERT_TRUE(WaitFor(
      [&] {
        return ReadFile(folder_ / "product.ini").find("PRODUCT_VERSION=1.0.4") != std::string::npos;
      },
      60))
      << ReadFile("C:\\Temp\\LiveUpdateLog.txt");
  EXPECT_NE(ReadFile(folder_ / "version.ini").find("VERSION=1.0.4"), std::string::npos);
  EXPECT_EQ(ReadFile(folder_ / "Temp" / "Agents" / "news.xml"),
            "<agent><name>News 1.0.4</name></agent>");
  EXPECT_EQ(ReadFile(folder_ / "Agents" / "news.xml"), ReadFile(sample / "Agents" / "news.xml"));
  bool moveScheduled = false;
  for (const auto& operation : PendingOperations(folder_)) {
    moveScheduled |=
        Lower(operation.source.string()) == Lower((folder_ / "Temp\\Agents\\news.xml").string()) &&
        Lower(operation.destination.string()) == Lower((folder_ / "Agents\\news.xml").string());
  }
  EXPECT_TRUE(moveScheduled);

  // --- Use: the browser's way to the band, CoCreateInstance of the registered class.
  {
    testing::HostProcess host(HostCommand());
    ASSERT_TRUE(host.started());
    host.Send("layout");
    host.Send("quit");
    EXPECT_EQ(host.Finish(), 0) << host.Output();
    EXPECT_NE(host.Output().find("item 5025 search"), std::string::npos) << host.Output();
  }

  // --- An upgrade over the installed copy (the folder given as an administrator would), while a
  // browser holds the module.
  test::WriteBytes((data_ / "UserConfig.ini").u16string(), "[user_settings]\r\nnews=0\r\n");
  Serve("1.0.3");  // nothing newer on offer from now on
  const DWORD oldProcess = QueryService().process_id;
  {
    testing::HostProcess browser(HostCommand());
    ASSERT_TRUE(browser.started());
    browser.Send("layout");
    ASSERT_TRUE(browser.WaitForOutput("item 5025 search", 30000)) << browser.Output();
    ASSERT_EQ(Install({"/S", "/D=" + folder_.string()}), 0);
    browser.Send("quit");
    EXPECT_EQ(browser.Finish(), 0) << browser.Output();
  }
  // The service was stopped before its files were replaced (the system refuses to overwrite the
  // program of a running process), and runs again.
  EXPECT_TRUE(ProcessEnded(oldProcess));
  const ServiceFacts upgraded = QueryService();
  EXPECT_EQ(upgraded.state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_NE(upgraded.process_id, oldProcess);
  // The new module waits beside the one in use and takes its place at the restart.
  EXPECT_TRUE(fs::exists(folder_ / "NorvexToolbar.dll.new"));
  bool moduleAtRestart = false;
  for (const auto& operation : PendingOperations(folder_)) {
    moduleAtRestart |=
        Lower(operation.source.string()) == Lower((folder_ / "NorvexToolbar.dll.new").string()) &&
        Lower(operation.destination.string()) == Lower(module);
  }
  EXPECT_TRUE(moduleAtRestart);
  // The user's data stays; the update waiting for the restart is gone with the working folder.
  EXPECT_EQ(ReadFile(data_ / "UserConfig.ini"), "[user_settings]\r\nnews=0\r\n");
  EXPECT_FALSE(fs::exists(folder_ / "Temp" / "Agents" / "news.xml"));
  EXPECT_NE(ReadFile(folder_ / "version.ini").find("VERSION=1.0.3"), std::string::npos);

  // A file that cannot be replaced ends the installation with its failure code; run again once
  // the file is free, it completes.
  {
    const platform::win32::ScopedKernelHandle held(
        ::CreateFileW((folder_ / "UNZIP32.dll").wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(Install({"/S"}), 2);
  }
  EXPECT_EQ(Install({"/S"}), 0);
  const ServiceFacts reinstalled = QueryService();
  EXPECT_EQ(reinstalled.state, static_cast<DWORD>(SERVICE_RUNNING));

  // --- The silent uninstall, while a browser still holds the module.
  const int uninstallReports = Requests("/log/uninstall");
  {
    testing::HostProcess host(HostCommand());
    ASSERT_TRUE(host.started());
    host.Send("layout");
    ASSERT_TRUE(host.WaitForOutput("item 5025 search", 30000)) << host.Output();
    const auto run =
        RunProgram((folder_ / "NorvexHelper.exe").string(), {"/uninstalltoolbar", "/S"});
    EXPECT_EQ(run.exit_code, 0);
    host.Send("quit");
    EXPECT_EQ(host.Finish(), 0) << host.Output();
  }
  EXPECT_FALSE(QueryService().registered);
  EXPECT_TRUE(ProcessEnded(reinstalled.process_id));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClsidKey));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kToolbarKey,
                         std::wstring(std::begin(band::kToolBandClassIdText),
                                      std::end(band::kToolBandClassIdText) - 1)),
            "(missing)");
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(fs::exists(data_));
  ExpectBrowserRegistration(folder_, false);
  // The module's and the service's uninstall reports.
  EXPECT_EQ(Requests("/log/uninstall") - uninstallReports, 2);

  // Nothing is left of the folder but what goes at the next restart: the running uninstall
  // program, the module the browser held, and the folder itself. The update log stays.
  std::vector<std::string> left;
  for (const std::string& entry : Tree(folder_)) left.push_back(Lower(entry));
  std::vector<std::string> expected = left;
  expected.push_back(".");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(PendingRemovals(folder_), expected);
  EXPECT_EQ(left, (std::vector<std::string>{"norvexhelper.exe", "norvextoolbar.dll"}));
  EXPECT_TRUE(fs::exists("C:\\Temp\\LiveUpdateLog.txt"));
}

// An existing folder that users who are not administrators can change is refused before
// anything is copied into it or run from it: the installer ends with exit code 2, and the folder,
// the registry and the service are as they were.
TEST_F(InstallRoundTrip, AFolderThatUsersCanChangeIsRefusedBeforeAnythingRuns) {
  ASSERT_TRUE(server_.listening()) << "port " << NORVEX_TEST_UPDATE_PORT << " is taken";
  Serve("1.0.3");
  fs::create_directories(shared_);
  ASSERT_TRUE(service::testing::OpenToEveryone(shared_.string()));
  test::WriteBytes((shared_ / "notes.txt").u16string(), "mine");
  EXPECT_EQ(Install({"/S", "/D=" + shared_.string()}), 2);
  EXPECT_EQ(Tree(shared_), (std::vector<std::string>{"notes.txt"}));
  EXPECT_FALSE(QueryService().registered);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClsidKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_EQ(Requests("/log/install"), 0);
}

}  // namespace
}  // namespace norvex::installer
