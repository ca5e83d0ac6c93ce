#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/text.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace norvex::platform {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

TEST(PosixProfileStore, SeveralProcessesWritingDistinctKeysLoseNone) {
  TempFolder folder;
  const std::u16string file = folder.File("shared.ini");
  WriteBytes(file, "[keep]\r\nmine=yes\r\n");
  constexpr int kProcesses = 6;
  constexpr int kKeys = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int k = 0; k < kKeys; ++k) {
        ok &= NativeProfileStore().WriteString(file, u"s" + FormatInt(k % 3),
                                               u"p" + FormatInt(p) + u"k" + FormatInt(k),
                                               FormatInt(p * 1000 + k));
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int p = 0; p < kProcesses; ++p) {
    for (int k = 0; k < kKeys; ++k) {
      EXPECT_EQ(NativeProfileStore().GetString(file, u"s" + FormatInt(k % 3),
                                               u"p" + FormatInt(p) + u"k" + FormatInt(k), u"lost",
                                               260),
                FormatInt(p * 1000 + k));
    }
  }
  EXPECT_EQ(NativeProfileStore().GetString(file, u"keep", u"mine", u"", 260), u"yes");
  // Only the file itself is left: no temporary files.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(PosixProfileStore, CachedReadsSeeChangesMadeBehindTheirBack) {
  TempFolder folder;
  const std::u16string file = folder.File("cache.ini");
  WriteBytes(file, "[s]\nk=1\n");
  EXPECT_EQ(NativeProfileStore().GetString(file, u"s", u"k", u"", 260), u"1");
  // Same size, rewritten in place by another program.
  WriteBytes(file, "[s]\nk=2\n");
  std::filesystem::last_write_time(
      test::FsPath(file), std::filesystem::last_write_time(test::FsPath(file)) +
                              std::chrono::seconds(1));
  EXPECT_EQ(NativeProfileStore().GetString(file, u"s", u"k", u"", 260), u"2");
  std::filesystem::remove(test::FsPath(file));
  EXPECT_EQ(NativeProfileStore().GetString(file, u"s", u"k", u"gone", 260), u"gone");
}

TEST(PosixProfileStore, WriteKeepsFileMode) {
  TempFolder folder;
  const std::u16string file = folder.File("mode.ini");
  WriteBytes(file, "[s]\nk=1\n");
  std::filesystem::permissions(test::FsPath(file), std::filesystem::perms(0640));
  ASSERT_TRUE(NativeProfileStore().WriteString(file, u"s", u"k", u"2"));
  EXPECT_EQ(std::filesystem::status(test::FsPath(file)).permissions(),
            std::filesystem::perms(0640));
  EXPECT_EQ(ReadBytes(file), "[s]\nk=2\n");
}

}  // namespace
}  // namespace norvex::platform
