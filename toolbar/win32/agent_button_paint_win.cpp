#include "toolbar/win32/agent_button_paint_win.h"

#include "platform/win32/scoped_handle.h"
#include "toolbar/toolbar_window.h"

namespace norvex::toolbar::win32 {

using platform::win32::ScopedSelectObject;

void DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, COLORREF transparent) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info)) return;
  platform::win32::ScopedMemoryDc memory(::CreateCompatibleDC(dc));
  ScopedSelectObject select(memory.get(), bitmap);
  ::TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.get(), 0, 0, info.bmWidth,
                   info.bmHeight, transparent);
}

void PaintAgentButton(HDC dc, const RECT& rect, const ButtonFace& face) {
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
  RECT inner = rect;
  if (face.pressed) {
    ::DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT);
    ::OffsetRect(&inner, 1, 1);
  }
  // A button is as wide as its text, its bitmap and 8 pixels (and the arrow): 2 before the
  // bitmap, 2 between bitmap and text, 4 after the text.
  int x = inner.left + 2;
  HBITMAP bitmap = !face.enabled ? face.disabled : face.pressed ? face.pressedImage : face.normal;
  if (bitmap) {
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof info, &info);
    DrawTransparentBitmap(dc, x, inner.top + (rect.bottom - rect.top - info.bmHeight) / 2, bitmap,
                          face.transparent);
    x += info.bmWidth;
  }
  RECT text = inner;
  text.left = x + 2;
  text.right -= 2;
  if (face.style != catalogue::MenuStyle::kPlain) text.right -= kSplitArrowWidth;
  {
    ScopedSelectObject font(dc, face.font ? face.font : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(face.enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    ::DrawTextW(dc, reinterpret_cast<const wchar_t*>(face.caption.c_str()),
                static_cast<int>(face.caption.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  }
  if (face.style != catalogue::MenuStyle::kPlain) {
    // A small downward triangle in the arrow's strip.
    const int cx = inner.right - kSplitArrowWidth / 2 - 1;
    const int cy = (inner.top + inner.bottom) / 2;
    const POINT arrow[3] = {{cx - 3, cy - 1}, {cx + 3, cy - 1}, {cx, cy + 2}};
    HBRUSH brush = ::GetSysColorBrush(face.enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    ScopedSelectObject selectBrush(dc, brush);
    ScopedSelectObject selectPen(dc, ::GetStockObject(NULL_PEN));
    ::Polygon(dc, arrow, 3);
    if (face.style == catalogue::MenuStyle::kSplitMenu) {
      RECT line{inner.right - kSplitArrowWidth, inner.top + 3, inner.right - kSplitArrowWidth + 1,
                inner.bottom - 3};
      ::FillRect(dc, &line, ::GetSysColorBrush(COLOR_BTNSHADOW));
    }
  }
}

}  // namespace norvex::toolbar::win32
