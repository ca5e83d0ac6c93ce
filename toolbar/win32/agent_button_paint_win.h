// Painting of an agent button's face: its bitmap with the agent's transparent colour, its
// caption, and the arrow of a menu or split button, pressed or not, enabled or not.
#pragma once

#include <string>

#include "catalogue/agent_types.h"
#include "platform/win32/windows_api.h"

namespace norvex::toolbar::win32 {

struct ButtonFace {
  std::u16string caption;
  HBITMAP normal = nullptr, disabled = nullptr, pressedImage = nullptr;  // null: no bitmap
  COLORREF transparent = 0;
  catalogue::MenuStyle style = catalogue::MenuStyle::kPlain;
  bool pressed = false;
  bool enabled = true;
  HFONT font = nullptr;
};

// Paints the face into `dc` within `rect`. Every GDI object selected is restored before it
// returns.
void PaintAgentButton(HDC dc, const RECT& rect, const ButtonFace& face);

// Draws `bitmap` at (x, y) with `transparent` left out.
void DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, COLORREF transparent);

}  // namespace norvex::toolbar::win32
