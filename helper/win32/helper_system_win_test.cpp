// The uninstall program's Windows seams against the system (Wine's under the tests), and the
// program itself on an installation of its own that has no service and no module.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/win32/windows_api.h"
#include "common/text.h"
#include "helper/helper_app.h"
#include "helper/helper_messages.h"
#include "helper/win32/helper_system_win.h"
#include "helper/win32/tests/pending_operations_win.h"
#include "platform/win32/scoped_handle.h"
#include "service/tests/file_access.h"
#include "service/tests/run_program.h"
#include "tests/test_support.h"

#include <aclapi.h>
#include <sddl.h>

namespace norvex::helper::win32 {
namespace {

namespace fs = std::filesystem;
using platform::win32::ScopedKernelHandle;

std::u16string U16Path(const fs::path& path) { return path.u16string(); }

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

class HelperFiles : public ::testing::Test {
 protected:
  ~HelperFiles() override { testing::ForgetPendingOperations(temp_.path()); }
  test::TempFolder temp_;
  Win32InstalledFiles files_;
};

TEST_F(HelperFiles, ListsRemovesAndSchedulesWhatIsInUse) {
  const fs::path root = temp_.path() / "Norvex";
  Touch(root / "a.txt");
  Touch(root / "Agents" / "b.xml");
  const std::u16string readOnly = U16Path(root / "ro.ini");
  Touch(root / "ro.ini");
  ::SetFileAttributesW(reinterpret_cast<const wchar_t*>(readOnly.c_str()), FILE_ATTRIBUTE_READONLY);

  std::vector<std::pair<std::u16string, bool>> listed;
  for (const FolderEntry& e : files_.List(U16Path(root))) listed.emplace_back(e.name, e.folder);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::pair<std::u16string, bool>>{
                        {u"Agents", true}, {u"a.txt", false}, {u"ro.ini", false}}));
  EXPECT_TRUE(files_.List(U16Path(root / "missing")).empty());

  EXPECT_TRUE(files_.RemoveFile(readOnly));
  EXPECT_FALSE(files_.Exists(readOnly));
  EXPECT_FALSE(files_.RemoveFolder(U16Path(root / "Agents")));  // not empty

