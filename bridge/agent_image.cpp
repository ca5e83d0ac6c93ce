#include "bridge/agent_image.h"

#include <zlib.h>

#include <array>
#include <charconv>

namespace norvex::bridge {

namespace {

uint32_t Le(std::string_view b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | uint8_t(b[at + i]);
  return value;
}

void PutBe32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char(value >> shift & 0xFF));
}

void PutChunk(std::string& out, const char type[4], std::string_view data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.append(type, 4);
  out.append(data);
  uLong crc = crc32(0, nullptr, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data() + start), uInt(out.size() - start));
  PutBe32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::optional<RgbaImage> DecodeMaskedBitmap(std::string_view bmp, uint32_t mask) {
  constexpr size_t kFileHeader = 14;
  if (bmp.size() < kFileHeader + 40 || bmp.substr(0, 2) != "BM") return std::nullopt;
  const uint32_t dataOffset = Le(bmp, 10, 4);
  const uint32_t infoSize = Le(bmp, kFileHeader, 4);
  const int32_t width = static_cast<int32_t>(Le(bmp, kFileHeader + 4, 4));
  const int32_t rawHeight = static_cast<int32_t>(Le(bmp, kFileHeader + 8, 4));
  const uint32_t bits = Le(bmp, kFileHeader + 14, 2);
  const uint32_t compression = Le(bmp, kFileHeader + 16, 4);
  if (infoSize < 40 || compression != 0 || (bits != 24 && bits != 32)) return std::nullopt;
  // Our bitmaps are 16 pixels; anything beyond a few hundred is not an agent image.
  constexpr int32_t kLargest = 1024;
  const bool topDown = rawHeight < 0;
  const int64_t height = topDown ? -int64_t(rawHeight) : rawHeight;
  if (width <= 0 || width > kLargest || height <= 0 || height > kLargest) return std::nullopt;
  const size_t bytesPerPixel = bits / 8;
  const size_t rowSize = (size_t(width) * bytesPerPixel + 3) & ~size_t(3);
  if (dataOffset > bmp.size() || bmp.size() - dataOffset < rowSize * size_t(height)) {
    return std::nullopt;
  }
  RgbaImage image;
  image.width = width;
  image.height = static_cast<int>(height);
  image.pixels.resize(size_t(width) * size_t(height) * 4);
  const uint8_t maskRed = mask & 0xFF, maskGreen = mask >> 8 & 0xFF, maskBlue = mask >> 16 & 0xFF;
  for (int64_t y = 0; y < height; ++y) {
    const size_t row = dataOffset + rowSize * size_t(topDown ? y : height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      const size_t at = row + size_t(x) * bytesPerPixel;
      const uint8_t blue = uint8_t(bmp[at]), green = uint8_t(bmp[at + 1]),
                    red = uint8_t(bmp[at + 2]);
      uint8_t* out = &image.pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
      const bool transparent = red == maskRed && green == maskGreen && blue == maskBlue;
      out[0] = transparent ? 0 : red;
      out[1] = transparent ? 0 : green;
      out[2] = transparent ? 0 : blue;
      out[3] = transparent ? 0 : 255;
    }
  }
  return image;
}

RgbaImage DoubleSize(const RgbaImage& image) {
  RgbaImage doubled;
  doubled.width = image.width * 2;
  doubled.height = image.height * 2;
  doubled.pixels.resize(size_t(doubled.width) * size_t(doubled.height) * 4);
  for (int y = 0; y < doubled.height; ++y) {
    for (int x = 0; x < doubled.width; ++x) {
      const uint8_t* from =
          &image.pixels[(size_t(y / 2) * size_t(image.width) + size_t(x / 2)) * 4];
      uint8_t* to = &doubled.pixels[(size_t(y) * size_t(doubled.width) + size_t(x)) * 4];
      std::copy(from, from + 4, to);
    }
  }
  return doubled;
}

std::string EncodePng(const RgbaImage& image) {
  // Every row starts with filter type 0 (none): the images are tiny, and plain rows compress
  // well enough.
  std::string raw;
  const size_t stride = size_t(image.width) * 4;
  raw.reserve((stride + 1) * size_t(image.height));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(&image.pixels[size_t(y) * stride]), stride);
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packedSize);

  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBe32(header, uint32_t(image.width));
  PutBe32(header, uint32_t(image.height));
  header += std::string("\x08\x06\x00\x00\x00",
                        5);  // 8 bits, RGBA, deflate, no filter choice, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return png;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                       uint8_t(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kDigits[n >> shift & 63]);
  }
  if (const size_t left = bytes.size() - i) {
    uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
    if (left == 2) n |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    out.push_back(kDigits[n >> 18 & 63]);
    out.push_back(kDigits[n >> 12 & 63]);
    out.push_back(left == 2 ? kDigits[n >> 6 & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::string ImageKey(int bitmap, uint32_t mask) {
  if (bitmap == 0) return {};
  return std::to_string(bitmap) + ":" + std::to_string(mask);
}

std::optional<std::pair<int, uint32_t>> ParseImageKey(std::string_view key) {
  const size_t colon = key.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == key.size()) return std::nullopt;
  int bitmap = 0;
  uint32_t mask = 0;
  const char* end = key.data() + colon;
  auto first = std::from_chars(key.data(), end, bitmap);
  if (first.ec != std::errc() || first.ptr != end) return std::nullopt;
  auto second = std::from_chars(end + 1, key.data() + key.size(), mask);
  if (second.ec != std::errc() || second.ptr != key.data() + key.size()) return std::nullopt;
  return std::make_pair(bitmap, mask);
}

}  // namespace norvex::bridge
