#include "storage/data_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::storage {
namespace {

using test::FakeFileSystem;
using test::FakeSystemInfo;

// The core on a Windows machine, whatever this test runs on.
class WindowsFolders : public ::testing::Test {
 protected:
  WindowsFolders() : seams_({nullptr, &files_, &system_}) { ResetVersionCacheForTesting(); }
  ~WindowsFolders() override { ResetVersionCacheForTesting(); }

  FakeFileSystem files_{u'\\'};
  FakeSystemInfo system_;
  platform::ScopedSeams seams_;
};

TEST(JoinPath, JoinsWithOneSeparator) {
  const struct {
    std::u16string folder, name, joined;
    char16_t sep;
  } cases[] = {
      {u"", u"UserConfig.ini", u"UserConfig.ini", u'\\'},
      {u"C:\\a\\", u"x", u"C:\\a\\x", u'\\'},
      {u"C:\\a", u"x", u"C:\\a\\x", u'\\'},
      {u"C:\\a/", u"x", u"C:\\a/\\x", u'\\'},  // a forward slash is no separator on Windows
      {u"C:\\a", u"\\x", u"C:\\a\\\\x", u'\\'},
      {u"/home/ann", u"x", u"/home/ann/x", u'/'},
      {u"/", u"x", u"/x", u'/'},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.folder, c.name, c.sep), c.joined);
}

TEST(RemoveFileSpec, KeepsRoots) {
  const struct {
    std::u16string path, folder;
    char16_t sep;
  } cases[] = {
      {u"C:\\Program Files\\Norvex\\NorvexToolbar.dll", u"C:\\Program Files\\Norvex", u'\\'},
      {u"C:\\NorvexToolbar.dll", u"C:\\", u'\\'},
      {u"\\\\srv\\share\\x.dll", u"\\\\srv\\share", u'\\'},
      {u"/opt/norvex/libnorvex.so", u"/opt/norvex", u'/'},
      {u"/x.so", u"/", u'/'},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveFileSpec(c.path, c.sep), c.folder);
}

TEST_F(WindowsFolders, InstallationFilesSitBesideTheModule) {
  system_.module = u"C:\\Program Files\\Norvex\\NorvexToolbar.dll";
  EXPECT_EQ(GetInstallFolder(), u"C:\\Program Files\\Norvex");
  EXPECT_EQ(GetAgentMasterPath(), u"C:\\Program Files\\Norvex\\AgentMaster.xml");
  EXPECT_EQ(GetAgentFilePath(u"news.xml"), u"C:\\Program Files\\Norvex\\Agents\\news.xml");
  EXPECT_EQ(GetInstallFilePath(u"strings.ini"), u"C:\\Program Files\\Norvex\\strings.ini");

  system_.module.reset();
  EXPECT_FALSE(GetInstallFolder());
  EXPECT_FALSE(GetAgentMasterPath());
  EXPECT_EQ(GetAgentFilePath(u"news.xml"), u"");
  EXPECT_EQ(GetInstallFilePath(u"strings.ini"), u"");
}

TEST_F(WindowsFolders, VersionSixMovesRoamingToLocalLow) {
  system_.major = 6;
  system_.appData = u"C:\\Users\\ann\\AppData\\Roaming";
  files_.AddFolder(u"C:\\Users\\ann\\AppData\\LocalLow");
  EXPECT_EQ(GetAppDataFolder(), u"C:\\Users\\ann\\AppData\\LocalLow\\");
  EXPECT_EQ(GetUserDataFolder(), u"C:\\Users\\ann\\AppData\\LocalLow\\Norvex");
  EXPECT_TRUE(files_.Exists(u"C:\\Users\\ann\\AppData\\LocalLow\\Norvex"));
}

TEST_F(WindowsFolders, VersionIsReadOnceAndOnlySixCounts) {
  for (unsigned major : {5u, 10u}) {
    ResetVersionCacheForTesting();
    system_.major = major;
    system_.appData = u"C:\\Users\\ann\\AppData\\Roaming\\";
    EXPECT_EQ(GetAppDataFolder(), u"C:\\Users\\ann\\AppData\\Roaming\\") << major;
  }
  ResetVersionCacheForTesting();
  system_.major = 6;
  EXPECT_TRUE(IsVersionSix());
  system_.major = 10;  // cached for the life of the process
  EXPECT_TRUE(IsVersionSix());
}

