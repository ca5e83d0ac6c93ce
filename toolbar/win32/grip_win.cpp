#include "toolbar/win32/grip_win.h"

#include <windowsx.h>

#include "toolbar/toolbar_window.h"
#include "toolbar/win32/agent_button_paint_win.h"

namespace norvex::toolbar::win32 {

namespace {
constexpr wchar_t kGripClass[] = L"NorvexResizeGrip";
constexpr COLORREF kMagenta = RGB(255, 0, 255);
}  // namespace

GripWindow::~GripWindow() {
  if (hwnd()) ::DestroyWindow(hwnd());
}

bool GripWindow::Create(HWND parent, const RECT& rect) {
  if (!RegisterClassOnce(kGripClass, 0, ::LoadCursorW(nullptr, IDC_SIZEWE), nullptr)) return false;
  bitmap_.Reset(static_cast<HBITMAP>(::LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(kGripBitmap),
                                                  IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  return CreateChild(kGripClass, 0, WS_CHILD | WS_VISIBLE, rect, parent, kResizeGripId) != nullptr;
}

LRESULT GripWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      dragging_ = true;
      ::SetCapture(hwnd());
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(hwnd(), &p);
        ::PostMessageW(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(kResizeGripId, kGripDragged),
                       MAKELPARAM(p.x, p.y));
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (message == WM_LBUTTONUP) ::ReleaseCapture();
      }
      return 0;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

void GripWindow::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd(), &paint);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  BITMAP info{};
  if (bitmap_ && ::GetObjectW(bitmap_.get(), sizeof info, &info)) {
    DrawTransparentBitmap(dc, (client.right - info.bmWidth) / 2,
                          (client.bottom - info.bmHeight) / 2, bitmap_.get(), kMagenta);
  }
  ::EndPaint(hwnd(), &paint);
}

}  // namespace norvex::toolbar::win32
