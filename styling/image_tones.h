// Tones of the small images that menus show beside their items: lightened, darkened, greyed.
// Colours are COLORREF values (0x00BBGGRR); the transparent colour of an image is never toned,
// so that it stays transparent.
#pragma once

#include <cstdint>
#include <vector>

namespace norvex::styling {

// The colour moved `percent` (0-100) of the way towards white, or towards black.
uint32_t LightenColor(uint32_t color, int percent);
uint32_t DarkenColor(uint32_t color, int percent);
// The colour's grey of equal brightness (weights 30 % red, 59 % green, 11 % blue).
uint32_t GreyColor(uint32_t color);

enum class ImageTone {
  kAsIs,
  kFaded,    // slightly lightened: an item that is not hot, in the flat style
  kShadow,   // a dark grey copy, drawn under the hot item's image in the flat style
  kGreyed,   // greyed and lightened: a grayed item
};

// The colour in the given tone.
uint32_t ToneColor(uint32_t color, ImageTone tone);

// Tones every pixel of an image except those of the transparent colour; a pixel whose tone
// would be the transparent colour gets the nearest other colour.
void ToneImage(std::vector<uint32_t>& pixels, uint32_t transparent, ImageTone tone);

}  // namespace norvex::styling