TEST_F(WindowsFolders, AppDataFolderGetsOneSeparator) {
  system_.appData = u"C:\\Data/";
  EXPECT_EQ(GetAppDataFolder(), u"C:\\Data/");
  system_.appData = u"C:\\Data";
  EXPECT_EQ(GetAppDataFolder(), u"C:\\Data\\");
  system_.appData = u"";
  EXPECT_FALSE(GetAppDataFolder());
  EXPECT_FALSE(GetUserDataFolder());
  system_.appData.reset();
  EXPECT_FALSE(GetUserDataFolder());
  EXPECT_TRUE(files_.created().empty());
}

TEST_F(WindowsFolders, VersionFiveCreatesTheWholePath) {
  system_.appData = u"C:\\Documents and Settings\\ann\\Application Data";
  files_.AddFolder(u"C:\\");
  EXPECT_EQ(GetUserDataFolder(), u"C:\\Documents and Settings\\ann\\Application Data\\Norvex");
  EXPECT_EQ(files_.created(),
            (std::vector<std::u16string>{
                u"C:\\Documents and Settings", u"C:\\Documents and Settings\\ann",
                u"C:\\Documents and Settings\\ann\\Application Data",
                u"C:\\Documents and Settings\\ann\\Application Data\\Norvex"}));
}

TEST_F(WindowsFolders, FolderWithMoreAttributesIsCreatedAgainHarmlessly) {
  system_.appData = u"C:\\Data\\";
  files_.AddFolder(u"C:\\");
  files_.AddFolder(u"C:\\Data");
  files_.AddFolder(u"C:\\Data\\Norvex", platform::kAttributeDirectory | 0x20 /* archive */);
  EXPECT_EQ(GetUserDataFolder(), u"C:\\Data\\Norvex");
  EXPECT_TRUE(files_.created().empty());
}

TEST_F(WindowsFolders, UnavailableFolderIsNoError) {
  system_.appData = u"C:\\Data\\";
  files_.AddFolder(u"C:\\");
  files_.FailCreate(u"C:\\Data");
  EXPECT_EQ(GetUserDataFolder(), u"C:\\Data\\Norvex");
}

TEST_F(WindowsFolders, CreateFolderPathWalksDrivesAndShares) {
  files_.AddFolder(u"D:\\");
  files_.AddFolder(u"D:\\one");
  EXPECT_TRUE(CreateFolderPath(u"D:\\one\\two\\three"));
  EXPECT_EQ(files_.created(),
            (std::vector<std::u16string>{u"D:\\one\\two", u"D:\\one\\two\\three"}));

  files_.AddFolder(u"\\\\srv\\share");
  EXPECT_TRUE(CreateFolderPath(u"\\\\srv\\share\\one"));
  EXPECT_TRUE(files_.Exists(u"\\\\srv\\share\\one"));
  EXPECT_TRUE(CreateFolderPath(u"\\\\srv\\share"));
  EXPECT_FALSE(CreateFolderPath(u"\\\\nosrv\\share\\one"));

  // Runs of separators count as one; an empty path is done at once.
  EXPECT_TRUE(CreateFolderPath(u"D:\\\\one\\\\four"));
  EXPECT_TRUE(files_.Exists(u"D:\\one\\four"));
  EXPECT_TRUE(CreateFolderPath(u""));
}

TEST_F(WindowsFolders, CreateFolderPathKeepsWhatItMadeBeforeAFailure) {
  files_.AddFolder(u"E:\\");
  files_.FailCreate(u"E:\\a\\b\\c");
  EXPECT_FALSE(CreateFolderPath(u"E:\\a\\b\\c\\d"));
  EXPECT_TRUE(files_.Exists(u"E:\\a\\b"));
  EXPECT_FALSE(files_.Exists(u"E:\\a\\b\\c"));
}

// The same operations on this machine's own file system.
TEST(NativeFolders, UserDataFolderIsCreatedWithItsParents) {
  test::TempFolder temp;
  FakeSystemInfo system;
  system.appData = temp.File("profile/appdata");
  system.module = temp.File("install/NorvexToolbar.dll");
  ResetVersionCacheForTesting();
  platform::ScopedSeams seams({nullptr, nullptr, &system});
  const auto folder = GetUserDataFolder();
  ASSERT_TRUE(folder);
  EXPECT_EQ(*folder, temp.File("profile/appdata/Norvex"));
  EXPECT_TRUE(std::filesystem::is_directory(test::FsPath(*folder)));
  EXPECT_EQ(GetInstallFolder(), temp.File("install"));
  // The current folder is left alone.
  const auto cwd = std::filesystem::current_path();
  EXPECT_TRUE(CreateFolderPath(temp.File("x/y/z")));
  EXPECT_EQ(std::filesystem::current_path(), cwd);
  EXPECT_TRUE(std::filesystem::is_directory(temp.path() / "x" / "y" / "z"));
  ResetVersionCacheForTesting();
}

}  // namespace
}  // namespace norvex::storage
