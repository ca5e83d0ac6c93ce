// The parameters of window messages, unpacked into the types they carry, so that each case of a
// window's HandleMessage is one line calling a typed handler, e.g.
//   case WM_MOUSEMOVE: return OnMouseMove(PointOf(lParam));
// (the handler returns the message's result).
#pragma once

#include "platform/win32/windows_api.h"

#include <windowsx.h>

namespace norvex::platform::win32 {

// WM_COMMAND: the control (or menu item) identifier, the notification code and the control.
struct Command {
  int id = 0;
  int code = 0;
  HWND control = nullptr;
};
inline Command CommandOf(WPARAM wParam, LPARAM lParam) {
  return {LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)};
}

// A pointer position in client coordinates (mouse messages), or in screen coordinates
// (WM_CONTEXTMENU, WM_NCHITTEST, the grip's WM_COMMAND).
inline POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// WM_SIZE: the new client size.
inline SIZE SizeOf(LPARAM lParam) { return SIZE{LOWORD(lParam), HIWORD(lParam)}; }

// WM_MOUSEWHEEL: the wheel's turn, in multiples of WHEEL_DELTA away from the user.
inline int WheelDeltaOf(WPARAM wParam) { return GET_WHEEL_DELTA_WPARAM(wParam); }

// A window handle carried in a parameter (WM_SETFOCUS, WM_KILLFOCUS: the other window;
// WM_CAPTURECHANGED: the new capture; WM_VSCROLL: the scroll bar).
inline HWND WindowOf(WPARAM wParam) { return reinterpret_cast<HWND>(wParam); }
inline HWND WindowOf(LPARAM lParam) { return reinterpret_cast<HWND>(lParam); }

// A device context (WM_ERASEBKGND), a font (WM_SETFONT).
inline HDC DcOf(WPARAM wParam) { return reinterpret_cast<HDC>(wParam); }
inline HFONT FontOf(WPARAM wParam) { return reinterpret_cast<HFONT>(wParam); }

// A structure passed by pointer (WM_DRAWITEM, WM_MEASUREITEM, WM_NCCREATE…).
template <typename T>
T& StructOf(LPARAM lParam) {
  return *reinterpret_cast<T*>(lParam);
}

// A string passed by pointer (CB_ADDSTRING, CB_SELECTSTRING); empty for none.
inline std::u16string TextOf(LPARAM lParam) {
  return FromW(reinterpret_cast<const wchar_t*>(lParam));
}

}  // namespace norvex::platform::win32
