#include <gtest/gtest.h>

#include "platform/win32/windows_api.h"
#include "resources/bitmap_files_test.h"

namespace norvex {
namespace {

using test::Le32;

// The bitmaps compiled into the resources load, in the size of their files.
TEST(Bitmaps, EveryIdentifierLoadsFromTheResources) {
  for (int id : test::kBitmapIdentifiers) {
    SCOPED_TRACE(id);
    const std::string bytes = test::BitmapFileBytes(id);
    ASSERT_GE(bytes.size(), 54u);
    HBITMAP bitmap = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_NE(::GetObjectW(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(uint32_t(info.bmWidth), Le32(bytes, 18));
    EXPECT_EQ(uint32_t(info.bmHeight), Le32(bytes, 22));
    ::DeleteObject(bitmap);
  }
}

}  // namespace
}  // namespace norvex
