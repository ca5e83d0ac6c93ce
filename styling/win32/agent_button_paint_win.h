// The painting of an agent button (and of the chevron): the plan of styling/button_face.h
// carried out on a device context, through the visual styles when they are on.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "styling/button_face.h"
#include "styling/win32/visual_styles_win.h"

namespace norvex::styling::win32 {

// What the painting reads from the button.
struct AgentButtonLook {
  HWND window = nullptr;  // for the theme data and the parent's background
  std::u16string caption;
  HBITMAP bitmaps[3] = {nullptr, nullptr, nullptr};  // normal, disabled, pressed
  COLORREF transparent = 0;
  MenuStyle style = MenuStyle::kPlain;
  bool hover = false;
  bool pressed = false;
  bool arrowMenu = false;
  bool disabled = false;
  bool arrowShown = true;
  HFONT font = nullptr;
};

// Paints the whole face within `client` into `dc`. The device context is left as it was found.
void PaintAgentButton(HDC dc, const RECT& client, const AgentButtonLook& look,
                      VisualStyles& styles = SystemVisualStyles());

}  // namespace norvex::styling::win32
