#include "platform/win32/scoped_handle.h"

#include "platform/win32/scoped_dc.h"

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

// An API's out-parameter: what the holder had is closed first, what the API gives is held.
TEST(ScopedHandle, ReceiveClosesWhatItHeldAndHoldsWhatIsGiven) {
  HANDLE first = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ScopedKernelHandle holder(first);
  HANDLE* slot = holder.Receive();
  EXPECT_FALSE(IsOpen(first)) << "closed before the slot is handed out";
  EXPECT_FALSE(holder.valid());
  *slot = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(holder.valid());
  EXPECT_EQ(holder.get(), *slot);

  ScopedRegistryKey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive()),
            ERROR_SUCCESS);
  EXPECT_TRUE(key.valid());
  EXPECT_NE(
      ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\NoSuchNorvexKey", 0, KEY_READ, key.Receive()),
      ERROR_SUCCESS);
  EXPECT_FALSE(key.valid()) << "a failed open leaves the holder empty";
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

// The device-context guards put back what they changed, innermost first.
TEST(ScopedDc, GuardsPutTheStateBackAsTheyFoundIt) {
  ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc.valid());
  ::SetBkMode(dc.get(), OPAQUE);
  ::SetTextColor(dc.get(), RGB(1, 2, 3));
  ::SetBkColor(dc.get(), RGB(4, 5, 6));
  {
    const ScopedBkMode mode(dc.get(), TRANSPARENT);
    const ScopedTextColor text(dc.get(), RGB(7, 8, 9));
    const ScopedBkColor back(dc.get(), RGB(10, 11, 12));
    EXPECT_EQ(::GetBkMode(dc.get()), TRANSPARENT);
    EXPECT_EQ(::GetTextColor(dc.get()), RGB(7, 8, 9));
    {
      const ScopedTextColor inner(dc.get(), RGB(13, 14, 15));
      EXPECT_EQ(::GetTextColor(dc.get()), RGB(13, 14, 15));
    }
    EXPECT_EQ(::GetTextColor(dc.get()), RGB(7, 8, 9));
    EXPECT_EQ(::GetBkColor(dc.get()), RGB(10, 11, 12));
  }
  EXPECT_EQ(::GetBkMode(dc.get()), OPAQUE);
  EXPECT_EQ(::GetTextColor(dc.get()), RGB(1, 2, 3));
  EXPECT_EQ(::GetBkColor(dc.get()), RGB(4, 5, 6));

  // The screen's device context, taken and given back.
  {
    const ScopedWindowDc screen(nullptr);
    EXPECT_TRUE(screen);
    EXPECT_GT(::GetDeviceCaps(screen.get(), HORZRES), 0);
  }
}

}  // namespace
}  // namespace norvex::platform::win32
