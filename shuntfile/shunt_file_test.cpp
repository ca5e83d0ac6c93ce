#include "shuntfile/shunt_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "service/tests/service_fakes.h"

namespace norvex::shuntfile {
namespace {

using service::testing::ServiceFixture;

std::string Native(const ServiceFixture& f, const std::string& relative) {
  return (f.Folder() / relative).make_preferred().string();
}

TEST(ShuntFile, MovesEveryListedFileThenDropsTheList) {
  ServiceFixture f;
  f.Write("Temp/a.txt", "new a");
  f.Write("Temp/Agents/b.xml", "new b");
  f.Write("a.txt", "old a");
  f.Write("Agents/b.xml", "old b");
  f.Write("livefile.ini", "[COMMON]\nEnable=1\nCOUNT=3\n[1]\nSource=" + Native(f, "Temp/a.txt") +
                              "\nDestination=" + Native(f, "a.txt") + "\n[2]\nSource=" +
                              Native(f, "Temp/missing.txt") + "\nDestination=" +
                              Native(f, "missing.txt") + "\n[3]\nSource=" +
                              Native(f, "Temp/Agents/b.xml") + "\nDestination=" +
                              Native(f, "Agents/b.xml") + "\n");
  const ShuntResult result = RunShuntFile(*f.files, *f.profiles, f.Folder().string());
  EXPECT_TRUE(result.list_found);
  EXPECT_EQ(result.moved, 2);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(f.Read("a.txt"), "new a");
  EXPECT_EQ(f.Read("Agents/b.xml"), "new b");
  EXPECT_FALSE(f.Exists("Temp/a.txt"));
  EXPECT_FALSE(f.Exists("livefile.ini"));
}

TEST(ShuntFile, MovesOnlyWithinItsOwnFolder) {
  ServiceFixture f;
  test::TempFolder elsewhere;
  const std::string outside = (elsewhere.path() / "victim.txt").make_preferred().string();
  std::ofstream(outside) << "victim";
  f.Write("Temp/a.txt", "new a");
  f.Write("a.txt", "old a");
  const std::string folder = f.Folder().string();
  const std::string sep(1, std::filesystem::path::preferred_separator);
  const std::string a = Native(f, "a.txt"), temp_a = Native(f, "Temp/a.txt");
  const struct {
    std::string source, destination;
  } entries[] = {
      {temp_a, outside},                                 // destination in another folder
      {outside, a},                                      // source in another folder
      {temp_a, folder + sep + ".." + sep + "x.txt"},     // leaves the folder by ".."
      {temp_a, folder + "-other" + sep + "a.txt"},       // a folder whose name starts alike
      {temp_a, folder + sep + "NUL"},                    // a device
      {temp_a, a},                                       // the one good entry
  };
  std::string list = "[COMMON]\nEnable=1\nCOUNT=6\n";
  for (size_t i = 0; i < std::size(entries); ++i) {
    list += "[" + std::to_string(i + 1) + "]\nSource=" + entries[i].source +
            "\nDestination=" + entries[i].destination + "\n";
  }
  f.Write("livefile.ini", list);
  const ShuntResult result = RunShuntFile(*f.files, *f.profiles, folder);
  EXPECT_EQ(result.moved, 1);
  EXPECT_EQ(result.failed, 5);
  EXPECT_EQ(f.Read("a.txt"), "new a");
  std::ifstream in(outside);
  std::string victim;
  in >> victim;
  EXPECT_EQ(victim, "victim");
  EXPECT_FALSE(std::filesystem::exists(elsewhere.path() / ".." / "x.txt"));
}

TEST(ShuntFile, WithoutItsOwnFolderDoesNothing) {
  // A list in the current folder is not the mover's list.
  ServiceFixture f;
  f.Write("a.txt", "a");
  f.Write("livefile.ini", "[COMMON]\nEnable=1\nCOUNT=1\n[1]\nSource=a.txt\nDestination=b.txt\n");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(f.Folder());
  for (const std::string folder : {"", "."}) {
    EXPECT_FALSE(RunShuntFile(*f.files, *f.profiles, folder).list_found) << folder;
  }
  std::filesystem::current_path(before);
  EXPECT_TRUE(f.Exists("a.txt"));
  EXPECT_TRUE(f.Exists("livefile.ini"));
}

TEST(ShuntFile, DisabledMissingOrMalformedListsMoveNothing) {
  const std::vector<std::string> lists = {
      "[COMMON]\nEnable=0\nCOUNT=1\n[1]\nSource=S\nDestination=D\n",
      "[COMMON]\nCOUNT=1\n",
      "garbage\n\x01\x02[[[\n=\n",
      "[COMMON]\nEnable=1\nCOUNT=x\n",
  };
  for (const std::string& list : lists) {
    ServiceFixture f;
    f.Write("S", "s");
    f.Write("livefile.ini", list);
    const ShuntResult result = RunShuntFile(*f.files, *f.profiles, f.Folder().string());
    EXPECT_EQ(result.moved, 0) << list;
    EXPECT_TRUE(f.Exists("S")) << list;
  }
  ServiceFixture none;
  EXPECT_FALSE(RunShuntFile(*none.files, *none.profiles, none.Folder().string()).list_found);
}

}  // namespace
}  // namespace norvex::shuntfile
