// The Windows mover seam against the system (Wine's registry and files under the tests).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32/windows_api.h"
#include "service/tests/run_program.h"
#include "service/tests/scheduled_moves.h"
#include "service/win32/files_win.h"
#include "tests/test_support.h"

namespace norvex::service::win32 {
namespace {

TEST(Win32Mover, NtFamilyAndShortPaths) {
  Win32Mover mover;
  EXPECT_EQ(mover.PlatformId(), VER_PLATFORM_WIN32_NT);
  test::TempFolder temp;
  const std::string present = (temp.path() / "present.txt").string();
  std::ofstream(present) << "x";
  EXPECT_TRUE(mover.HasShortPath(present, 1000));
  EXPECT_FALSE(mover.HasShortPath((temp.path() / "absent.txt").string(), 1000));
  EXPECT_FALSE(mover.HasShortPath(present, 4));  // does not fit the buffer
}

TEST(Win32Mover, RunOnceValueHoldsTheMoverPath) {
  Win32Mover mover;
  const std::string command = "C:\\Program Files\\Norvex\\ShuntFile.exe";
  ASSERT_TRUE(mover.SetRunOnce("DriftcastTest", command));
  char value[512] = {};
  DWORD size = sizeof value;
  ASSERT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce",
                           "DriftcastTest", RRF_RT_REG_SZ, nullptr, value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(value), command);
  HKEY key;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce",
                            0, KEY_WRITE, &key),
            ERROR_SUCCESS);
  ::RegDeleteValueA(key, "DriftcastTest");
  ::RegCloseKey(key);
}

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";
constexpr char kProbeSettings[] = "Software\\Wine\\AppDefaults\\mover_probe.exe";

std::string RunOnceValue(const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value;
  if (::RegGetValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, name, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
    return "";
  }
  return value;
}

void DeleteRunOnceValue(const char* name) {
  HKEY key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueA(key, name);
    ::RegCloseKey(key);
  }
}

// The mover probe copied into a program folder of its own, with a file waiting in "Temp".
class MoverProbe : public ::testing::Test {
 protected:
  MoverProbe() {
    folder_ = temp_.path() / "Program Files" / "Norvex";
    std::filesystem::create_directories(folder_ / "Temp");
    std::filesystem::copy_file(MOVER_PROBE, folder_ / "mover_probe.exe");
    std::ofstream(folder_ / "Temp" / "a.txt") << "new";
    std::ofstream(folder_ / "a.txt") << "old";
    DeleteRunOnceValue("Driftcast");
  }
  ~MoverProbe() override {
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kProbeSettings);
    DeleteRunOnceValue("Driftcast");
    service::testing::ForgetScheduledMoves(folder_.string());
  }
  // Wine reports this version (as a compatibility layer would) to the probe only.
  void ReportVersion(const char* version) {
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kProbeSettings, 0, nullptr, 0, KEY_WRITE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                     static_cast<DWORD>(std::strlen(version) + 1));
    ::RegCloseKey(key);
  }
  std::string Run() {
    return service::testing::RunProgram((folder_ / "mover_probe.exe").string(), {}).output;
  }

  test::TempFolder temp_;
  std::filesystem::path folder_;
};

TEST_F(MoverProbe, NtFamilySchedulesADelayedMove) {
  EXPECT_EQ(Run(), "platform 2 scheduled 1\r\n");
  const auto moves = service::testing::ScheduledMoves(folder_.string());
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_NE(moves[0].first.find("Temp"), std::string::npos) << moves[0].first;
  EXPECT_EQ(RunOnceValue("Driftcast"), "");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "livefile.ini"));
}

TEST_F(MoverProbe, OlderFamilyRegistersTheQuotedMoverPath) {
  ReportVersion("win98");
  EXPECT_EQ(Run(), "platform 1 scheduled 1\r\n");
  // The folder name has a blank: unquoted, "C:\...\Program" could be started instead.
  EXPECT_EQ(RunOnceValue("Driftcast"), "\"" + (folder_ / "ShuntFile.exe").string() + "\"");
  std::ifstream list(folder_ / "livefile.ini");
  std::string text((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("COUNT=1"), std::string::npos) << text;
  EXPECT_TRUE(service::testing::ScheduledMoves(folder_.string()).empty());
}

// The tests' reader of the pending-rename list keeps a delete at the restart (a pair with an
// empty destination) also when it is the last entry of the list.
TEST(ScheduledMoves, DeleteAtRestartLastInTheListIsKept) {
  test::TempFolder temp;
  const std::string folder = temp.path().string();
  const std::string moved = (temp.path() / "moved.txt").string();
  const std::string target = (temp.path() / "target.txt").string();
  const std::string deleted = (temp.path() / "deleted.txt").string();
  std::ofstream(moved) << "m";
  std::ofstream(deleted) << "d";
  ASSERT_TRUE(::MoveFileExA(moved.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(::MoveFileExA(deleted.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  const auto moves = service::testing::ScheduledMoves(folder);
  service::testing::ForgetScheduledMoves(folder);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_TRUE(moves[0].first.ends_with("moved.txt")) << moves[0].first;
  EXPECT_TRUE(moves[0].second.ends_with("target.txt")) << moves[0].second;
  EXPECT_TRUE(moves[1].first.ends_with("deleted.txt")) << moves[1].first;
  EXPECT_EQ(moves[1].second, "");
  EXPECT_TRUE(service::testing::ScheduledMoves(folder).empty());
}

}  // namespace
}  // namespace norvex::service::win32
