// The uninstall program's jobs over its seams: the order of the steps, what goes now and what at
// the next restart, what is left alone, and the failures it reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/text.h"
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

// A link (junction, symbolic link) in place of one of the product's folders, or anywhere in
// them, is taken away itself; the folder it leads to keeps everything.
TEST(RemoveTree, TakesLinksAwayAndNeverFollowsThem) {
  struct Case {
    const char* what;
    const char16_t* link;  // below the installation folder
    bool upgrade;          // PrepareUpgrade, else Uninstall
  };
  const Case cases[] = {
      {"Temp at the uninstall", u"Temp", false},
      {"Agents at the uninstall", u"Agents", false},
      {"a folder in Agents", u"Agents\\icons", false},
      {"Temp at the upgrade", u"Temp", true},
      {"a folder in Temp at the upgrade", u"Temp\\Agents", true},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    Install(s);
    const std::u16string link = JoinInstallPath(kFolder, c.link);
    for (const std::string& entry : s.files.Left(link)) {
      s.files.RemoveFile(Utf8ToUtf16(entry));
    }
    s.files.RemoveFolder(link);
    s.files.AddFile(u"D:\\Data\\keep.txt");
    s.files.AddFile(u"D:\\Data\\sub\\deep.txt");
    s.files.AddLink(link, u"D:\\Data");
    ASSERT_TRUE(s.files.Exists(JoinInstallPath(link, u"sub\\deep.txt"))) << c.what;

    const Outcome outcome =
        c.upgrade ? PrepareUpgrade(s.system, kFolder) : Uninstall(s.system, kFolder);
    EXPECT_TRUE(outcome.ok()) << c.what;
    EXPECT_THAT(s.files.Left(u"D:\\Data"), ElementsAre("D:\\Data", "D:\\Data\\keep.txt",
                                                       "D:\\Data\\sub", "D:\\Data\\sub\\deep.txt"))
        << c.what;
    EXPECT_FALSE(s.files.Exists(link)) << c.what;
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

// A service of that name registered with another program (another product's, or a copy of
// ours in another folder) is neither stopped nor removed; the working folder of a folder that
// holds no installation (neither the service nor the entry among the installed programs names
// it) is not emptied.
TEST(PrepareUpgrade, TouchesOnlyWhatIsThisInstallations) {
  struct Case {
    const char* what;
    std::u16string service_command;   // empty: not registered
    std::u16string install_location;  // empty: no entry
    bool stopped;
    bool working_folder_removed;
  };
  const Case cases[] = {
      {"our service and entry", u"\"C:\\Program Files\\Norvex\\Quorvel.exe\"", kFolder, true, true},
      {"our service, no entry", u"\"c:\\program files\\norvex\\QUORVEL.EXE\"", u"", true, true},
      {"no service, our entry", u"", kFolder, false, true},
      {"another product's service", u"\"C:\\Vendor\\LiveUpdate.exe\" -k", kFolder, false, true},
      {"another folder's program", u"\"D:\\Old\\Quorvel.exe\"", u"D:\\Old", false, false},
      {"neither", u"", u"", false, false},
      {"a program of that name elsewhere below",
       u"\"C:\\Program Files\\Norvex\\Temp\\Quorvel.exe\"", u"", false, false},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    Install(s);
    s.registry.DeleteTree(RegistryRoot::kLocalMachine, kUninstallKey);
    if (!c.install_location.empty()) {
      s.registry.CreateKey(RegistryRoot::kLocalMachine, kUninstallKey);
      s.registry.SetValue(RegistryRoot::kLocalMachine, kUninstallKey, kInstallLocationValue,
                          RegistryValue::String(c.install_location));
    }
    if (c.service_command.empty()) {
      s.services.state.reset();
    } else {
      s.services.state->command = c.service_command;
    }
    const Outcome outcome = PrepareUpgrade(s.system, kFolder);
    EXPECT_TRUE(outcome.ok()) << c.what;
    for (const std::string& event : s.events) {
      EXPECT_EQ(event.rfind("remove service", 0), std::string::npos) << c.what;
    }
    EXPECT_EQ(!s.events.empty() && s.events[0] == "stop LiveUpdateService", c.stopped) << c.what;
    if (!c.service_command.empty()) {
      ASSERT_TRUE(s.services.state.has_value()) << c.what;
      EXPECT_EQ(s.services.Query(kServiceName)->stopped, c.stopped) << c.what;
    }
    EXPECT_EQ(s.files.Exists(JoinInstallPath(kFolder, u"Temp\\Agents\\news.xml")),
              !c.working_folder_removed)
        << c.what;
    EXPECT_TRUE(s.files.Exists(JoinInstallPath(kFolder, u"Quorvel.exe"))) << c.what;
  }
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

std::vector<std::string> Narrowed(const std::vector<std::u16string>& paths) {
  std::vector<std::string> narrow;
  for (const auto& p : paths) narrow.push_back(testing::Narrow(p));
  return narrow;
}

TEST(SecureFolder, MakesAMissingFolderProtectedAndTakesOneThatOnlyAdministratorsCanChange) {
  struct Case {
    const char* what;
    std::function<void(FakeSystem&)> before;
    const char16_t* folder;
    std::vector<std::string> made;  // the events of MakeFolder, in order
  };
  const std::vector<Case> cases = {
      {"missing, in Program Files",
       [](FakeSystem& s) { s.files.AddFolder(u"C:\\Program Files"); },
       u"C:\\Program Files\\Norvex",
       {"mkdir protected C:\\Program Files\\Norvex"}},
      {"missing with its parents",
       [](FakeSystem& s) { s.files.AddFolder(u"C:\\Program Files"); },
       u"C:\\Program Files\\Vendor\\Tools\\Norvex\\",
       {"mkdir C:\\Program Files\\Vendor", "mkdir C:\\Program Files\\Vendor\\Tools",
        "mkdir protected C:\\Program Files\\Vendor\\Tools\\Norvex"}},
      // Made protected, it inherits nothing of a parent that every user may change.
      {"missing, in a folder users can change",
       [](FakeSystem& s) {
         s.files.AddFolder(u"D:\\Shared");
         s.files.MarkChangeable(u"D:\\Shared");
       },
       u"D:\\Shared\\Norvex",
       {"mkdir protected D:\\Shared\\Norvex"}},
      {"an installed copy", [](FakeSystem& s) { Install(s); }, kFolder, {}},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    c.before(s);
    const Outcome outcome = SecureFolder(s.system, c.folder);
    EXPECT_TRUE(outcome.ok()) << c.what;
    EXPECT_EQ(s.events, c.made) << c.what;
    EXPECT_TRUE(s.files.Exists(c.folder)) << c.what;
    EXPECT_EQ(s.files.IsProtected(c.folder), !c.made.empty()) << c.what;
    EXPECT_EQ(RunHelper(s.system, {u"/securefolder", c.folder, u"/S"}, u"X:\\Setup"), kExitDone)
        << c.what;
  }
}

TEST(SecureFolder, RefusesAFolderThatUsersCanChangeAndMakesNothingThatStays) {
  struct Case {
    const char* what;
    std::function<void(FakeSystem&)> before;
    std::u16string folder;
    std::vector<std::string> failed;
  };
  const std::vector<Case> cases = {
      {"the folder itself",
       [](FakeSystem& s) {
         s.files.AddFolder(u"D:\\Shared\\Norvex");
         s.files.MarkChangeable(u"D:\\Shared\\Norvex");
       },
       u"D:\\Shared\\Norvex",
       {"D:\\Shared\\Norvex"}},
      {"a file in it",
       [](FakeSystem& s) {
         Install(s);
         s.files.MarkChangeable(JoinInstallPath(kFolder, u"Agents\\news.xml"));
       },
       kFolder,
       {Path("Agents\\news.xml")}},
      {"a link in it",
       [](FakeSystem& s) {
         Install(s);
         s.files.AddLink(JoinInstallPath(kFolder, u"Agents\\more"), u"D:\\Elsewhere");
       },
       kFolder,
       {Path("Agents\\more")}},
      {"the folder is a link",
       [](FakeSystem& s) {
         s.files.AddFolder(u"D:\\Target");
         s.files.AddFolder(u"C:\\Program Files");
         s.files.AddLink(kFolder, u"D:\\Target");
       },
       kFolder,
       {kFolder8}},
      // A drive without access lists: the new folder's protection does not hold.
      {"protection that does not hold",
       [](FakeSystem& s) {
         s.files.AddFolder(u"E:\\Apps");
         s.files.MarkChangeable(u"E:\\Apps");
         s.files.protection_fails = true;
       },
       u"E:\\Apps\\Vendor\\Norvex",
       {"E:\\Apps\\Vendor\\Norvex"}},
      {"a folder that cannot be made",
       [](FakeSystem& s) {
         s.files.AddFolder(u"C:\\Program Files");
         s.files.refuse_protected = true;
       },
       u"C:\\Program Files\\Vendor\\Norvex",
       {"C:\\Program Files\\Vendor\\Norvex"}},
      {"no such drive",
       [](FakeSystem& s) { s.files.missing_drives = true; },
       u"Q:\\Norvex",
       {"Q:\\Norvex"}},
  };
  for (const Case& c : cases) {
    FakeSystem s;
    c.before(s);
    const std::vector<std::string> before = s.files.Left(u"");
    const Outcome outcome = SecureFolder(s.system, c.folder);
    EXPECT_EQ(Narrowed(outcome.failed), c.failed) << c.what;
    // What was there stays, and nothing else is left.
    EXPECT_EQ(s.files.Left(u""), before) << c.what;
    EXPECT_EQ(RunHelper(s.system, {u"/securefolder", c.folder, u"/S"}, u"X:\\Setup"),
              kExitUnsafeFolder)
        << c.what;
  }
}

TEST(SecureFolder, TakesOnlyAFullLocalPathBelowADrive) {
  const std::u16string refused[] = {
      u"",
      u"Norvex",
      u"\\Norvex",
      u"C:",
      u"C:\\",
      u"C:Norvex",
      u"1:\\Norvex",
      u"\\\\host\\share\\Norvex",
      u"\\\\?\\C:\\Norvex",
      u"C:\\Program Files\\..\\Windows",
      u"C:\\Program Files\\.\\Norvex",
      u"C:\\Program Files\\\\Norvex",
  };
  for (const std::u16string& folder : refused) {
    FakeSystem s;
    s.files.AddFolder(u"C:\\Program Files");
    s.files.AddFolder(u"C:\\Windows");
    EXPECT_THAT(Narrowed(SecureFolder(s.system, folder).failed),
                ElementsAre(testing::Narrow(folder)))
        << testing::Narrow(folder);
    EXPECT_THAT(s.events, IsEmpty()) << testing::Narrow(folder);
  }
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
