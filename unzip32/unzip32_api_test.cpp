#include "unzip32/unzip32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/test_support.h"
#include "unzip32/zip_writer.h"

namespace norvex::unzip {
namespace {

namespace fs = std::filesystem;

std::string Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
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
  EXPECT_EQ(test::ReadBytes(out / "news.xml"), "<n/>");
  EXPECT_EQ(test::ReadBytes(out / "sub" / "deep" / "b.dat"), std::string(70000, 'b'));
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

fs::path TestArchive(const char* name) {
  return test::FsPath(test::SourceFolder()) / "unzip32" / "testdata" / name;
}

// Every name that the find calls report, each extracted below out.
std::vector<std::string> ExtractEverything(const fs::path& archive, const fs::path& out) {
  std::vector<std::string> names;
  const ArcHandle handle = ArcOpen(nullptr, archive.string().c_str(), 0x2028002);
  EXPECT_NE(handle, 0u) << archive;
  if (handle == 0) return names;
  ArcEntryInfo info;
  for (int r = ArcFindFirst(handle, "*", &info); r == ARC_OK; r = ArcFindNext(handle, &info)) {
    names.push_back(info.name);
    EXPECT_EQ(ArcExtractFound(handle, "", out.string().c_str(), ARC_EXTRACT_FOUND), ARC_OK)
        << info.name;
  }
  EXPECT_EQ(ArcClose(handle), ARC_OK);
  return names;
}

// What the record holds for "フォルダ\ソース表示.txt": the narrow form of the platform's file
// functions (the ANSI code page, 932 in the test session, on Windows; UTF-8 on POSIX).
#ifdef _WIN32
const std::string kJapaneseName =
    "\x83\x74\x83\x48\x83\x8B\x83\x5F\\\x83\x5C\x81\x5B\x83\x58\x95\x5C\x8E\xA6.txt";
#else
const std::string kJapaneseName =
    "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\\"
    "\xE3\x82\xBD\xE3\x83\xBC\xE3\x82\xB9\xE8\xA1\xA8\xE7\xA4\xBA.txt";
#endif

// Names in code page 932 (written without the UTF-8 flag by zip) and in UTF-8 with the flag
// (written by Python): "ソ" and "表" end in the byte 0x5C, which is no separator there.
TEST(Unzip32, JapaneseNamesAreOneFolderAndOneFile) {
  for (const char* archive : {"cp932.zip", "utf8.zip"}) {
    test::TempFolder temp;
    const fs::path out = temp.path() / "out";
    const std::vector<std::string> names = ExtractEverything(TestArchive(archive), out);
    ASSERT_FALSE(names.empty()) << archive;
    EXPECT_EQ(names[0], kJapaneseName) << archive;
    const fs::path folder = out / fs::path(u"\u30D5\u30A9\u30EB\u30C0");
    const fs::path file = folder / fs::path(u"\u30BD\u30FC\u30B9\u8868\u793A.txt");
    EXPECT_TRUE(fs::is_regular_file(file)) << archive;
    size_t children = 0;
    for (const auto& child : fs::directory_iterator(out)) {
      EXPECT_EQ(child.path(), folder) << archive;
      ++children;
    }
    for (const auto& child : fs::directory_iterator(folder)) {
      EXPECT_EQ(child.path(), file) << archive;
      ++children;
    }
    EXPECT_EQ(children, 2u) << archive;
  }
}

TEST(Unzip32, PaddingAfterTheEndRecordIsRead) {
  test::TempFolder temp;
  EXPECT_EQ(ExtractEverything(TestArchive("padded.zip"), temp.path()),
            (std::vector<std::string>{"padded.txt"}));
  EXPECT_EQ(test::ReadBytes(temp.path() / "padded.txt"), "after the end comes padding\n");
}

// The archive with its first central record changed at offset `field` (2 or 4 bytes).
std::string PatchCentral(std::string zip, size_t field, uint32_t value, size_t width) {
  const size_t central = zip.find(std::string("PK\x01\x02", 4));
  for (size_t i = 0; i < width; ++i) zip[central + field + i] = static_cast<char>(value >> (8 * i));
  return zip;
}

TEST(Unzip32, FailedExtractionLeavesTheFileThatWasThere) {
  const std::string zip = MakeZip({{"keep.txt", std::string(5000, 'n'), true}});
  struct Case {
    const char* what;
    std::string archive;
    int result;
  };
  const std::vector<Case> cases = {
      {"bzip2", PatchCentral(zip, 10, 12, 2), ARC_ERROR_UNSUPPORTED},
      {"encrypted", PatchCentral(zip, 8, 1, 2), ARC_ERROR_UNSUPPORTED},
      {"bad crc", PatchCentral(zip, 16, 0x12345678, 4), ARC_ERROR_CORRUPT},
  };
  for (const Case& c : cases) {
    test::TempFolder temp;
    const std::string archive = Write(temp.path() / "m.zip", c.archive);
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    Write(out / "keep.txt", "the installed file");
    const ArcHandle handle = ArcOpen(nullptr, archive.c_str(), 0x2028002);
    ASSERT_NE(handle, 0u) << c.what;
    ArcEntryInfo info;
    ASSERT_EQ(ArcFindFirst(handle, "*", &info), ARC_OK);
    EXPECT_EQ(ArcExtractFound(handle, "", out.string().c_str(), ARC_EXTRACT_FOUND), c.result)
        << c.what;
    EXPECT_EQ(ArcClose(handle), ARC_OK);
    EXPECT_EQ(test::ReadBytes(out / "keep.txt"), "the installed file") << c.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1) << c.what;
  }
}

TEST(Unzip32, RecordNamesTheCompressionMethod) {
  const std::string zip = MakeZip({{"m.bin", "data", false}});
  const std::vector<std::pair<uint16_t, std::string>> methods = {
      {0, "stored"}, {8, "deflate"}, {9, "deflt64"}, {12, "bzip2"}, {14, "lzma"}, {99, "unknown"}};
  for (const auto& [method, name] : methods) {
    test::TempFolder temp;
    const std::string archive = Write(temp.path() / "m.zip", PatchCentral(zip, 10, method, 2));
    const ArcHandle handle = ArcOpen(nullptr, archive.c_str(), 0x2028002);
    ASSERT_NE(handle, 0u);
    ArcEntryInfo info;
    ASSERT_EQ(ArcFindFirst(handle, "*", &info), ARC_OK);
    EXPECT_EQ(std::string(info.method), name) << method;
    EXPECT_EQ(ArcClose(handle), ARC_OK);
  }
}

// An archive bomb: 8 MiB of one byte deflated to a few KiB, beside an ordinary file. It is
// refused when opened, so nothing of it is written.
TEST(Unzip32, ArchiveBombIsRefusedWhole) {
  test::TempFolder temp;
  const std::string bomb = MakeZip({{"readme.txt", "ordinary", true},
                                    {"zeros.bin", std::string(8 << 20, '\0'), true}});
  ASSERT_LT(bomb.size(), (8u << 20) / 100);
  const std::string archive = Write(temp.path() / "bomb.zip", bomb);
  EXPECT_EQ(ArcOpen(nullptr, archive.c_str(), 0x2028002), 0u);
  EXPECT_EQ(ArcIsBusy(), 0);
  // The same amount of data that does not compress like that is unpacked.
  std::string varied(8 << 20, '\0');
  uint32_t state = 12345;
  for (char& c : varied) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  const std::string fine = Write(temp.path() / "fine.zip", MakeZip({{"varied.bin", varied, true}}));
  EXPECT_EQ(ExtractEverything(fine, temp.path() / "out"), (std::vector<std::string>{"varied.bin"}));
  EXPECT_EQ(fs::file_size(temp.path() / "out" / "varied.bin"), varied.size());
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
