// Where the parts of the search box's drop-down go, for a client area of width W and height H:
// the list above a 20-pixel strip, the scroll bar and the size grip in the right column, and
// the "履歴の削除" button at the right of the strip.
#pragma once

#include "common/geometry.h"

namespace norvex::search {

// The height of the strip below the list, and the width of the delete button's column.
inline constexpr int kDropStripHeight = 20;
inline constexpr int kDeleteButtonColumn = 80;

struct DropDownLayout {
  Rect list, scrollBar, sizeGrip, deleteButton, strip;
  bool operator==(const DropDownLayout&) const = default;
};

// `scrollWidth` is a vertical scroll bar's width, `scrollArrowHeight` the height of its arrow.
inline DropDownLayout LayoutDropDown(int width, int height, int scrollWidth, int scrollArrowHeight) {
  const int w = width, h = height, sb = scrollWidth, sbh = scrollArrowHeight;
  return {
      {0, 0, w - sb, h - kDropStripHeight},
      {w - sb, 0, w, h - sbh},
      {w - sb, h - sbh, w, h},
      {w - kDeleteButtonColumn, h - kDropStripHeight, w - sb, h},
      {0, h - kDropStripHeight, w - 20, h},
  };
}

}  // namespace norvex::search
