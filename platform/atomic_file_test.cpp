// The atomic writer, the folder write lock and the INI edit over them, on the native platform of
// each build (Windows under Wine).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "tests/test_support.h"

namespace norvex::platform {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNothingBeside) {
  TempFolder folder;
  const std::u16string file = folder.File("version.ini");
  WriteBytes(file, std::string(100000, 'o'));
  ASSERT_TRUE(WriteFileAtomically(file, "[COMMON]\r\nVERSION=1\r\n"));
  EXPECT_EQ(ReadBytes(file), "[COMMON]\r\nVERSION=1\r\n");
  ASSERT_TRUE(WriteFileAtomically(file, ""));
  EXPECT_EQ(ReadBytes(file), "");
  EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"version.ini"});
}

TEST(AtomicFile, KeepingAnExistingFileFailsAndLeavesIt) {
  TempFolder folder;
  const std::u16string file = folder.File("history.ini");
  ASSERT_TRUE(WriteFileAtomically(file, "first", ExistingFile::kKeep));
  EXPECT_EQ(ReadBytes(file), "first");
  EXPECT_FALSE(WriteFileAtomically(file, "second", ExistingFile::kKeep));
  EXPECT_EQ(ReadBytes(file), "first");
  EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"history.ini"});
}

TEST(AtomicFile, MissingFolderFailsWithoutTrace) {
  TempFolder folder;
  const std::u16string file = folder.File("no-such-folder/version.ini");
  EXPECT_FALSE(WriteFileAtomically(file, "x"));
  EXPECT_TRUE(NamesIn(folder.path()).empty());
  EXPECT_FALSE(FolderWriteLock(file).held());
}

TEST(AtomicFile, ReadTellsAMissingFileFromOneThatCannotBeRead) {
  TempFolder folder;
  std::string bytes = "left over";
  EXPECT_EQ(ReadWholeFile(folder.File("missing.ini"), bytes), WholeFileRead::kMissing);
  EXPECT_EQ(ReadWholeFile(folder.File("missing/missing.ini"), bytes), WholeFileRead::kMissing);
  std::filesystem::create_directory(folder.path() / "a-folder");
  EXPECT_EQ(ReadWholeFile(folder.File("a-folder"), bytes), WholeFileRead::kFailed);
  const std::string large(3 << 16, 'x');  // more than one read of the buffer
  WriteBytes(folder.File("large.ini"), large);
  ASSERT_EQ(ReadWholeFile(folder.File("large.ini"), bytes), WholeFileRead::kRead);
  EXPECT_EQ(bytes, large);
}

TEST(AtomicFile, FolderWriteLockIsHeldForAFileOfAnExistingFolder) {
  TempFolder folder;
  FolderWriteLock lock(folder.File("not-yet-there.ini"));
  EXPECT_TRUE(lock.held());
}

TEST(IniFile, EditWritesOnlyWhatChangedAndMakesOnlyWhatIsAskedFor) {
  TempFolder folder;
  const std::u16string file = folder.File("product.ini");
  const auto set = [](const char16_t* value) {
    return [value](IniText& ini) { return ini.Set(u"COMMON", u"KEY", std::u16string_view(value)); };
  };
  EXPECT_TRUE(EditIniFile(file, false, set(u"1")));
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(file)));
  EXPECT_TRUE(EditIniFile(file, true, set(u"1")));
  EXPECT_EQ(ReadBytes(file), "[COMMON]\r\nKEY=1\r\n");
  int edits = 0;
  EXPECT_TRUE(EditIniFile(file, false, [&](IniText& ini) {
    ++edits;
    return ini.Set(u"COMMON", u"KEY", std::u16string_view(u"2"));
  }));
  EXPECT_EQ(edits, 1);
  EXPECT_EQ(ReadBytes(file), "[COMMON]\r\nKEY=2\r\n");
  // An edit that reports no change is not written, whatever it did to the text.
  EXPECT_TRUE(EditIniFile(file, true, [](IniText& ini) {
    ini.Set(u"COMMON", u"KEY", std::u16string_view(u"3"));
    return false;
  }));
  EXPECT_EQ(ReadBytes(file), "[COMMON]\r\nKEY=2\r\n");
  EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"product.ini"});
  std::filesystem::create_directory(folder.path() / "a-folder");
  EXPECT_FALSE(EditIniFile(folder.File("a-folder"), true, set(u"1")));
}

}  // namespace
}  // namespace norvex::platform
