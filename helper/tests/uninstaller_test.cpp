// The uninstall program's jobs over its seams: the order of the steps, what goes now and what at
// the next restart, what is left alone, and the failures it reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "helper/helper_app.h"
#include "helper/helper_messages.h"
#include "helper/installation_layout.h"
#include "helper/tests/fake_helper_system.h"
#include "helper/uninstaller.h"

namespace norvex::helper {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;
using testing::FakeSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char16_t kFolder[] = u"C:\\Program Files\\Norvex";
constexpr char kFolder8[] = "C:\\Program Files\\Norvex";

// A complete installation: what the installer copies, what the service wrote, a pending update,
// the running service, the entry among the installed programs and the mover's run-once value.
void Install(FakeSystem& s) {
  for (const char16_t* name :
       {u"NorvexToolbar.dll", u"Quorvel.exe", u"UNZIP32.dll", u"ShuntFile.exe",
        u"NorvexHelper.exe", u"AgentMaster.xml", u"strings.ini", u"version.ini",
        u"norvexOEM.ini", u"LogUrls.ini", u"product.ini", u"Agents\\news.xml",
        u"Agents\\icons\\search.bmp", u"Temp\\LiveUpdate.ini", u"Temp\\Agents\\news.xml"}) {
    s.files.AddFile(JoinInstallPath(kFolder, name));
  }
  s.services.state = ServiceState{false, 1234, u"\"C:\\Program Files\\Norvex\\Quorvel.exe\""};
  // The service program's "/uninstall" removes the service.
  s.programs.effect = [&s](const std::u16string&, const std::u16string& arguments) {
    if (arguments == u"/uninstall") s.services.state.reset();
  };
  s.registry.CreateKey(RegistryRoot::kLocalMachine, kUninstallKey);
  s.registry.SetValue(RegistryRoot::kLocalMachine, kUninstallKey, kInstallLocationValue,
                      RegistryValue::String(kFolder));
  s.registry.SetValue(RegistryRoot::kLocalMachine, kUninstallKey, u"UninstallString",
                      RegistryValue::String(u"\"C:\\Program Files\\Norvex\\NorvexHelper.exe\" "
                                            u"/uninstalltoolbar"));
  s.registry.CreateKey(RegistryRoot::kLocalMachine, kRunOnceKey);
  s.registry.SetValue(RegistryRoot::kLocalMachine, kRunOnceKey, kRunOnceValue,
                      RegistryValue::String(u"c:\\program files\\norvex\\ShuntFile.exe"));
}

size_t IndexOf(const std::vector<std::string>& events, const std::string& event) {
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i] == event) return i;
  }
  ADD_FAILURE() << "no event \"" << event << "\"";
  return events.size();
}

std::string Path(const char* name) { return std::string(kFolder8) + "\\" + name; }

TEST(Uninstall, StopsTheServiceFirstThenUnregistersThenRemovesEverything) {
  FakeSystem s;
  Install(s);
  const Outcome outcome = Uninstall(s.system, kFolder);
  EXPECT_TRUE(outcome.ok());
  EXPECT_THAT(outcome.at_restart, IsEmpty());
  EXPECT_THAT(s.files.Left(kFolder), IsEmpty());

  const auto& e = s.events;
  ASSERT_GE(e.size(), 4u);
  EXPECT_EQ(e[0], "stop LiveUpdateService");
  EXPECT_EQ(e[1], "wait 1234");
  EXPECT_EQ(e[2], "run " + Path("Quorvel.exe") + " /uninstall");
  EXPECT_EQ(e[3], "unregister " + Path("NorvexToolbar.dll"));
  // The service program and its library go only once the process has ended.
  EXPECT_LT(IndexOf(e, "wait 1234"), IndexOf(e, "delete " + Path("Quorvel.exe")));
  EXPECT_LT(IndexOf(e, "wait 1234"), IndexOf(e, "delete " + Path("UNZIP32.dll")));
  // The module is unregistered from its own file, before the file goes.
  EXPECT_LT(IndexOf(e, "unregister " + Path("NorvexToolbar.dll")),
            IndexOf(e, "delete " + Path("NorvexToolbar.dll")));
  // Contents before their folders, the installation folder last.
  EXPECT_LT(IndexOf(e, "delete " + Path("Agents\\icons\\search.bmp")),
            IndexOf(e, "rmdir " + Path("Agents\\icons")));
  EXPECT_EQ(e.back(), "rmdir " + std::string(kFolder8));

  EXPECT_FALSE(s.registry.KeyExists(RegistryRoot::kLocalMachine, kUninstallKey));
  EXPECT_FALSE(s.registry.GetValue(RegistryRoot::kLocalMachine, kRunOnceKey, kRunOnceValue));
  EXPECT_TRUE(s.registry.KeyExists(RegistryRoot::kLocalMachine, kRunOnceKey));
}

