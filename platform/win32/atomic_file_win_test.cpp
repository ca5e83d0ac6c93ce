// What only Windows has: a file held open refuses to be replaced until it is closed.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tests/test_support.h"

namespace norvex::platform {
namespace {

using win32::W;

TEST(AtomicFileWin, TargetHeldOpenForGoodIsLeftAsItWasWithNothingBeside) {
  test::TempFolder folder;
  const std::u16string file = folder.File("version.ini");
  test::WriteBytes(file, "[COMMON]\r\nVERSION=1\r\n");
  // A reader as the profile functions open files: without FILE_SHARE_DELETE.
  win32::ScopedKernelHandle reader(::CreateFileW(W(file), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(reader);
  EXPECT_FALSE(WriteFileAtomically(file, "[COMMON]\r\nVERSION=2\r\n"));
  reader.Close();
  EXPECT_EQ(test::ReadBytes(file), "[COMMON]\r\nVERSION=1\r\n");
  size_t names = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    (void)entry;
    ++names;
  }
  EXPECT_EQ(names, 1u);
  // Closed, it is replaced at once.
  EXPECT_TRUE(WriteFileAtomically(file, "[COMMON]\r\nVERSION=2\r\n"));
  EXPECT_EQ(test::ReadBytes(file), "[COMMON]\r\nVERSION=2\r\n");
}

}  // namespace
}  // namespace norvex::platform
