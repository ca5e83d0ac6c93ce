#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/test_support.h"

#if NORVEX_RESOURCES_COMPILED
#include "platform/win32/windows_api.h"
#endif

namespace norvex {
namespace {

// Every identifier that agent files may name, and the two the toolbar uses itself.
const int kIdentifiers[] = {213, 226, 228, 230, 233, 235, 236, 238, 239, 240, 241, 242, 244, 245,
                            246, 247, 248, 249, 251, 252, 253, 254, 255, 256, 257, 258, 259};

uint32_t Le32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
         uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

TEST(Bitmaps, EveryIdentifierHasAnUncompressed24BitBitmap) {
  for (int id : kIdentifiers) {
    SCOPED_TRACE(id);
    const std::u16string path = test::SourceFolder() + u"/resources/bitmaps/" +
                                std::u16string(u"") + [&] {
                                  const std::string s = std::to_string(id) + ".bmp";
                                  return std::u16string(s.begin(), s.end());
                                }();
    const std::string bytes = test::ReadBytes(path);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    const uint32_t width = Le32(bytes, 18), height = Le32(bytes, 22);
    EXPECT_EQ(uint16_t(uint8_t(bytes[28])), 24);
    EXPECT_EQ(Le32(bytes, 30), 0u);  // no compression
    EXPECT_EQ(width, id == 213 ? 15u : 16u);
    EXPECT_EQ(height, id == 213 ? 24u : 16u);
#if NORVEX_RESOURCES_COMPILED
    HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                       MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_NE(::GetObjectW(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(uint32_t(info.bmWidth), width);
    EXPECT_EQ(uint32_t(info.bmHeight), height);
    ::DeleteObject(bitmap);
#endif
  }
}

}  // namespace
}  // namespace norvex