TEST(Uninstall, FilesInUseGoAtTheRestartAndTheirFoldersAfterThem) {
  FakeSystem s;
  Install(s);
  // The browser still holds the module; the running uninstall program holds itself.
  s.files.InUse(JoinInstallPath(kFolder, u"NorvexToolbar.dll"));
  s.files.InUse(JoinInstallPath(kFolder, u"NorvexHelper.exe"));
  s.files.InUse(JoinInstallPath(kFolder, u"Agents\\news.xml"));
  const Outcome outcome = Uninstall(s.system, kFolder);
  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(outcome.at_restart, s.files.scheduled());
  std::vector<std::string> scheduled;
  for (const auto& p : outcome.at_restart) scheduled.push_back(testing::Narrow(p));
  EXPECT_THAT(scheduled, ElementsAre(Path("NorvexToolbar.dll"), Path("Agents\\news.xml"),
                                     Path("Agents"), Path("NorvexHelper.exe"), kFolder8));
  EXPECT_EQ(UninstallReport(outcome),
            u"ノルヴェクスツールバーを削除しました。使用中のファイルは、"
            u"次にコンピューターを再起動したときに削除されます。");
}

TEST(Uninstall, KeepsFilesOfTheUserAndTheFolderThatHoldsThem) {
  FakeSystem s;
  Install(s);
  s.files.AddFile(JoinInstallPath(kFolder, u"my notes.txt"));
  s.files.InUse(JoinInstallPath(kFolder, u"NorvexHelper.exe"));
  const Outcome outcome = Uninstall(s.system, kFolder);
  EXPECT_TRUE(outcome.ok());
  EXPECT_THAT(s.files.Left(kFolder),
              ElementsAre(kFolder8, Path("my notes.txt"), Path("NorvexHelper.exe")));
  std::vector<std::string> scheduled;
  for (const auto& p : outcome.at_restart) scheduled.push_back(testing::Narrow(p));
  EXPECT_THAT(scheduled, ElementsAre(Path("NorvexHelper.exe")));
}

TEST(Uninstall, LeavesTheServiceAndEntryOfAnotherInstallationAlone) {
  FakeSystem s;
  Install(s);
  s.services.state->command = u"\"D:\\Other\\Quorvel.exe\"";
  s.registry.SetValue(RegistryRoot::kLocalMachine, kUninstallKey, kInstallLocationValue,
                      RegistryValue::String(u"D:\\Other"));
  s.registry.SetValue(RegistryRoot::kLocalMachine, kRunOnceKey, kRunOnceValue,
                      RegistryValue::String(u"D:\\Other\\ShuntFile.exe"));
  const Outcome outcome = Uninstall(s.system, kFolder);
  EXPECT_TRUE(outcome.ok());
  EXPECT_TRUE(s.services.state.has_value());
  EXPECT_FALSE(s.services.state->stopped);
  EXPECT_EQ(s.events[0], "unregister " + Path("NorvexToolbar.dll"));
  EXPECT_TRUE(s.registry.KeyExists(RegistryRoot::kLocalMachine, kUninstallKey));
  EXPECT_TRUE(s.registry.GetValue(RegistryRoot::kLocalMachine, kRunOnceKey, kRunOnceValue));
  EXPECT_THAT(s.files.Left(kFolder), IsEmpty());
}

TEST(Uninstall, RemovesTheServiceThroughTheManagerWhenItsProgramDidNot) {
  struct Case {
    const char* what;
    bool program_present;
  };
  for (const Case& c : {Case{"program missing", false}, Case{"program left it", true}}) {
    FakeSystem s;
    Install(s);
    s.programs.effect = nullptr;  // the service program removes nothing
    if (!c.program_present) s.files.RemoveFile(JoinInstallPath(kFolder, u"Quorvel.exe"));
    s.events.clear();
    const Outcome outcome = Uninstall(s.system, kFolder);
    EXPECT_TRUE(outcome.ok()) << c.what;
    EXPECT_FALSE(s.services.state.has_value()) << c.what;
    EXPECT_EQ(s.events[c.program_present ? 3 : 2], "remove service LiveUpdateService") << c.what;
  }
}

TEST(Uninstall, AStoppedServiceIsNotSentAStop) {
  FakeSystem s;
  Install(s);
  s.services.state->stopped = true;
  s.services.state->process_id = 0;
  EXPECT_TRUE(Uninstall(s.system, kFolder).ok());
  EXPECT_EQ(s.events[0], "run " + Path("Quorvel.exe") + " /uninstall");
}

TEST(Uninstall, ReportsWhatItCouldNotDo) {
  struct Case {
    const char* what;
    std::function<void(FakeSystem&)> fault;
    std::vector<std::string> failed;
  };
  const std::vector<Case> cases = {
      {"stop refused", [](FakeSystem& s) { s.services.refuse_stop = true; },
       {"LiveUpdateService"}},
      {"process does not end", [](FakeSystem& s) { s.services.process_stays = true; },
       {"LiveUpdateService"}},
      {"service not removed",
       [](FakeSystem& s) {
         s.programs.effect = nullptr;
         s.services.refuse_remove = true;
       },
       {"LiveUpdateService"}},
      {"unregistration failed", [](FakeSystem& s) { s.modules.result = -2147024891; },
       {Path("NorvexToolbar.dll")}},
      {"no removal at restart",
       [](FakeSystem& s) {
         s.files.InUse(JoinInstallPath(kFolder, u"NorvexHelper.exe"));
         s.files.refuse_restart = true;
       },
       {Path("NorvexHelper.exe")}},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    Install(s);
    c.fault(s);
    const Outcome outcome = Uninstall(s.system, kFolder);
    std::vector<std::string> failed;
    for (const auto& f : outcome.failed) failed.push_back(testing::Narrow(f));
    EXPECT_EQ(failed, c.failed) << c.what;
    std::u16string expected = u"ノルヴェクスツールバーの削除中に問題が発生しました。"
                              u"次の項目を削除できませんでした:";
    for (const auto& f : outcome.failed) expected += u"\n" + f;
    EXPECT_EQ(UninstallReport(outcome), expected) << c.what;
  }
}

