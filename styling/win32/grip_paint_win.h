// The painting of the toolbar's resize grip: the band's background, a toolbar button's face
// while the pointer is over the grip (hot) or drags it (pressed), and the grip bitmap with its
// magenta left out. Themed through the visual styles when they are on, classic edges otherwise.
#pragma once

#include "platform/win32/windows_api.h"
#include "styling/win32/visual_styles_win.h"

namespace norvex::styling::win32 {

inline constexpr COLORREF kGripTransparent = RGB(255, 0, 255);

struct GripLook {
  HWND window = nullptr;  // the grip: its parent paints the background
  HBITMAP bitmap = nullptr;
  bool hot = false;
  bool dragging = false;
};

void PaintGrip(HDC dc, const RECT& client, const GripLook& look,
               VisualStyles& styles = SystemVisualStyles());

// What the parent of `window` shows behind `rect` (in `window`'s coordinates): the parent paints
// its background into the device context; without a parent that does, the button face colour.
void PaintParentBackground(HWND window, HDC dc, const RECT& rect, VisualStyles& styles);

}  // namespace norvex::styling::win32
