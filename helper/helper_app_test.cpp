// The uninstall program's command line, its question and its closing message.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "helper/helper_app.h"
#include "helper/helper_messages.h"
#include "helper/installation_layout.h"
#include "helper/tests/fake_helper_system.h"

namespace norvex::helper {
namespace {

using testing::FakeSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(HelperCommandLine, Parses) {
  struct Case {
    std::vector<std::u16string> arguments;
    Job job;
    bool silent;
    std::u16string folder;
  };
  const Case cases[] = {
      {{u"/uninstalltoolbar"}, Job::kUninstall, false, u""},
      {{u"/UninstallToolbar", u"/S"}, Job::kUninstall, true, u""},
      {{u"/s", u"/uninstalltoolbar"}, Job::kUninstall, true, u""},
      {{u"/prepareupgrade", u"C:\\Program Files\\Norvex"},
       Job::kPrepareUpgrade,
       false,
       u"C:\\Program Files\\Norvex"},
      {{u"/PrepareUpgrade", u"D:\\N", u"/S"}, Job::kPrepareUpgrade, true, u"D:\\N"},
      {{u"/startservice", u"C:\\N"}, Job::kStartService, false, u"C:\\N"},
      {{u"/SecureFolder", u"C:\\P F\\N", u"/S"}, Job::kSecureFolder, true, u"C:\\P F\\N"},
      {{u"/securefolder"}, Job::kInvalid, false, u""},
      {{u"/startservice", u"C:\\N", u"/prepareupgrade", u"C:\\N"}, Job::kInvalid, false, u"C:\\N"},
      {{}, Job::kInvalid, false, u""},
      {{u"/S"}, Job::kInvalid, true, u""},
      {{u"/prepareupgrade"}, Job::kInvalid, false, u""},
      {{u"/prepareupgrade", u""}, Job::kInvalid, false, u""},
      {{u"/uninstalltoolbar", u"/x"}, Job::kInvalid, false, u""},
      {{u"/uninstalltoolbar", u"/uninstalltoolbar"}, Job::kInvalid, false, u""},
      {{u"uninstalltoolbar"}, Job::kInvalid, false, u""},
      {{u"/uninstalltoolbarx"}, Job::kInvalid, false, u""},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.arguments) shown += testing::Narrow(a) + " ";
    const HelperCommand command = ParseHelperCommand(c.arguments);
    EXPECT_EQ(command.job, c.job) << shown;
    EXPECT_EQ(command.silent, c.silent) << shown;
    EXPECT_EQ(command.folder, c.folder) << shown;
  }
}

void Install(FakeSystem& s, const std::u16string& folder) {
  s.files.AddFile(JoinInstallPath(folder, u"NorvexToolbar.dll"));
  s.files.AddFile(JoinInstallPath(folder, u"NorvexHelper.exe"));
}

TEST(HelperApp, AsksRemovesTheOwnFolderAndReportsInJapanese) {
  FakeSystem s;
  Install(s, u"C:\\N");
  EXPECT_EQ(RunHelper(s.system, {u"/uninstalltoolbar"}, u"C:\\N"), kExitDone);
  EXPECT_EQ(s.events.front(), "ask");
  EXPECT_EQ(s.events.back(), "tell info");
  EXPECT_THAT(s.prompt.told,
              ElementsAre(kConfirmText, u"ノルヴェクスツールバーを削除しました。"));
  EXPECT_THAT(s.files.Left(u"C:\\N"), IsEmpty());
}

TEST(HelperApp, ANoChangesNothing) {
  FakeSystem s;
  Install(s, u"C:\\N");
  s.prompt.answer = false;
  EXPECT_EQ(RunHelper(s.system, {u"/uninstalltoolbar"}, u"C:\\N"), kExitDeclined);
  EXPECT_THAT(s.events, ElementsAre("ask"));
  EXPECT_EQ(s.files.Left(u"C:\\N").size(), 3u);
}

TEST(HelperApp, SilentNeitherAsksNorTells) {
  FakeSystem s;
  Install(s, u"C:\\N");
  s.files.InUse(u"C:\\N\\NorvexToolbar.dll");
  EXPECT_EQ(RunHelper(s.system, {u"/uninstalltoolbar", u"/S"}, u"C:\\N"), kExitDone);
  EXPECT_THAT(s.prompt.told, IsEmpty());
  EXPECT_THAT(s.files.scheduled(), ElementsAre(u"C:\\N\\NorvexToolbar.dll", u"C:\\N"));
}

TEST(HelperApp, AnIncompleteUninstallWarnsAndSaysSoInItsExitCode) {
  FakeSystem s;
  Install(s, u"C:\\N");
  s.modules.result = -1;
  EXPECT_EQ(RunHelper(s.system, {u"/uninstalltoolbar"}, u"C:\\N"), kExitIncomplete);
  EXPECT_EQ(s.events.back(), "tell warning");
}

TEST(HelperApp, ABadCommandLineShowsTheUsageUnlessSilent) {
  FakeSystem s;
  Install(s, u"C:\\N");
  EXPECT_EQ(RunHelper(s.system, {u"/uninstall"}, u"C:\\N"), kExitUsage);
  EXPECT_THAT(s.events, ElementsAre("tell error"));
  EXPECT_THAT(s.prompt.told, ElementsAre(kUsageText));
  s.events.clear();
  EXPECT_EQ(RunHelper(s.system, {u"/S"}, u"C:\\N"), kExitUsage);
  EXPECT_THAT(s.events, IsEmpty());
  EXPECT_EQ(s.files.Left(u"C:\\N").size(), 3u);
}

TEST(HelperApp, ThePreparationWorksOnTheFolderGivenNotItsOwn) {
  FakeSystem s;
  s.files.AddFile(u"D:\\N\\Temp\\Agents\\a.xml");
  s.files.AddFile(u"D:\\N\\Quorvel.exe");
  s.services.state = ServiceState{true, 0, u"\"D:\\N\\Quorvel.exe\""};
  EXPECT_EQ(RunHelper(s.system, {u"/prepareupgrade", u"D:\\N"}, u"C:\\Setup"), kExitDone);
  EXPECT_THAT(s.files.Left(u"D:\\N"), ElementsAre("D:\\N", "D:\\N\\Quorvel.exe"));
  EXPECT_THAT(s.prompt.told, IsEmpty());
}

TEST(InstallationLayout, PathsAndCommands) {
  EXPECT_EQ(JoinInstallPath(u"C:\\N", u"a"), u"C:\\N\\a");
  EXPECT_EQ(JoinInstallPath(u"C:\\N\\", u"a"), u"C:\\N\\a");
  EXPECT_EQ(JoinInstallPath(u"", u"a"), u"a");
  EXPECT_TRUE(SamePath(u"C:\\Program Files\\N", u"c:/program files/n\\"));
  EXPECT_FALSE(SamePath(u"C:\\N", u"C:\\N2"));
  EXPECT_EQ(UnquotedProgram(u"\"C:\\P F\\Q.exe\" /x"), u"C:\\P F\\Q.exe");
  EXPECT_EQ(UnquotedProgram(u"\"C:\\P F\\Q.exe"), u"C:\\P F\\Q.exe");
  EXPECT_EQ(UnquotedProgram(u"C:\\Q.exe"), u"C:\\Q.exe");
}

}  // namespace
}  // namespace norvex::helper
