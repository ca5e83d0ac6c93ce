#include "unzip32/unzip32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/test_support.h"
#include "unzip32/zip_writer.h"

namespace norvex::unzip {
namespace {

namespace fs = std::filesystem;

std::string Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Unzip32, EnumeratesAndExtractsEveryFileEntry) {
  test::TempFolder temp;
  const std::string archive = Write(temp.path() / "m.zip",
                                    MakeZip({{"news.xml", "<n/>", true},
                                             {"sub/", "", false},
                                             {"sub/deep/b.dat", std::string(70000, 'b'), true}}));
  const fs::path out = temp.path() / "out";
  ASSERT_EQ(ArcIsBusy(), 0);
  const ArcHandle handle = ArcOpen(nullptr, archive.c_str(), 0x2028002);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(ArcIsBusy(), 1);
  ArcEntryInfo info;
  std::vector<std::string> names;
  for (int r = ArcFindFirst(handle, "*", &info); r == ARC_OK; r = ArcFindNext(handle, &info)) {
    // The name is read where the service reads it: byte 26 of the record.
    names.push_back(reinterpret_cast<const char*>(&info) + 26);
    ASSERT_EQ(ArcExtractFound(handle, "", out.string().c_str(), ARC_EXTRACT_FOUND), ARC_OK);
  }
  EXPECT_EQ(ArcClose(handle), ARC_OK);
  EXPECT_EQ(ArcIsBusy(), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"news.xml", "sub\\deep\\b.dat"}));
  EXPECT_EQ(Read(out / "news.xml"), "<n/>");
  EXPECT_EQ(Read(out / "sub" / "deep" / "b.dat"), std::string(70000, 'b'));
}

TEST(Unzip32, RefusesHostileNamesAndWritesNothingOutside) {
  test::TempFolder temp;
  const std::vector<std::string> hostile = {"../escape.txt", "..\\..\\escape.txt", "/abs.txt",
                                            "C:\\x.txt", "\\\\host\\share\\x.txt",
                                            "nul.txt", "sub/CONOUT$", "sub\\escape.txt."};
  for (const std::string& name : hostile) {
    const std::string archive = Write(temp.path() / "h.zip", MakeZip({{name, "bad", true}}));
    const fs::path out = temp.path() / "deep" / "out";
    fs::create_directories(out);
    const ArcHandle handle = ArcOpen(nullptr, archive.c_str(), 0x2028002);
    ASSERT_NE(handle, 0u) << name;
    ArcEntryInfo info;
    ASSERT_EQ(ArcFindFirst(handle, "*", &info), ARC_OK);
    EXPECT_EQ(ArcExtractFound(handle, "", out.string().c_str(), ARC_EXTRACT_FOUND),
              ARC_ERROR_NAME)
        << name;
    EXPECT_EQ(ArcClose(handle), ARC_OK);
    EXPECT_FALSE(fs::exists(temp.path() / "escape.txt"));
    EXPECT_FALSE(fs::exists(temp.path() / "deep" / "escape.txt"));
  }
}

TEST(Unzip32, NameLongerThanTheRecordIsRefused) {
  test::TempFolder temp;
  const std::string name = std::string(600, 'n');
  const std::string archive = Write(temp.path() / "long.zip", MakeZip({{name, "x", true}}));
  const ArcHandle handle = ArcOpen(nullptr, archive.c_str(), 0x2028002);
  ASSERT_NE(handle, 0u);
  ArcEntryInfo info;
  ASSERT_EQ(ArcFindFirst(handle, "*", &info), ARC_OK);
  EXPECT_EQ(std::string(info.name).size(), 512u);
  EXPECT_EQ(ArcExtractFound(handle, "", temp.path().string().c_str(), ARC_EXTRACT_FOUND),
            ARC_ERROR_NAME);
  EXPECT_EQ(ArcClose(handle), ARC_OK);
}

TEST(Unzip32, FailuresAreResults) {
  test::TempFolder temp;
  EXPECT_EQ(ArcOpen(nullptr, (temp.path() / "missing.zip").string().c_str(), 0), 0u);
  const std::string junk = Write(temp.path() / "junk.zip", "not a zip");
  EXPECT_EQ(ArcOpen(nullptr, junk.c_str(), 0), 0u);
  EXPECT_EQ(ArcClose(12345), ARC_ERROR_HANDLE);
  ArcEntryInfo info;
  EXPECT_EQ(ArcFindFirst(999, "*", &info), ARC_ERROR_HANDLE);
  const std::string empty = Write(temp.path() / "empty.zip", MakeZip({}));
  const ArcHandle handle = ArcOpen(nullptr, empty.c_str(), 0);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(ArcFindFirst(handle, "*", &info), ARC_NO_ENTRY);
  EXPECT_EQ(ArcExtractFound(handle, "", temp.path().string().c_str(), ARC_EXTRACT_FOUND),
            ARC_ERROR_NO_FIND);
  EXPECT_EQ(ArcClose(handle), ARC_OK);
}

}  // namespace
}  // namespace norvex::unzip
