// The base of the toolbar's window classes: the object is bound to its window at WM_NCCREATE
// (from the creation parameter) and every message goes to the derived class's HandleMessage,
// whose cases each call one named handler. After WM_NCDESTROY the object no longer has a window.
#pragma once

#include "platform/win32/module_instance.h"
#include "platform/win32/windows_api.h"

namespace norvex::toolbar::win32 {

using platform::win32::ModuleInstance;

// The function that registers a window class (RegisterClassExW; tests give one that fails).
using ClassRegistrar = ATOM(WINAPI*)(const WNDCLASSEXW*);

template <typename Derived>
class BaseWindow {
 public:
  HWND hwnd() const { return hwnd_; }

 protected:
  BaseWindow() = default;
  ~BaseWindow() = default;
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  // Registers the class once per process; false when it is neither registered nor registrable.
  static bool RegisterClassOnce(const wchar_t* className, UINT style, HCURSOR cursor,
                                HBRUSH background, ClassRegistrar registrar = &::RegisterClassExW) {
    WNDCLASSEXW existing{sizeof existing};
    if (::GetClassInfoExW(ModuleInstance(), className, &existing)) return true;
    WNDCLASSEXW wc{sizeof wc};
    wc.style = style;
    wc.lpfnWndProc = &BaseWindow::WindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return registrar(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  HWND CreateChild(const wchar_t* className, DWORD exStyle, DWORD style, const RECT& rect,
                   HWND parent, int id, const wchar_t* text = L"") {
    return ::CreateWindowExW(exStyle, className, text, style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                             this);
  }

  LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Derived* self = nullptr;
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      self = static_cast<Derived*>(static_cast<BaseWindow*>(create->lpCreateParams));
      // A window of this class made without its object has nothing to run: refused.
      if (!self) return FALSE;
      self->hwnd_ = hwnd;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace norvex::toolbar::win32