  // A file that someone holds open without leave to delete it stays until the restart.
  const std::u16string held = U16Path(root / "a.txt");
  {
    const ScopedKernelHandle handle(::CreateFileW(reinterpret_cast<const wchar_t*>(held.c_str()),
                                                  GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(handle.valid());
    EXPECT_FALSE(files_.RemoveFile(held));
    EXPECT_TRUE(files_.Exists(held));
    EXPECT_TRUE(files_.RemoveAtRestart(held));
  }
  EXPECT_TRUE(files_.RemoveFile(U16Path(root / "Agents" / "b.xml")));
  EXPECT_TRUE(files_.RemoveFolder(U16Path(root / "Agents")));
  EXPECT_FALSE(files_.Exists(U16Path(root / "Agents")));
  EXPECT_TRUE(files_.RemoveAtRestart(U16Path(root)));
  EXPECT_EQ(testing::PendingRemovals(temp_.path()), (std::vector<std::string>{"norvex", "norvex\\a.txt"}));
}

// Under Wine, links are the host system's (Wine makes none). Wine reports a host link to a
// folder as a reparse point, but cannot remove it while the folder it leads to holds files (it
// says the folder is not empty); Windows removes a junction or symbolic link itself.
bool UnderWine() { return !service::testing::HostPath("C:\\").empty(); }

// A link in the place of a folder is taken for what it is: listed as a file, removed itself
// where the system can, and what it leads to stays.
TEST_F(HelperFiles, LinksAreRemovedAndNotFollowed) {
  const fs::path root = temp_.path() / "Norvex";
  const fs::path elsewhere = temp_.path() / "Elsewhere";
  Touch(elsewhere / "keep.txt");
  fs::create_directories(root);
  ASSERT_TRUE(service::testing::MakeSymbolicLink(elsewhere.string(), (root / "Temp").string()));
  EXPECT_TRUE(files_.IsLink(U16Path(root / "Temp")));
  EXPECT_FALSE(files_.IsLink(U16Path(root)));
  EXPECT_FALSE(files_.IsLink(U16Path(elsewhere / "keep.txt")));
  EXPECT_FALSE(files_.IsLink(U16Path(root / "missing")));
  const std::vector<FolderEntry> listed = files_.List(U16Path(root));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_FALSE(listed[0].folder);
  EXPECT_EQ(files_.RemoveFile(U16Path(root / "Temp")), !UnderWine());
  EXPECT_EQ(files_.Exists(U16Path(root / "Temp")), UnderWine());
  EXPECT_TRUE(fs::exists(elsewhere / "keep.txt"));
  if (UnderWine()) service::testing::RemoveSymbolicLink((root / "Temp").string());
}

// The uninstall program on an installation whose Temp and Agents are links: the links go (under
// Wine, at the restart), the folders they lead to keep what they hold.
TEST_F(HelperFiles, TheProgramDoesNotDeleteThroughLinks) {
  const fs::path root = temp_.path() / "Norvex";
  const fs::path elsewhere = temp_.path() / "Elsewhere";
  Touch(elsewhere / "Temp" / "keep.txt");
  Touch(elsewhere / "Agents" / "sub" / "keep.xml");
  fs::create_directories(root);
  fs::copy_file(NORVEX_HELPER_PROGRAM, root / "NorvexHelper.exe");
  for (const char* name : {"Temp", "Agents"}) {
    ASSERT_TRUE(
        service::testing::MakeSymbolicLink((elsewhere / name).string(), (root / name).string()));
  }
  EXPECT_EQ(service::testing::RunProgram((root / "NorvexHelper.exe").string(),
                                         {"/uninstalltoolbar", "/S"})
                .exit_code,
            kExitDone);
  EXPECT_TRUE(fs::exists(elsewhere / "Temp" / "keep.txt"));
  EXPECT_TRUE(fs::exists(elsewhere / "Agents" / "sub" / "keep.xml"));
  if (UnderWine()) {
    EXPECT_EQ(testing::PendingRemovals(temp_.path()),
              (std::vector<std::string>{"norvex", "norvex\\agents", "norvex\\norvexhelper.exe",
                                        "norvex\\temp"}));
    for (const char* name : {"Temp", "Agents"}) {
      service::testing::RemoveSymbolicLink((root / name).string());
    }
  } else {
    EXPECT_FALSE(files_.Exists(U16Path(root / "Temp")));
    EXPECT_FALSE(files_.Exists(U16Path(root / "Agents")));
  }
}

// The folder's access list in the system's text form (SDDL), with its protection flag.
std::wstring FolderAccess(const fs::path& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"(unreadable)";
  }
  const platform::win32::ScopedLocalMemory<PSECURITY_DESCRIPTOR> held(descriptor);
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return L"(unconvertible)";
  }
  const platform::win32::ScopedLocalMemory<wchar_t*> held_text(text);
  return text;
}

TEST_F(HelperFiles, MakesProtectedFoldersAndFindsWhatUsersCanChange) {
  const fs::path loose = temp_.path() / "Shared";
  fs::create_directories(loose);
  ASSERT_TRUE(service::testing::OpenToEveryone(loose.string()));
  EXPECT_EQ(files_.FindChangeableByUsers(U16Path(loose)), U16Path(loose));

  // Made protected, a folder takes nothing of its parent's openness.
  EXPECT_TRUE(files_.MakeFolder(U16Path(loose / "Plain"), false));
  EXPECT_TRUE(fs::is_directory(loose / "Plain"));
  const fs::path installation = temp_.path() / "Norvex";
  EXPECT_TRUE(files_.MakeFolder(U16Path(installation), true));
  EXPECT_FALSE(files_.MakeFolder(U16Path(installation), true));  // it exists
  EXPECT_FALSE(files_.MakeFolder(U16Path(loose / "missing" / "Norvex"), true));
  // Protected in a loose folder, a folder can still be renamed away and replaced: the loose
  // folder above it is what users can change.
  EXPECT_TRUE(files_.MakeFolder(U16Path(loose / "Norvex"), true));
  EXPECT_EQ(files_.FindChangeableByUsers(U16Path(loose / "Norvex")), U16Path(loose));
  if (UnderWine()) {
    // Wine keeps no access lists: it turns one into the Unix mode bits, where only the system,
    // the owner and everyone have a place, and reads those back. Made plainly, a folder gives
    // everyone reading; made protected, nothing.
    EXPECT_NE(FolderAccess(loose / "Plain").find(L";WD)"), std::wstring::npos);
    EXPECT_EQ(FolderAccess(installation).find(L";WD)"), std::wstring::npos);
  } else {
    const std::wstring access = FolderAccess(installation);
    EXPECT_EQ(access.substr(0, 3), L"D:P") << access;
    EXPECT_EQ(access.substr(access.find(L'(')),
              L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;AC)");
  }
  EXPECT_EQ(files_.FindChangeableByUsers(U16Path(installation)), u"");
  // What is put there inherits the protection.
  Touch(installation / "Agents" / "news.xml");
  EXPECT_EQ(files_.FindChangeableByUsers(U16Path(installation)), u"");
  // Opened to everyone, a file in it is found.
  ASSERT_TRUE(service::testing::OpenToEveryone((installation / "Agents" / "news.xml").string()));
  EXPECT_EQ(files_.FindChangeableByUsers(U16Path(installation)),
            U16Path(installation / "Agents" / "news.xml"));

  // A name that the ANSI code page cannot hold is not checked under a look-alike name: the
  // protected "Norvex" must not vouch for "Nörvex".
  const std::u16string lookalike = U16Path(loose) + u"\\N\u00f6rvex";
  EXPECT_EQ(files_.FindChangeableByUsers(lookalike), lookalike);
}

