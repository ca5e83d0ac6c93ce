#include "toolbar/win32/grip_win.h"

#include <windowsx.h>

#include "styling/win32/grip_paint_win.h"
#include "toolbar/toolbar_window.h"

namespace norvex::toolbar::win32 {

namespace {
constexpr wchar_t kGripClass[] = L"NorvexResizeGrip";
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
      ::InvalidateRect(hwnd(), nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(lParam);
      return 0;
    case WM_MOUSELEAVE:
      SetHot(false);
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (message == WM_LBUTTONUP) ::ReleaseCapture();
        ::InvalidateRect(hwnd(), nullptr, FALSE);
      }
      return 0;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

void GripWindow::OnMouseMove(LPARAM position) {
  SetHot(true);
  if (!dragging_) return;
  POINT p{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ::ClientToScreen(hwnd(), &p);
  ::PostMessageW(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(kResizeGripId, kGripDragged),
                 MAKELPARAM(p.x, p.y));
}

void GripWindow::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  if (hot) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
    ::TrackMouseEvent(&track);
  }
  ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void GripWindow::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd(), &paint);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  styling::win32::GripLook look;
  look.window = hwnd();
  look.bitmap = bitmap_.get();
  look.hot = hot_;
  look.dragging = dragging_;
  styling::win32::PaintGrip(dc, client, look);
  ::EndPaint(hwnd(), &paint);
}

}  // namespace norvex::toolbar::win32
