// A rectangle in pixels, edges as Windows gives them: left and top inside, right and bottom
// outside. The toolbar's layout, the search box and the windows that show them share it.
#pragma once

namespace norvex {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

}  // namespace norvex
