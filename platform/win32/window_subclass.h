// One way to subclass a window of another class (a button, an edit field, a list box): its
// messages go first to a member function of the object that subclassed it, which passes on what
// it leaves to the window with DefSubclassProc. The subclass is removed when the window goes
// (WM_NCDESTROY) or when the owner removes it. The subclass procedure is noexcept.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

namespace norvex::platform::win32 {

// `Handler` is the owner's member LRESULT (HWND, UINT, WPARAM, LPARAM); each pair of owner type
// and handler has a subclass procedure of its own, so several may subclass one window.
template <typename Owner, LRESULT (Owner::*Handler)(HWND, UINT, WPARAM, LPARAM)>
class WindowSubclass {
 public:
  // Sends `window`'s messages to `owner`; false when the window cannot be subclassed.
  static bool Install(HWND window, Owner* owner) {
    return window &&
           ::SetWindowSubclass(window, &Procedure, kId, reinterpret_cast<DWORD_PTR>(owner));
  }
  // The window's messages go to it alone again; nothing when it is not subclassed.
  static void Remove(HWND window) {
    if (window && ::IsWindow(window)) ::RemoveWindowSubclass(window, &Procedure, kId);
  }

 private:
  static constexpr UINT_PTR kId = 1;

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR owner) noexcept {
    if (message == WM_NCDESTROY) {
      ::RemoveWindowSubclass(window, &Procedure, kId);
      return ::DefSubclassProc(window, message, wParam, lParam);
    }
    return (reinterpret_cast<Owner*>(owner)->*Handler)(window, message, wParam, lParam);
  }
};

}  // namespace norvex::platform::win32
