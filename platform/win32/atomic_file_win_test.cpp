// What only Windows has: a file held open refuses to be replaced until it is closed.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win32/windows_api.h"
#include "platform/atomic_file.h"
#include "platform/win32/folder_lock_win.h"
#include "platform/win32/scoped_handle.h"
#include "tests/test_support.h"

#include <aclapi.h>

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

// The toolbar in a browser at low integrity must be able to take a lock that a program at medium
// integrity made first: the lock's mutex carries the low label.
TEST(AtomicFileWin, FolderLockCarriesTheLowIntegrityLabel) {
  test::TempFolder folder;
  const std::u16string file = folder.File("NorvexHistory.ini");
  const std::wstring name = win32::FolderLockName(file);
  ASSERT_FALSE(name.empty());
  FolderWriteLock lock(file);
  ASSERT_TRUE(lock.held());
  win32::ScopedKernelHandle mutex(::OpenMutexW(READ_CONTROL | SYNCHRONIZE, FALSE, name.c_str()));
  ASSERT_TRUE(mutex);
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(::GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, &sacl, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  DWORD level = 0;
  for (DWORD i = 0; sacl && i < sacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!::GetAce(sacl, i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    auto* label = reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    const PSID sid = reinterpret_cast<PSID>(&label->SidStart);
    level = *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1);
  }
  ::LocalFree(descriptor);
  EXPECT_EQ(level, static_cast<DWORD>(SECURITY_MANDATORY_LOW_RID));
}

}  // namespace
}  // namespace norvex::platform
