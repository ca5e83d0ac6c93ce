#include "toolbar/headless_surface.h"

namespace norvex::toolbar {

int HeadlessSurface::TextWidth(const std::u16string& text) {
  int width = 0;
  for (char16_t c : text) {
    if (c >= 0xDC00 && c <= 0xDFFF) continue;  // second half of a pair: counted with the first
    width += c < 0x80 ? kNarrowChar : kWideChar;
  }
  return width;
}

}  // namespace norvex::toolbar
