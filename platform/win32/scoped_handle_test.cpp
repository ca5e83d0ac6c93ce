#include "platform/win32/scoped_handle.h"

#include <gtest/gtest.h>

#include <utility>

namespace norvex::platform::win32 {
namespace {

bool IsOpen(HANDLE event) {
  DWORD flags = 0;
  return ::GetHandleInformation(event, &flags) != FALSE;
}

TEST(ScopedHandle, ClosesOnceAndHandsOverOnlyThroughTake) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedKernelHandle first(raw);
    ScopedKernelHandle second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw)) << "closed when its holder went";

  raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedKernelHandle holder(raw);
    EXPECT_EQ(holder.Take(), raw);
    EXPECT_FALSE(holder.valid());
  }
  EXPECT_TRUE(IsOpen(raw)) << "taken: the caller closes it";
  ::CloseHandle(raw);
}

TEST(ScopedHandle, EmptyValuesOfEveryKindAreNotHandles) {
  EXPECT_FALSE(ScopedKernelHandle(INVALID_HANDLE_VALUE).valid());
  EXPECT_FALSE(ScopedKernelHandle(nullptr).valid());
  EXPECT_FALSE(ScopedRegistryKey().valid());
  EXPECT_FALSE(ScopedWindow().valid());
  EXPECT_TRUE(ScopedMenu().Close()) << "closing an empty holder succeeds";
}

TEST(ScopedHandle, TheDestructorKeepsTheLastErrorAndCloseReportsFailure) {
  {
    ScopedKernelHandle holder(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ::SetLastError(ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  ScopedMenu menu(::CreatePopupMenu());
  HMENU raw = menu.get();
  ASSERT_TRUE(menu.Close());
  EXPECT_FALSE(::IsMenu(raw));
  ScopedMenu stale(raw);
  EXPECT_FALSE(stale.Close()) << "a handle that is already gone fails to close";
}

TEST(ScopedSelectObject, RestoresThePreviousObject) {
  ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
  ScopedBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
  HGDIOBJ before = ::GetCurrentObject(dc.get(), OBJ_BRUSH);
  {
    ScopedSelectObject select(dc.get(), brush.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), brush.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), before);
}

}  // namespace
}  // namespace norvex::platform::win32
