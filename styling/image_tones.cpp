#include "styling/image_tones.h"

#include <algorithm>

namespace norvex::styling {

namespace {

int Red(uint32_t c) { return static_cast<int>(c & 0xFF); }
int Green(uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
uint32_t Make(int r, int g, int b) {
  return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

// `from` moved `percent` of the way to `to`, rounded to the nearest value.
int Towards(int from, int to, int percent) { return from + ((to - from) * percent + (to > from ? 50 : -50)) / 100; }

}  // namespace

uint32_t LightenColor(uint32_t color, int percent) {
  percent = std::clamp(percent, 0, 100);
  return Make(Towards(Red(color), 255, percent), Towards(Green(color), 255, percent),
              Towards(Blue(color), 255, percent));
}

uint32_t DarkenColor(uint32_t color, int percent) {
  percent = std::clamp(percent, 0, 100);
  return Make(Towards(Red(color), 0, percent), Towards(Green(color), 0, percent),
              Towards(Blue(color), 0, percent));
}

uint32_t GreyColor(uint32_t color) {
  const int grey = (Red(color) * 30 + Green(color) * 59 + Blue(color) * 11 + 50) / 100;
  return Make(grey, grey, grey);
}

uint32_t ToneColor(uint32_t color, ImageTone tone) {
  switch (tone) {
    case ImageTone::kAsIs:
      return color & 0xFFFFFF;
    case ImageTone::kFaded:
      return LightenColor(color, 20);
    case ImageTone::kShadow:
      return DarkenColor(GreyColor(LightenColor(color, 30)), 40);
    case ImageTone::kGreyed:
      return LightenColor(GreyColor(color), 45);
  }
  return color & 0xFFFFFF;
}

void ToneImage(std::vector<uint32_t>& pixels, uint32_t transparent, ImageTone tone) {
  transparent &= 0xFFFFFF;
  for (uint32_t& pixel : pixels) {
    if ((pixel & 0xFFFFFF) == transparent) continue;
    pixel = ToneColor(pixel, tone);
    // A toned pixel must not vanish: the nearest other colour instead.
    if (pixel == transparent) pixel ^= 0x010000;
  }
}

}  // namespace norvex::styling
