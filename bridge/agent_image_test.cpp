#include "bridge/agent_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "resources/bitmap_files_test.h"

namespace norvex::bridge {
namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(char(value >> (8 * i) & 0xFF));
}

// A BMP file of `rows` (top row first, each pixel 0xRRGGBB), bottom-up unless `topDown`.
std::string Bmp(const std::vector<std::vector<uint32_t>>& rows, int bits, bool topDown) {
  const int width = int(rows[0].size()), height = int(rows.size());
  const size_t rowSize = (size_t(width) * (bits / 8) + 3) & ~size_t(3);
  std::string pixels;
  for (int n = 0; n < height; ++n) {
    const auto& row = rows[topDown ? n : height - 1 - n];
    std::string line;
    for (const uint32_t rgb : row) {
      line.push_back(char(rgb & 0xFF));
      line.push_back(char(rgb >> 8 & 0xFF));
      line.push_back(char(rgb >> 16 & 0xFF));
      if (bits == 32) line.push_back('\0');
    }
    line.resize(rowSize, '\0');
    pixels += line;
  }
  std::string file = "BM";
  PutLe(file, uint32_t(54 + pixels.size()), 4);
  PutLe(file, 0, 4);
  PutLe(file, 54, 4);
  PutLe(file, 40, 4);
  PutLe(file, uint32_t(width), 4);
  PutLe(file, uint32_t(topDown ? -height : height), 4);
  PutLe(file, 1, 2);
  PutLe(file, uint32_t(bits), 2);
  PutLe(file, 0, 4);
  PutLe(file, uint32_t(pixels.size()), 4);
  PutLe(file, 2835, 4);
  PutLe(file, 2835, 4);
  PutLe(file, 0, 4);
  PutLe(file, 0, 4);
  return file + pixels;
}

constexpr uint32_t kMagenta = 0xFF00FF;      // as a pixel 0xRRGGBB
constexpr uint32_t kMagentaMask = 16711935;  // as a COLORREF 0x00BBGGRR
constexpr uint32_t kRedMask = 0x0000FF;      // COLORREF of pure red

TEST(AgentImage, MaskColourBecomesTransparentInEveryLayout) {
  const std::vector<std::vector<uint32_t>> rows = {{0x112233, kMagenta, 0xFF0000},
                                                   {kMagenta, 0x445566, 0x000000}};
  for (const int bits : {24, 32}) {
    for (const bool topDown : {false, true}) {
      const auto image = DecodeMaskedBitmap(Bmp(rows, bits, topDown), kMagentaMask);
      ASSERT_TRUE(image) << bits << topDown;
      ASSERT_EQ(image->width, 3);
      ASSERT_EQ(image->height, 2);
      const std::vector<uint8_t> expected = {0x11, 0x22, 0x33, 255, 0, 0, 0, 0,
                                             0xFF, 0,    0,    255, 0, 0, 0, 0,
                                             0x44, 0x55, 0x66, 255, 0, 0, 0, 255};
      EXPECT_EQ(image->pixels, expected) << bits << topDown;
    }
  }
  // The mask is a COLORREF: red is 0x0000FF there, and only red goes.
  const auto red = DecodeMaskedBitmap(Bmp(rows, 24, false), kRedMask);
  ASSERT_TRUE(red);
  EXPECT_EQ(red->pixels[8 + 3], 0);
  EXPECT_EQ(red->pixels[4 + 3], 255);
}

TEST(AgentImage, FilesThatAreNoSuchBitmapGiveNothing) {
  const std::string good = Bmp({{1, 2}, {3, 4}}, 24, false);
  auto with = [&](size_t at, std::string bytes) {
    std::string file = good;
    file.replace(at, bytes.size(), bytes);
    return file;
  };
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"not BM", with(0, "XX")},
      {"cut in the pixels", good.substr(0, good.size() - 1)},
      {"cut in the header", good.substr(0, 40)},
      {"8 bits", with(28, std::string("\x08\x00", 2))},
      {"compressed", with(30, std::string("\x01\x00\x00\x00", 4))},
      {"no width", with(18, std::string(4, '\0'))},
      {"huge width", with(18, std::string("\x00\x00\x01\x00", 4))},
      {"offset past the end", with(10, std::string("\xff\xff\x00\x00", 4))},
  };
  for (const auto& [name, file] : cases) {
    EXPECT_FALSE(DecodeMaskedBitmap(file, 0)) << name;
  }
}