TEST(HelperPrograms, ExitCodesAndMissingPrograms) {
  Win32ProgramRunner runner;
  EXPECT_EQ(runner.Run(Utf8ToUtf16(NORVEX_HELPER_PROGRAM), u"/bogus /S"), kExitUsage);
  EXPECT_EQ(runner.Run(u"C:\\no\\such\\program.exe", u""), -1);
}

TEST(HelperServices, AnUnknownServiceAndEndedProcesses) {
  Win32ServiceControl services;
  EXPECT_FALSE(services.Query(u"NorvexNoSuchService").has_value());
  EXPECT_FALSE(services.Stop(u"NorvexNoSuchService"));
  EXPECT_FALSE(services.Remove(u"NorvexNoSuchService"));
  EXPECT_TRUE(services.WaitForProcessEnd(0, 0));
  // This process does not end while it waits for itself.
  EXPECT_FALSE(services.WaitForProcessEnd(::GetCurrentProcessId(), 0));
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + fs::path(NORVEX_HELPER_PROGRAM).wstring() + L"\" /S";
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
  ::WaitForSingleObject(process.hProcess, INFINITE);
  const ScopedKernelHandle owned(process.hProcess), thread(process.hThread);
  EXPECT_TRUE(services.WaitForProcessEnd(process.dwProcessId, 0));
}

TEST(HelperModules, UnregistrationNeedsALoadableModuleWithTheExport) {
  Win32ModuleRegistrar modules;
  EXPECT_EQ(modules.Unregister(u"C:\\no\\such\\module.dll"),
            static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)));
  // The archive library is a module without registration.
  EXPECT_EQ(modules.Unregister(Utf8ToUtf16(NORVEX_ARCHIVE_LIBRARY)),
            static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)));
}

// The program on an installation of its own: everything goes but the running program itself and
// the folder that holds it, which go at the restart; files of the user stay.
TEST_F(HelperFiles, TheProgramRemovesItsOwnInstallation) {
  const fs::path root = temp_.path() / "Norvex Toolbar";
  fs::create_directories(root);
  fs::copy_file(NORVEX_HELPER_PROGRAM, root / "NorvexHelper.exe");
  for (const char* name : {"AgentMaster.xml", "strings.ini", "version.ini", "norvexOEM.ini",
                           "LogUrls.ini", "product.ini", "Agents/news.xml", "Agents/sub/a.xml",
                           "Temp/LiveUpdate.ini", "Temp/Agents/news.xml"}) {
    Touch(root / name);
  }
  const auto run = service::testing::RunProgram((root / "NorvexHelper.exe").string(),
                                                {"/uninstalltoolbar", "/S"});
  EXPECT_EQ(run.exit_code, kExitDone);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    left.push_back(entry.path().lexically_relative(root).string());
  }
  EXPECT_EQ(left, (std::vector<std::string>{"NorvexHelper.exe"}));
  EXPECT_EQ(testing::PendingRemovals(temp_.path()),
            (std::vector<std::string>{"norvex toolbar", "norvex toolbar\\norvexhelper.exe"}));

  // A file the user put there keeps the folder.
  testing::ForgetPendingOperations(temp_.path());
  Touch(root / "notes.txt");
  EXPECT_EQ(service::testing::RunProgram((root / "NorvexHelper.exe").string(),
                                         {"/uninstalltoolbar", "/S"}).exit_code,
            kExitDone);
  EXPECT_TRUE(fs::exists(root / "notes.txt"));
  EXPECT_EQ(testing::PendingRemovals(temp_.path()),
            (std::vector<std::string>{"norvex toolbar\\norvexhelper.exe"}));
}

