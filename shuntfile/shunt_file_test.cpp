#include "shuntfile/shunt_file.h"

#include <gtest/gtest.h>

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