TEST(AgentImage, DoubledImageRepeatsEachPixelTwiceEachWay) {
  RgbaImage image{2, 1, {1, 2, 3, 4, 5, 6, 7, 8}};
  const RgbaImage doubled = DoubleSize(image);
  ASSERT_EQ(doubled.width, 4);
  ASSERT_EQ(doubled.height, 2);
  const std::vector<uint8_t> row = {1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 5, 6, 7, 8};
  std::vector<uint8_t> expected = row;
  expected.insert(expected.end(), row.begin(), row.end());
  EXPECT_EQ(doubled.pixels, expected);
}

uint32_t Be32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
         uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}

TEST(AgentImage, PngHoldsTheImageInChunksWithTheirChecksums) {
  RgbaImage image{3, 2, {}};
  for (int i = 0; i < 3 * 2 * 4; ++i) image.pixels.push_back(uint8_t(i * 11));
  const std::string png = EncodePng(image);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  size_t at = 8;
  std::vector<std::string> types;
  std::string idat, ihdr;
  while (at + 12 <= png.size()) {
    const uint32_t length = Be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    const std::string data = png.substr(at + 8, length);
    uLong crc = crc32(0, nullptr, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(png.data() + at + 4), uInt(length + 4));
    EXPECT_EQ(Be32(png, at + 8 + length), uint32_t(crc)) << type;
    types.push_back(type);
    if (type == "IHDR") ihdr = data;
    if (type == "IDAT") idat += data;
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  ASSERT_EQ(ihdr.size(), 13u);
  EXPECT_EQ(Be32(ihdr, 0), 3u);
  EXPECT_EQ(Be32(ihdr, 4), 2u);
  EXPECT_EQ(ihdr.substr(8), std::string("\x08\x06\x00\x00\x00", 5));
  std::string raw(2 * (1 + 3 * 4), '\0');
  uLongf rawSize = uLongf(raw.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                       reinterpret_cast<const Bytef*>(idat.data()), uLong(idat.size())),
            Z_OK);
  ASSERT_EQ(rawSize, raw.size());
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(raw[size_t(y) * 13], '\0');
    EXPECT_EQ(0, std::memcmp(&raw[size_t(y) * 13 + 1], &image.pixels[size_t(y) * 12], 12));
  }
}

TEST(AgentImage, Base64OfTheStandardVectors) {
  const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                       {"f", "Zg=="},
                                                       {"fo", "Zm8="},
                                                       {"foo", "Zm9v"},
                                                       {"foob", "Zm9vYg=="},
                                                       {"fooba", "Zm9vYmE="},
                                                       {"foobar", "Zm9vYmFy"},
                                                       {std::string("\xff\xfe\x00", 3), "//4A"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(Base64(in), out) << in;
}

TEST(AgentImage, ImageKeysRoundTripAndStrangeKeysAreRefused) {
  EXPECT_EQ(ImageKey(249, 16711935), "249:16711935");
  EXPECT_EQ(ImageKey(0, 16711935), "");
  EXPECT_EQ(ParseImageKey("249:16711935"), std::make_pair(249, uint32_t(16711935)));
  for (const char* bad : {"", ":", "249", "249:", ":1", "a:1", "1:b", "1:2:3", "1 :2", "-:1"}) {
    EXPECT_FALSE(ParseImageKey(bad)) << bad;
  }
}

// Every bitmap an agent file may name is in the bridge, decodes, and is as large as the file
// says; magenta parts are transparent.
TEST(AgentImage, EveryModuleBitmapIsCarriedAndDecodes) {
  for (const int id : test::kBitmapIdentifiers) {
    const std::string_view file = ModuleBitmapFile(id);
    ASSERT_EQ(std::string(file), test::BitmapFileBytes(id)) << id;
    const auto image = DecodeMaskedBitmap(file, kMagentaMask);
    ASSERT_TRUE(image) << id;
    EXPECT_EQ(uint32_t(image->width), test::Le32(std::string(file), 18)) << id;
  }
  EXPECT_TRUE(ModuleBitmapFile(0).empty());
  EXPECT_TRUE(ModuleBitmapFile(250).empty());
}

}  // namespace
}  // namespace norvex::bridge