TEST(PrepareUpgrade, StopsTheServiceKeepsItsRegistrationAndDropsPendingUpdates) {
  FakeSystem s;
  Install(s);
  const Outcome outcome = PrepareUpgrade(s.system, kFolder);
  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(s.events[0], "stop LiveUpdateService");
  EXPECT_EQ(s.events[1], "wait 1234");
  ASSERT_TRUE(s.services.Query(kServiceName).has_value());
  EXPECT_TRUE(s.services.Query(kServiceName)->stopped);
  // Only the working folder goes; the installation, the module's registration (and with it the
  // user's data folder) stay.
  for (const std::string& event : s.events) {
    EXPECT_EQ(event.find("unregister"), std::string::npos) << event;
  }
  EXPECT_FALSE(s.files.Exists(JoinInstallPath(kFolder, u"Temp")));
  EXPECT_TRUE(s.files.Exists(JoinInstallPath(kFolder, u"Quorvel.exe")));
  EXPECT_TRUE(s.files.Exists(JoinInstallPath(kFolder, u"Agents\\news.xml")));
  EXPECT_TRUE(s.registry.KeyExists(RegistryRoot::kLocalMachine, kUninstallKey));
}

TEST(PrepareUpgrade, RemovesARegistrationOfAnotherProgram) {
  FakeSystem s;
  Install(s);
  s.services.state->command = u"\"D:\\Old\\Quorvel.exe\"";
  EXPECT_TRUE(PrepareUpgrade(s.system, kFolder).ok());
  EXPECT_FALSE(s.services.state.has_value());
  EXPECT_EQ(s.events[2], "remove service LiveUpdateService");
}

TEST(PrepareUpgrade, FailsWhenTheServiceDoesNotStop) {
  FakeSystem s;
  Install(s);
  s.services.process_stays = true;
  EXPECT_FALSE(PrepareUpgrade(s.system, kFolder).ok());
  EXPECT_EQ(RunHelper(s.system, {u"/prepareupgrade", kFolder}, u"X:\\Setup"), kExitIncomplete);
}

TEST(PrepareUpgrade, NothingInstalledIsNothingToDo) {
  FakeSystem s;
  EXPECT_TRUE(PrepareUpgrade(s.system, kFolder).ok());
  EXPECT_THAT(s.events, IsEmpty());
}

TEST(StartService, InstallsAndStartsThroughTheServiceProgramAndChecksTheManager) {
  struct Case {
    const char* what;
    std::optional<ServiceState> after_install;  // what "/install" registers
    bool starts;                                // whether "/start" leaves it running
    bool ok;
  };
  const ServiceState ours{true, 0, u"\"C:\\Program Files\\Norvex\\Quorvel.exe\""};
  const ServiceState other{true, 0, u"\"D:\\Other\\Quorvel.exe\""};
  const Case cases[] = {
      {"registered and running", ours, true, true},
      {"not registered", std::nullopt, true, false},
      {"registered, not started", ours, false, false},
      {"another program's service", other, true, false},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    s.files.AddFile(JoinInstallPath(kFolder, u"Quorvel.exe"));
    s.programs.effect = [&](const std::u16string&, const std::u16string& arguments) {
      if (arguments == u"/install") s.services.state = c.after_install;
      if (arguments == u"/start" && c.starts && s.services.state) {
        s.services.state->stopped = false;
        s.services.state->process_id = 77;
      }
    };
    const Outcome outcome = StartService(s.system, kFolder);
    EXPECT_EQ(outcome.ok(), c.ok) << c.what;
    EXPECT_THAT(s.events, ElementsAre("run " + Path("Quorvel.exe") + " /install",
                                      "run " + Path("Quorvel.exe") + " /start"))
        << c.what;
    EXPECT_EQ(RunHelper(s.system, {u"/startservice", kFolder, u"/S"}, u"X:\\Setup"),
              c.ok ? kExitDone : kExitIncomplete)
        << c.what;
  }
}

TEST(StartService, WithoutTheServiceProgramRunsNothing) {
  FakeSystem s;
  const Outcome outcome = StartService(s.system, kFolder);
  std::vector<std::string> failed;
  for (const auto& f : outcome.failed) failed.push_back(testing::Narrow(f));
  EXPECT_THAT(failed, ElementsAre(Path("Quorvel.exe")));
  EXPECT_THAT(s.events, IsEmpty());
}

}  // namespace
}  // namespace norvex::helper
