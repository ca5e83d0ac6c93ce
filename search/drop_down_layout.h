// Where the parts of the search box's drop-down go, for a client area of width W and height H:
// the list above a 20-pixel strip, the scroll bar and the size grip in the right column, and
// the "履歴の削除" button at the right of the strip; and where its list scrolls to.
#pragma once

#include <algorithm>

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

// What the drop-down's scroll bar asks of its list.
enum class ScrollRequest { kLineUp, kLineDown, kPageUp, kPageDown, kTop, kBottom, kThumb };

// The list's first shown entry after `request`, from `top`, for `count` entries of which
// `visible` fit: a line or a page (`visible` entries) up or down, the first or the last page, or
// the thumb's position `thumb`; never before the first entry nor past the last full page.
inline int ScrolledTop(ScrollRequest request, int top, int count, int visible, int thumb = 0) {
  const int last = std::max(count - visible, 0);
  switch (request) {
    case ScrollRequest::kLineUp:
      top -= 1;
      break;
    case ScrollRequest::kLineDown:
      top += 1;
      break;
    case ScrollRequest::kPageUp:
      top -= visible;
      break;
    case ScrollRequest::kPageDown:
      top += visible;
      break;
    case ScrollRequest::kTop:
      top = 0;
      break;
    case ScrollRequest::kBottom:
      top = last;
      break;
    case ScrollRequest::kThumb:
      top = thumb;
      break;
  }
  return std::clamp(top, 0, last);
}

}  // namespace norvex::search
