// The Windows mover seam against the system (Wine's registry and files under the tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "service/win32/files_win.h"
#include "service/win32/windows_service_api.h"
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

}  // namespace
}  // namespace norvex::service::win32
