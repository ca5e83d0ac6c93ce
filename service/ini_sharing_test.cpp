// The service's INI files shared with other processes: toolbars read "version.ini" while the
// service rewrites it, and every writer of a file keeps the others' keys. The other processes
// are real ones (ini_sharing_child), started from here.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/tests/service_fakes.h"
#include "service/update_files.h"
#include "tests/child_process.h"
#include "tests/test_support.h"

namespace norvex::service {
namespace {

namespace fs = std::filesystem;
using testing::ServiceFixture;

constexpr char kChild[] = INI_SHARING_CHILD;

// Waits for a file that another process makes when it is ready. The wait is for a process that
// Wine starts slowly, not a measure of anything; it ends after about two minutes all the same.
bool AwaitFile(const fs::path& path) {
  for (int i = 0; i < 12000; ++i) {
    if (fs::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Makes a file when the object goes, whatever way the test ends.
class MarkerOnExit {
 public:
  explicit MarkerOnExit(fs::path path) : path_(std::move(path)) {}
  ~MarkerOnExit() { Make(); }
  void Make() const {
    if (!fs::exists(path_)) test::WriteBytes(path_.u16string(), "");
  }

 private:
  fs::path path_;
};

// What a writer left beside the file: its temporary files, which must all be gone.
std::vector<std::string> LeftBeside(const fs::path& file) {
  std::vector<std::string> left;
  const std::string prefix = file.filename().string() + ".";
  for (const auto& entry : fs::directory_iterator(file.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) left.push_back(name);
  }
  return left;
}

TEST(IniSharing, ToolbarsReadingVersionIniNeverMeetAPartOrNoFileWhileTheServiceRewritesIt) {
  constexpr int kReaders = 4;
  constexpr int kRewrites = 150;
  constexpr int kModules = 200;
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  // Large enough that a copy cut anywhere misses sections.
  std::string installed = "[COMMON]\r\nVERSION=1.0.0\r\n";
  for (int i = 0; i < kModules; ++i) {
    installed += "[Module_" + std::to_string(i) + "]\r\nNAME=Module number " +
                 std::to_string(i) + " of the installation\r\nVERSION=1.0." +
                 std::to_string(i) + "\r\n";
  }
  f.Write("version.ini", installed);

  const fs::path done = f.At("writer-done");
  std::vector<std::unique_ptr<test::ChildProcess>> readers;
  MarkerOnExit finish(done);  // goes before the readers are waited for
  for (int r = 0; r < kReaders; ++r) {
    readers.push_back(std::make_unique<test::ChildProcess>(
        kChild, std::vector<std::string>{"read", f.At("version.ini").string(),
                                         std::to_string(kModules + 1), std::to_string(kRewrites),
                                         f.At("ready-" + std::to_string(r)).string(),
                                         done.string()}));
    ASSERT_TRUE(readers.back()->started());
  }
  for (int r = 0; r < kReaders; ++r) ASSERT_TRUE(AwaitFile(f.At("ready-" + std::to_string(r))));

  for (int i = 1; i <= kRewrites; ++i) {
    ASSERT_TRUE(files.WriteIniString(files.VersionIniPath(), "COMMON", "VERSION",
                                     "1.0." + std::to_string(i)));
  }
  finish.Make();
  for (int r = 0; r < kReaders; ++r) EXPECT_EQ(readers[r]->Wait(), 0) << "reader " << r;
  EXPECT_EQ(files.ReadIniString("version.ini", "COMMON", "VERSION", ""),
            "1.0." + std::to_string(kRewrites));
  EXPECT_EQ(files.ReadIniSectionNames("version.ini").size(), static_cast<size_t>(kModules + 1));
  EXPECT_EQ(LeftBeside(f.At("version.ini")), std::vector<std::string>{});
}

TEST(IniSharing, ServiceWritersInSeveralProcessesLoseNoneOfEachOthersKeys) {
  constexpr int kWriters = 4;
  constexpr int kKeys = 25;
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  f.Write("product.ini", "[COMMON]\r\nLAST_UPDATE_TIME=200904030905\r\n");
  std::vector<std::unique_ptr<test::ChildProcess>> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(std::make_unique<test::ChildProcess>(
        kChild, std::vector<std::string>{"write", f.At("product.ini").string(),
                                         "W" + std::to_string(w), std::to_string(kKeys)}));
    ASSERT_TRUE(writers.back()->started());
  }
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(writers[w]->Wait(), 0) << "writer " << w;
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 1; k <= kKeys; ++k) {
      EXPECT_EQ(files.ReadIniString("product.ini", "W" + std::to_string(w),
                                    "K" + std::to_string(k), "lost"),
                std::to_string(k))
          << "writer " << w << ", key " << k;
    }
  }
  EXPECT_EQ(files.ReadIniString("product.ini", "COMMON", "LAST_UPDATE_TIME", ""), "200904030905");
  EXPECT_EQ(LeftBeside(f.At("product.ini")), std::vector<std::string>{});
}

// The service's writes leave each file in the form it had, as the profile functions do.
TEST(IniSharing, ServiceWritesKeepTheFormOfTheFile) {
  const struct {
    const char* name;
    std::string before;  // empty: no file
    const char* section;
    const char* key;
    std::string value;
    std::string after;
  } cases[] = {
      {"a new file", "", "COMMON", "VERSION", "1.0.1", "[COMMON]\r\nVERSION=1.0.1\r\n"},
      {"a changed key", "[COMMON]\r\nVERSION=1.0.0\r\n[A]\r\nVERSION=1.0.0\r\n", "A", "VERSION",
       "1.0.1", "[COMMON]\r\nVERSION=1.0.0\r\n[A]\r\nVERSION=1.0.1\r\n"},
      {"LF line ends", "[COMMON]\nVERSION=1.0.0\n", "B", "VERSION", "2",
       "[COMMON]\nVERSION=1.0.0\n[B]\nVERSION=2\n"},
      {"UTF-16 with a byte-order mark",
       test::Utf16LeWithBom(u"[COMMON]\r\nVERSION=1.0.0\r\n; \u30c6\u30b9\u30c8\r\n"), "COMMON",
       "VERSION", "1.0.1",
       test::Utf16LeWithBom(u"[COMMON]\r\nVERSION=1.0.1\r\n; \u30c6\u30b9\u30c8\r\n")},
      // Code page 932 bytes (the ANSI code page of a Japanese system) stay the same bytes.
      {"bytes of the ANSI code page", "[COMMON]\r\nNAME=\x83\x65\r\n", "COMMON", "NAME",
       "\x83\x65\x83\x58\x83\x67", "[COMMON]\r\nNAME=\x83\x65\x83\x58\x83\x67\r\n"},
  };
  for (const auto& c : cases) {
    ServiceFixture f;
    UpdateFiles files(f.platform, f.LogPath());
    if (!c.before.empty()) f.Write("version.ini", c.before);
    EXPECT_TRUE(files.WriteIniString("version.ini", c.section, c.key, c.value)) << c.name;
    EXPECT_EQ(f.Read("version.ini"), c.after) << c.name;
    EXPECT_EQ(files.ReadIniString("version.ini", c.section, c.key, ""), c.value) << c.name;
    EXPECT_EQ(LeftBeside(f.At("version.ini")), std::vector<std::string>{}) << c.name;
  }
}

}  // namespace
}  // namespace norvex::service
