#include "toolbar/win32/grip_win.h"

#include "platform/win32/message_crackers.h"
#include "platform/win32/scoped_dc.h"
#include "styling/win32/grip_paint_win.h"
#include "toolbar/toolbar_window.h"

namespace norvex::toolbar::win32 {

using platform::win32::PointOf;

GripWindow::~GripWindow() { Destroy(); }

bool GripWindow::Create(HWND parent, const RECT& rect) {
  if (!RegisterClassOnce(kResizeGripClass, {0, ::LoadCursorW(nullptr, IDC_SIZEWE), nullptr}))
    return false;
  bitmap_ = platform::win32::LoadModuleBitmap(kGripBitmap);
  return CreateWindowOfClass(kResizeGripClass, 0, WS_CHILD | WS_VISIBLE, rect, parent,
                             kResizeGripId) != nullptr;
}

LRESULT GripWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      return OnPaint();
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_LBUTTONDOWN:
      return OnButtonDown();
    case WM_MOUSEMOVE:
      return OnMouseMove(PointOf(lParam));
    case WM_MOUSELEAVE:
      return OnMouseLeave();
    case WM_LBUTTONUP:
      return OnButtonUp(true);
    case WM_CAPTURECHANGED:
      return OnButtonUp(false);
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

LRESULT GripWindow::OnButtonDown() {
  dragging_ = true;
  ::SetCapture(hwnd());
  ::InvalidateRect(hwnd(), nullptr, FALSE);
  return 0;
}

// The drag ends with the release, or when the capture goes elsewhere.
LRESULT GripWindow::OnButtonUp(bool released) {
  if (!dragging_) return 0;
  dragging_ = false;
  if (released) ::ReleaseCapture();
  ::InvalidateRect(hwnd(), nullptr, FALSE);
  return 0;
}

LRESULT GripWindow::OnMouseLeave() {
  SetHot(false);
  return 0;
}

LRESULT GripWindow::OnMouseMove(POINT point) {
  SetHot(true);
  if (!dragging_) return 0;
  ::ClientToScreen(hwnd(), &point);
  ::PostMessageW(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(kResizeGripId, kGripDragged),
                 MAKELPARAM(point.x, point.y));
  return 0;
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

LRESULT GripWindow::OnPaint() {
  const platform::win32::ScopedPaint paint(hwnd());
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  styling::win32::GripLook look;
  look.window = hwnd();
  look.bitmap = bitmap_.get();
  look.hot = hot_;
  look.dragging = dragging_;
  styling::win32::PaintGrip(paint.dc(), client, look);
  return 0;
}

}  // namespace norvex::toolbar::win32
