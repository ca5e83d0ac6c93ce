// The toolbar module's bitmap files as the resource tests read them.
#pragma once

#include <cstdint>
#include <string>

#include "tests/test_support.h"

namespace norvex::test {

// Every identifier that agent files may name, and the two the toolbar uses itself.
inline constexpr int kBitmapIdentifiers[] = {213, 226, 228, 230, 233, 235, 236, 238, 239,
                                             240, 241, 242, 244, 245, 246, 247, 248, 249,
                                             251, 252, 253, 254, 255, 256, 257, 258, 259};

inline uint32_t Le32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
         uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// The bytes of resources/bitmaps/ID.bmp.
inline std::string BitmapFileBytes(int id) {
  const std::string name = std::to_string(id) + ".bmp";
  return ReadBytes(SourceFolder() + u"/resources/bitmaps/" +
                   std::u16string(name.begin(), name.end()));
}

}  // namespace norvex::test
