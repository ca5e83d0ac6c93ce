#include "service/update_files.h"

#include <gtest/gtest.h>

#include "service/tests/service_fakes.h"

namespace norvex::service {
namespace {

using testing::ServiceFixture;

TEST(UpdateFiles, LogLineAndUpdateTimeFormats) {
  EXPECT_EQ(FormatLogLine({2009, 4, 3, 9, 5, 7}, "Start live update"),
            "2009/04/03 09:05:07 Start live update\r\n");
  EXPECT_EQ(FormatLogLine(LocalTime{}, "x"), "0000/00/00 -1:-1:-1 x\r\n");
  EXPECT_EQ(FormatUpdateTime({2009, 4, 3, 9, 5, 59}), "200904030905");
}

TEST(UpdateFiles, CollapseDotSegments) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\P\\Temp\\.\\Agents\\a.xml", "C:\\P\\Temp\\Agents\\a.xml"},
      {"C:\\P\\.\\.\\a", "C:\\P\\a"},
      {"C:\\P\\..\\a", "C:\\P\\..\\a"},
      {".\\a", ".\\a"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CollapseDotSegments(c.in), c.out) << c.in;
}

TEST(UpdateFiles, ProgramFolderOf) {
  EXPECT_EQ(ProgramFolderOf("C:\\Program Files\\Norvex\\Quorvel.exe"), "C:\\Program Files\\Norvex");
  EXPECT_EQ(ProgramFolderOf("/opt/norvex/quorvel"), "/opt/norvex");
  EXPECT_EQ(ProgramFolderOf("quorvel"), ".");
}

TEST(UpdateFiles, ProgramSiblingPathNeverFallsBackToTheCurrentFolder) {
  const struct {
    const char* program;
    const char* sibling;
  } cases[] = {
      {"C:\\Program Files\\Norvex\\Quorvel.exe", "C:\\Program Files\\Norvex\\UNZIP32.dll"},
      {"C:\\Quorvel.exe", "C:\\UNZIP32.dll"},
      {"/opt/norvex/quorvel", "/opt/norvex/UNZIP32.dll"},
      {"", ""},  // the platform gave no path (or one of 260 characters or more)
      {"Quorvel.exe", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramSiblingPath(c.program, "UNZIP32.dll"), c.sibling) << c.program;
  }
}

TEST(UpdateFiles, ResolveProgramPath) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  const std::string p = files.ProgramFolder();
  EXPECT_EQ(p, f.Folder().string());
  const struct {
    std::string in, out;
  } cases[] = {
      {"Temp\\LiveUpdate.ini", p + "\\Temp\\LiveUpdate.ini"},
      {"C:\\x\\y.txt", "C:\\x\\y.txt"},
      {"\\x", p + "\\\\x"},
      {"/abs/file", "/abs/file"},
      {":\\x", p + "\\:\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(files.ResolveProgramPath(c.in), c.out) << c.in;
}

TEST(UpdateFiles, CreateFolderChainBuildsBelowTheProgramFolder) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  EXPECT_TRUE(files.CreateFolderChain("Temp\\.\\Agents\\agents.zip"));
  EXPECT_TRUE(std::filesystem::is_directory(f.At("Temp/Agents")));
  EXPECT_FALSE(f.Exists("Temp/Agents/agents.zip"));
  EXPECT_TRUE(files.CreateFolderChain("file-only.txt"));
}

TEST(UpdateFiles, ReadIniStringGrowsItsBuffer) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  const std::string long_value(150, 'v'), longer(1000, 'w');
  f.Write("m.ini", "[A]\nk=" + long_value + "\nexact=" + std::string(99, 'e') + "\nbig=" + longer +
                       "\n");
  EXPECT_EQ(files.ReadIniString("m.ini", "A", "k", ""), long_value);
  EXPECT_EQ(files.ReadIniString("m.ini", "a", "K", ""), long_value);
  EXPECT_EQ(files.ReadIniString("m.ini", "A", "exact", ""), std::string(99, 'e'));
  EXPECT_EQ(files.ReadIniString("m.ini", "A", "big", ""), longer);
  EXPECT_EQ(files.ReadIniString("m.ini", "A", "missing", "dflt"), "dflt");
  EXPECT_EQ(files.ReadIniString("nofile.ini", "A", "k", ""), "");
}

TEST(UpdateFiles, ReadIniSectionNamesInFileOrderEvenWhenMany) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  std::string text;
  std::vector<std::string> expected;
  for (int i = 0; i < 800; ++i) {  // about 16000 bytes of names: more than the first buffer
    expected.push_back("Section_" + std::to_string(i) + "_xxxxx");
    text += "[" + expected.back() + "]\nk=v\n";
  }
  f.Write("many.ini", text);
  EXPECT_EQ(files.ReadIniSectionNames("many.ini"), expected);
  f.Write("bad.ini", "garbage without sections\n[unterminated\n=x\n[OK]\n");
  const auto names = files.ReadIniSectionNames("bad.ini");
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "OK");
  EXPECT_TRUE(files.ReadIniSectionNames("none.ini").empty());
}

TEST(UpdateFiles, WriteKeepsTheRestOfTheFile) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  f.Write("version.ini", "[COMMON]\nVERSION=1.0\n[Agents]\nVERSION=0.9\n");
  EXPECT_TRUE(files.WriteIniString("version.ini", "Agents", "VERSION", "1.1"));
  EXPECT_TRUE(files.WriteIniString("version.ini", "New", "VERSION", "2"));
  EXPECT_EQ(files.ReadIniString("version.ini", "COMMON", "VERSION", ""), "1.0");
  EXPECT_EQ(files.ReadIniString("version.ini", "Agents", "VERSION", ""), "1.1");
  EXPECT_EQ(files.ReadIniString("version.ini", "New", "VERSION", ""), "2");
}

TEST(UpdateFiles, LogAppendsStampedLines) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  files.WriteUpdateLog("Start live update");
  files.WriteUpdateLog("Unzipping:Temp\\a.zip");
  EXPECT_EQ(f.LogMessages(),
            (std::vector<std::string>{"Start live update", "Unzipping:Temp\\a.zip"}));
  const std::string raw = f.Read("log/LiveUpdateLog.txt");
  EXPECT_EQ(raw.substr(0, 20), "2009/04/03 09:05:07 ");
#ifdef _WIN32
  // A text-mode stream turns the LF of CR LF into CR LF once more.
  EXPECT_NE(raw.find("update\r\r\n"), std::string::npos);
#else
  EXPECT_NE(raw.find("update\r\n"), std::string::npos);
#endif
}

TEST(UpdateFiles, MissingLogFolderLeavesNoTrace) {
  ServiceFixture f;
  UpdateFiles files(f.platform, (f.Folder() / "no-such-folder" / "log.txt").string());
  files.WriteUpdateLog("Start live update");
  EXPECT_FALSE(f.Exists("no-such-folder"));
}

}  // namespace
}  // namespace norvex::service
