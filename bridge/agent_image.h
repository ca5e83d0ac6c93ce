// The agents' images for the browsers: a bitmap of the toolbar module, its pixels of the mask
// colour made transparent (as the toolbar draws it), as PNG at its own size and at twice it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvex::bridge {

// Pixels, top row first, four bytes each: red, green, blue, alpha.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// An uncompressed 24- or 32-bit BMP file (bottom-up or top-down) with every pixel whose colour
// equals `mask` (a COLORREF, 0x00BBGGRR) transparent and every other opaque. Nothing for a file
// that is not such a bitmap, or whose header claims more pixels than the file holds.
std::optional<RgbaImage> DecodeMaskedBitmap(std::string_view bmp, uint32_t mask);

// Each pixel doubled in both directions: the 16-pixel art stays sharp on a screen of device
// pixel ratio 2.
RgbaImage DoubleSize(const RgbaImage& image);

// The image as a PNG file (8-bit RGBA, no interlace); empty when compression fails.
std::string EncodePng(const RgbaImage& image);

// Standard base64 with padding and without line breaks.
std::string Base64(std::string_view bytes);

// The key of an image in the protocol: "BITMAP:MASK" in decimal; empty for bitmap 0 (no image).
std::string ImageKey(int bitmap, uint32_t mask);
// The parts of a key; nothing when it is not two decimal numbers joined by a colon.
std::optional<std::pair<int, uint32_t>> ParseImageKey(std::string_view key);

// The bytes of the module's bitmap file with this identifier; empty when there is none.
std::string_view ModuleBitmapFile(int bitmap);

}  // namespace norvex::bridge