// A message box of another process, found by its caption: its text, and a press of one of its
// buttons.
class ForeignMessageBox {
 public:
  // Waits up to 30 s for the box to appear.
  bool Find() {
    for (int i = 0; i < 300 && !box_; ++i) {
      box_ = ::FindWindowW(L"#32770", reinterpret_cast<const wchar_t*>(kCaption));
      if (!box_) ::Sleep(100);
    }
    return box_ != nullptr;
  }
  std::u16string Text() const {
    std::u16string text;
    ::EnumChildWindows(
        box_,
        [](HWND child, LPARAM found) -> BOOL {
          wchar_t className[32] = {};
          ::GetClassNameW(child, className, 32);
          if (std::wstring(className) != L"Static") return TRUE;
          wchar_t buffer[1024] = {};
          const int n = ::GetWindowTextW(child, buffer, 1024);
          if (n > 0) *reinterpret_cast<std::u16string*>(found) = platform::win32::FromW(buffer, n);
          return n > 0 ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
  }
  // Presses the button and waits (up to 30 s) for the box to go.
  void Press(int button) {
    ::PostMessageW(box_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box_, button)));
    for (int i = 0; i < 300 && ::IsWindow(box_); ++i) ::Sleep(100);
    box_ = nullptr;
  }

 private:
  HWND box_ = nullptr;
};

// The program run without /S, in the background, so that the test can answer its boxes.
class Conversation {
 public:
  explicit Conversation(const fs::path& program, const std::wstring& arguments) {
    STARTUPINFOW startup{sizeof startup};
    std::wstring command = L"\"" + program.wstring() + L"\" " + arguments;
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &info_)) {
      process_.Reset(info_.hProcess);
      thread_.Reset(info_.hThread);
    }
  }
  // A test that fails half-way does not leave the program waiting for an answer: it would keep
  // the test runner's output open until the runner's time limit.
  ~Conversation() {
    if (process_.valid() && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.get(), 1);
    }
  }
  bool started() const { return process_.valid(); }
  int ExitCode() {
    if (::WaitForSingleObject(process_.get(), 60000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION info_{};
  ScopedKernelHandle process_, thread_;
};

// The program run as a person runs it: its questions and reports are answered through its boxes.
class HelperConversation : public HelperFiles {};

TEST_F(HelperConversation, TheProgramAsksAndReportsInJapanese) {
  const fs::path root = temp_.path() / "Norvex";
  fs::create_directories(root);
  fs::copy_file(NORVEX_HELPER_PROGRAM, root / "NorvexHelper.exe");
  Touch(root / "AgentMaster.xml");
  const fs::path program = root / "NorvexHelper.exe";

  {  // No: nothing changes.
    Conversation helper(program, L"/uninstalltoolbar");
    ASSERT_TRUE(helper.started());
    ForeignMessageBox box;
    ASSERT_TRUE(box.Find());
    EXPECT_EQ(box.Text(), kConfirmText);
    box.Press(IDNO);
    EXPECT_EQ(helper.ExitCode(), kExitDeclined);
    EXPECT_TRUE(fs::exists(root / "AgentMaster.xml"));
  }
  {  // A bad command line shows the usage.
    Conversation helper(program, L"/uninstall");
    ForeignMessageBox box;
    ASSERT_TRUE(box.Find());
    EXPECT_EQ(box.Text(), kUsageText);
    box.Press(IDOK);
    EXPECT_EQ(helper.ExitCode(), kExitUsage);
  }
  {  // Yes: the installation goes, and the report says that the rest goes at the restart.
    Conversation helper(program, L"/UninstallToolbar");
    ForeignMessageBox box;
    ASSERT_TRUE(box.Find());
    box.Press(IDYES);
    ASSERT_TRUE(box.Find());
    EXPECT_EQ(box.Text(), UninstallReport(Outcome{{u"in use"}, {}}));
    box.Press(IDOK);
    EXPECT_EQ(helper.ExitCode(), kExitDone);
    EXPECT_FALSE(fs::exists(root / "AgentMaster.xml"));
  }
}

}  // namespace
}  // namespace norvex::helper::win32
