#include "storage/settings.h"

#include <gtest/gtest.h>

#include "storage/data_folders.h"
#include "storage/uninstall.h"
#include "tests/test_installation.h"

namespace norvex::storage {
namespace {

using test::WriteBytes;

// An installation folder and a profile in a temporary folder, with this platform's own profile
// store and file system.
class Settings : public ::testing::Test, protected test::TestInstallation {
 protected:
  std::u16string UserConfig() const { return UserFile("UserConfig.ini"); }
  std::u16string Install(const std::string& name) const { return InstallFile(name); }
};

TEST_F(Settings, DefaultsWithoutUserConfig) {
  EXPECT_TRUE(IsAgentShown(u"news"));
  EXPECT_EQ(ReadWindowDimension(u"dropwidth"), 0);
  EXPECT_EQ(GetUserConfigPath(), UserConfig());
}

TEST_F(Settings, AgentVisibility) {
  SetAgentShown(u"news", false);
  SetAgentShown(u"weather", true);
  EXPECT_FALSE(IsAgentShown(u"news"));
  EXPECT_TRUE(IsAgentShown(u"weather"));
  WriteBytes(UserConfig(), "[user_settings]\r\na=true\r\nb=2\r\nc=\r\nd= 1 \r\n");
  EXPECT_FALSE(IsAgentShown(u"a"));
  EXPECT_FALSE(IsAgentShown(u"b"));
  EXPECT_FALSE(IsAgentShown(u"c"));
  EXPECT_TRUE(IsAgentShown(u"d"));
  EXPECT_TRUE(IsAgentShown(u"unlisted"));
}

// One object for a whole load: the folder is found when it is made, the file read at each answer.
TEST_F(Settings, AgentVisibilityFindsTheFolderOnceAndReadsEachTime) {
  const AgentVisibility visibility;
  EXPECT_TRUE(visibility.IsShown(u"news"));
  SetAgentShown(u"news", false);
  SetAgentShown(u"weather", true);
  EXPECT_FALSE(visibility.IsShown(u"news"));
  system_.appData.reset();
  EXPECT_TRUE(visibility.IsShown(u"weather"));
  EXPECT_FALSE(IsAgentShown(u"weather"));
  EXPECT_FALSE(AgentVisibility().IsShown(u"weather"));
}

TEST_F(Settings, UnavailableProfileHidesAgentsAndWritesNothing) {
  system_.appData.reset();
  EXPECT_FALSE(IsAgentShown(u"news"));
  SetAgentShown(u"news", true);
  WriteWindowDimension(u"dropwidth", 300);
  EXPECT_EQ(ReadWindowDimension(u"dropwidth"), 0);
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "appdata"));
}

TEST_F(Settings, WindowDimensions) {
  WriteWindowDimension(u"dropwidth", 320);
  WriteWindowDimension(u"dropheight", -5);
  EXPECT_EQ(ReadWindowDimension(u"dropwidth"), 320);
  EXPECT_EQ(ReadWindowDimension(u"dropheight"), -5);
  WriteBytes(UserConfig(), "[window_diams]\r\ndropwidth=abc\r\ndropheight=350px\r\n");
  EXPECT_EQ(ReadWindowDimension(u"dropwidth"), 0);
  EXPECT_EQ(ReadWindowDimension(u"dropheight"), 350);
}

TEST_F(Settings, InstallationStrings) {
  std::u16string out = u"kept";
  EXPECT_FALSE(ReadDataString(u"version", out));
  EXPECT_EQ(out, u"");
  // Installation files that carry Japanese text are UTF-16LE with a byte-order mark: the
  // Windows profile functions read any other file in the ANSI code page.
  WriteBytes(Install("strings.ini"),
             test::Utf16LeWithBom(u"[data]\r\nversion=  \u30D0\u30FC\u30B8\u30E7\u30F3 \r\n"
                                  u"blank=   \r\n"));
  WriteBytes(Install("version.ini"), "[COMMON]\r\nVERSION=\r\n");
  EXPECT_TRUE(ReadDataString(u"version", out));
  EXPECT_EQ(out, u"\u30D0\u30FC\u30B8\u30E7\u30F3");  // バージョン
  EXPECT_FALSE(ReadDataString(u"blank", out));
  EXPECT_FALSE(ReadInstalledVersion(out));
  EXPECT_EQ(ReadProductValue(u"OEM"), u"");

  WriteBytes(Install("version.ini"), "[COMMON]\r\nVERSION=2.1.0\r\n");
  WriteBytes(Install("norvexOEM.ini"), "[product]\r\nOEM=partner42\r\n");
  EXPECT_TRUE(ReadInstalledVersion(out));
  EXPECT_EQ(out, u"2.1.0");
  EXPECT_EQ(ReadProductValue(u"OEM"), u"partner42");

  system_.module.reset();
  out = u"kept";
  EXPECT_FALSE(ReadDataString(u"version", out));
  EXPECT_EQ(out, u"kept");
  EXPECT_EQ(ReadProductValue(u"OEM"), u"");
}

class RecordingStarter final : public ProgramStarter {
 public:
  std::u16string program, arguments;
  bool result = true;
  bool Start(const std::u16string& p, const std::u16string& a) override {
    program = p;
    arguments = a;
    return result;
  }
};

TEST_F(Settings, UninstallStartsTheHelperOfTheInstallation) {
  RecordingStarter starter;
  EXPECT_TRUE(StartUninstall(starter));
  EXPECT_EQ(starter.program, Install("NorvexHelper.exe"));
  EXPECT_EQ(starter.arguments, u"/uninstalltoolbar");
  starter.result = false;
  EXPECT_FALSE(StartUninstall(starter));
  system_.module.reset();
  starter.program.clear();
  EXPECT_FALSE(StartUninstall(starter));
  EXPECT_EQ(starter.program, u"");
}

}  // namespace
}  // namespace norvex::storage
