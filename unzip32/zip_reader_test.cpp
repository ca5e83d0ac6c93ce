#include "unzip32/zip_reader.h"

#include <gtest/gtest.h>

#include "unzip32/zip_writer.h"

namespace norvex::unzip {
namespace {

std::string ExtractAll(ByteSource& source, const ZipEntry& entry, ZipStatus* status) {
  std::string out;
  *status = ExtractEntry(source, entry, [&out](const char* d, size_t n) {
    out.append(d, n);
    return true;
  });
  return out;
}

TEST(ZipReader, ReadsStoredAndDeflatedEntriesInOrder) {
  const std::string big(300000, 'x');
  auto source = MemorySource(MakeZip({{"a.txt", "hello", false},
                                      {"sub/b.bin", big, true},
                                      {"empty.txt", "", true}}));
  std::vector<ZipEntry> entries;
  ASSERT_EQ(ReadDirectory(*source, &entries), ZipStatus::kOk);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[1].name, "sub/b.bin");
  ZipStatus status;
  EXPECT_EQ(ExtractAll(*source, entries[0], &status), "hello");
  EXPECT_EQ(status, ZipStatus::kOk);
  EXPECT_EQ(ExtractAll(*source, entries[1], &status), big);
  EXPECT_EQ(status, ZipStatus::kOk);
  EXPECT_EQ(ExtractAll(*source, entries[2], &status), "");
  EXPECT_EQ(status, ZipStatus::kOk);
}

// Highly compressible entries whose output ends just past a multiple of the reader's output
// block: the last input is used up while zlib still holds output to give.
TEST(ZipReader, DeflatedEntriesAroundOutputBlockBoundaries) {
  for (size_t size : {size_t{262144}, size_t{262145}, size_t{262166}, size_t{524288 + 7},
                      size_t{524288 * 3 + 1}}) {
    const std::string zeros(size, '\0');
    auto source = MemorySource(MakeZip({{"z.bin", zeros, true}}));
    std::vector<ZipEntry> entries;
    ASSERT_EQ(ReadDirectory(*source, &entries), ZipStatus::kOk);
    ZipStatus status;
    EXPECT_EQ(ExtractAll(*source, entries[0], &status).size(), size);
    EXPECT_EQ(status, ZipStatus::kOk) << size;
  }
}

TEST(ZipReader, EmptyArchiveHasNoEntries) {
  auto source = MemorySource(MakeZip({}));
  std::vector<ZipEntry> entries;
  EXPECT_EQ(ReadDirectory(*source, &entries), ZipStatus::kOk);
  EXPECT_TRUE(entries.empty());
}

struct BrokenCase {
  const char* what;
  std::string bytes;
  ZipStatus directory;  // expected from ReadDirectory
};

TEST(ZipReader, RefusesBrokenArchives) {
  const std::string good = MakeZip({{"a.txt", std::string(5000, 'q'), true}});
  std::string bad_crc = MakeZip({{"a.txt", "data", false}});
  bad_crc[30 + 5] ^= 0x01;  // flip a byte of the stored data
  std::string cut_directory = good.substr(0, good.size() - 30) + good.substr(good.size() - 22);
  // Values that the records leave to 64-bit records (0xFFFFFFFF) which are not there.
  std::string no_zip64_end = good;
  no_zip64_end.replace(no_zip64_end.size() - 6, 4, "\xFF\xFF\xFF\xFF");
  std::string no_zip64_extra = good;
  no_zip64_extra.replace(no_zip64_extra.find("PK\x01\x02") + 24, 4, "\xFF\xFF\xFF\xFF");
  const std::vector<BrokenCase> cases = {
      {"empty file", "", ZipStatus::kNotZip},
      {"text", "this is not an archive at all, just words", ZipStatus::kNotZip},
      {"truncated tail", good.substr(0, good.size() - 5), ZipStatus::kNotZip},
      {"directory past end", cut_directory, ZipStatus::kCorrupt},
      {"64-bit end record missing", no_zip64_end, ZipStatus::kCorrupt},
      {"64-bit extra field missing", no_zip64_extra, ZipStatus::kCorrupt},
  };
  for (const BrokenCase& c : cases) {
    auto source = MemorySource(c.bytes);
    std::vector<ZipEntry> entries;
    EXPECT_EQ(ReadDirectory(*source, &entries), c.directory) << c.what;
  }
  auto source = MemorySource(bad_crc);
  std::vector<ZipEntry> entries;
  ASSERT_EQ(ReadDirectory(*source, &entries), ZipStatus::kOk);
  ZipStatus status;
  ExtractAll(*source, entries[0], &status);
  EXPECT_EQ(status, ZipStatus::kCorrupt);
}

TEST(ZipReader, CorruptDeflateDataFails) {
  std::string bytes = MakeZip({{"a.txt", std::string(20000, 'z') + "tail", true}});
  for (size_t i = 30 + 5; i < 30 + 5 + 12; ++i) bytes[i] = static_cast<char>(0xFF);
  auto source = MemorySource(bytes);
  std::vector<ZipEntry> entries;
  ASSERT_EQ(ReadDirectory(*source, &entries), ZipStatus::kOk);
  ZipStatus status;
  ExtractAll(*source, entries[0], &status);
  EXPECT_NE(status, ZipStatus::kOk);
}

TEST(ZipReader, UnpackLimits) {
  const auto entry = [](uint64_t size, uint64_t compressed) {
    ZipEntry e;
    e.size = size;
    e.compressed_size = compressed;
    return e;
  };
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;
    bool within;
  };
  const uint64_t mib = uint64_t{1} << 20;
  const std::vector<Case> cases = {
      {"nothing", {}, true},
      {"ordinary", {entry(5 * mib, 2 * mib), entry(300, 2)}, true},
      {"small file of one byte repeated", {entry(mib, 1100)}, true},
      {"exactly the ratio", {entry(2 * mib, 2 * mib / 100)}, true},
      {"bomb", {entry(2 * mib, 2 * mib / 100 - 1)}, false},
      {"bomb after others", {entry(10, 10), entry(400 * mib, 400 * 1024)}, false},
      {"exactly the total", {entry(kMaxUnpackedBytes / 2, 512 * mib), entry(kMaxUnpackedBytes / 2, 512 * mib)}, true},
      {"over the total", {entry(kMaxUnpackedBytes / 2, 512 * mib), entry(kMaxUnpackedBytes / 2 + 1, 512 * mib)}, false},
      {"many entries summing over", std::vector<ZipEntry>(1025, entry(mib, mib)), false},
  };
  for (const Case& c : cases) EXPECT_EQ(WithinUnpackLimits(c.entries), c.within) << c.what;
}

}  // namespace
}  // namespace norvex::unzip
