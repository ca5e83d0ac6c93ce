#include "service/file_replacement.h"

#include <gtest/gtest.h>

#include "service/tests/service_fakes.h"

namespace norvex::service {
namespace {

using testing::ServiceFixture;

TEST(ReplaceFile, NtFamilyDefersEveryFileWithCollapsedPaths) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  FileReplacer replacer(files);
  const std::string p = files.ProgramFolder();
  EXPECT_TRUE(replacer.ReplaceFile("Temp\\.\\Agents\\a.xml", ".\\Agents\\a.xml"));
  ASSERT_EQ(f.mover->moves.size(), 1u);
  EXPECT_EQ(f.mover->moves[0].first, p + "\\Temp\\Agents\\a.xml");
  EXPECT_EQ(f.mover->moves[0].second, p + "\\Agents\\a.xml");
  f.mover->refused_sources.insert(p + "\\Temp\\b.xml");
  EXPECT_FALSE(replacer.ReplaceFile("Temp\\b.xml", "b.xml"));
  EXPECT_FALSE(f.Exists("livefile.ini"));
}

TEST(ReplaceFile, OnlyTheOlderFamilyTakesTheListBranch) {
  // 0: the version could not be read; 3: a family this program does not know.
  for (const int platform_id : {0, 2, 3}) {
    ServiceFixture f;
    f.mover->platform_id = platform_id;
    UpdateFiles files(f.platform, f.LogPath());
    FileReplacer replacer(files);
    f.Write("Temp/a.xml", "new");
    f.Write("a.xml", "old");
    EXPECT_TRUE(replacer.ReplaceFile("Temp\\a.xml", "a.xml")) << platform_id;
    EXPECT_EQ(f.mover->moves.size(), 1u) << platform_id;
    EXPECT_TRUE(f.mover->run_once.empty()) << platform_id;
    EXPECT_FALSE(f.Exists("livefile.ini")) << platform_id;
  }
}

TEST(ReplaceFile, OlderFamilyListsMovesAndRegistersTheMoverOnce) {
  ServiceFixture f;
  f.mover->platform_id = 1;
  UpdateFiles files(f.platform, f.LogPath());
  FileReplacer replacer(files);
  f.Write("livefile.ini", "[COMMON]\nEnable=1\nCOUNT=9\n[9]\nSource=stale\n");
  const std::string p = files.ProgramFolder();
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    f.Write(std::string("Temp/") + name, "new");
    f.Write(name, "old");
  }
  for (const char* name : {"a", "b", "c"}) {
    EXPECT_TRUE(replacer.ReplaceFile(std::string("Temp\\") + name, name));
  }
  // A later pass of the same process goes on with the same list.
  for (const char* name : {"d", "e"}) {
    EXPECT_TRUE(replacer.ReplaceFile(std::string("Temp\\") + name, name));
  }
  EXPECT_EQ(files.ReadIniString("livefile.ini", "COMMON", "Enable", ""), "1");
  EXPECT_EQ(files.ReadIniString("livefile.ini", "COMMON", "COUNT", ""), "5");
  EXPECT_EQ(files.ReadIniString("livefile.ini", "9", "Source", "gone"), "gone");
  EXPECT_EQ(files.ReadIniString("livefile.ini", "1", "Source", ""), p + "\\Temp\\a");
  EXPECT_EQ(files.ReadIniString("livefile.ini", "5", "Destination", ""), p + "\\e");
  ASSERT_EQ(f.mover->run_once.size(), 1u);
  EXPECT_EQ(f.mover->run_once[0].first, "Driftcast");
  EXPECT_EQ(f.mover->run_once[0].second, "\"" + p + "\\ShuntFile.exe\"");
  EXPECT_TRUE(f.mover->moves.empty());
}

TEST(ReplaceFile, OlderFamilyNeedsSourceAndDestination) {
  ServiceFixture f;
  f.mover->platform_id = 1;
  UpdateFiles files(f.platform, f.LogPath());
  FileReplacer replacer(files);
  f.Write("Temp/new.txt", "n");
  EXPECT_FALSE(replacer.ReplaceFile("Temp\\missing.txt", "x.txt"));
  EXPECT_FALSE(replacer.ReplaceFile("Temp\\new.txt", "not-yet-installed.txt"));
  EXPECT_FALSE(f.Exists("livefile.ini"));
  EXPECT_EQ(replacer.entries_written(), 0u);
}

TEST(MoveJournal, AppliesMovesInOrderThenRemovesItself) {
  ServiceFixture f;
  const std::string p = f.Folder().string();
  f.Write("Temp/a.txt", "new a");
  f.Write("Temp/sub/b.txt", "new b");
  f.Write("a.txt", "old a");
  f.Write("journal",
          JournalLine(p + "/Temp/a.txt", p + "/a.txt") +
              JournalLine(p + "/Temp/sub/b.txt", p + "/deep/sub/b.txt") +
              JournalLine(p + "/Temp/gone.txt", p + "/gone.txt") + "malformed line\n\t\n");
  EXPECT_EQ(ApplyMoveJournal(*f.files, p + "/journal"), 3);
  EXPECT_EQ(f.Read("a.txt"), "new a");
  EXPECT_EQ(f.Read("deep/sub/b.txt"), "new b");
  EXPECT_FALSE(f.Exists("Temp/a.txt"));
  EXPECT_FALSE(f.Exists("journal"));
  EXPECT_EQ(ApplyMoveJournal(*f.files, p + "/journal"), 0);
}

TEST(MoveJournal, LastLineWithoutLineEndIsNotApplied) {
  ServiceFixture f;
  const std::string p = f.Folder().string();
  f.Write("Temp/a.txt", "new a");
  f.Write("Temp/b.txt", "new b");
  std::string cut = JournalLine(p + "/Temp/b.txt", p + "/b.txt");
  cut.pop_back();  // the write broke off before the line end
  f.Write("journal", JournalLine(p + "/Temp/a.txt", p + "/a.txt") + cut);
  EXPECT_EQ(ApplyMoveJournal(*f.files, p + "/journal"), 1);
  EXPECT_EQ(f.Read("a.txt"), "new a");
  EXPECT_FALSE(f.Exists("b.txt"));
  EXPECT_FALSE(f.Exists("journal"));
}

}  // namespace
}  // namespace norvex::service
