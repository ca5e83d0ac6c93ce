// The uninstall program's Windows seams against the system (Wine's under the tests), and the
// program itself on an installation of its own that has no service and no module.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "helper/helper_app.h"
#include "helper/win32/helper_system_win.h"
#include "helper/win32/tests/pending_operations_win.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "service/tests/run_program.h"
#include "tests/test_support.h"

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

}  // namespace
}  // namespace norvex::helper::win32
