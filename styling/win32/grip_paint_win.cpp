#include "styling/win32/grip_paint_win.h"

#include "styling/win32/gdi_paint_win.h"

namespace norvex::styling::win32 {

namespace {
constexpr int kToolbarButtonPart = 1;
constexpr int kHotState = 2, kPressedState = 3;
}  // namespace

void PaintParentBackground(HWND window, HDC dc, const RECT& rect, VisualStyles& styles) {
  if (styles.Loaded() && styles.DrawThemeParentBackground(window, dc, &rect)) return;
  HWND parent = window ? ::GetParent(window) : nullptr;
  bool painted = false;
  if (parent) {
    POINT origin{0, 0};
    ::MapWindowPoints(window, parent, &origin, 1);
    POINT previous{};
    ::OffsetWindowOrgEx(dc, origin.x, origin.y, &previous);
    painted = ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
    ::SetWindowOrgEx(dc, previous.x, previous.y, nullptr);
  }
  if (!painted) FillSolid(dc, rect, ::GetSysColor(COLOR_BTNFACE));
}

void PaintGrip(HDC dc, const RECT& client, const GripLook& look, VisualStyles& styles) {
  PaintParentBackground(look.window, dc, client, styles);
  if (look.hot || look.dragging) {
    ScopedTheme theme(styles, look.window, L"TOOLBAR");
    if (theme) {
      styles.DrawThemeBackground(theme.get(), dc, kToolbarButtonPart,
                                 look.dragging ? kPressedState : kHotState, client);
    } else {
      const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
      const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
      Draw3dRect(dc, client, look.dragging ? shadow : light, look.dragging ? light : shadow);
    }
  }
  const SIZE size = BitmapSize(look.bitmap);
  if (size.cx > 0) {
    const int shift = look.dragging ? 1 : 0;
    DrawTransparentBitmap(dc, (client.right - client.left - size.cx) / 2 + shift,
                          (client.bottom - client.top - size.cy) / 2 + shift, look.bitmap,
                          kGripTransparent);
  }
}

}  // namespace norvex::styling::win32
