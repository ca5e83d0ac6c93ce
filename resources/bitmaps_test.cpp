#include <gtest/gtest.h>

#include "resources/bitmap_files_test.h"

namespace norvex {
namespace {

using test::Le32;

TEST(Bitmaps, EveryIdentifierHasAnUncompressed24BitBitmap) {
  for (int id : test::kBitmapIdentifiers) {
    SCOPED_TRACE(id);
    const std::string bytes = test::BitmapFileBytes(id);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    EXPECT_EQ(uint16_t(uint8_t(bytes[28])), 24);
    EXPECT_EQ(Le32(bytes, 30), 0u);  // no compression
    EXPECT_EQ(Le32(bytes, 18), id == 213 ? 15u : 16u);
    EXPECT_EQ(Le32(bytes, 22), id == 213 ? 24u : 16u);
  }
}

}  // namespace
}  // namespace norvex
