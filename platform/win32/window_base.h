// The base of every window class of ours. The object is bound to its window at WM_NCCREATE (the
// creation parameter is the object; a window of the class made without one is refused) and
// unbound at WM_NCDESTROY, so a window never reaches an object it no longer belongs to, and an
// object never calls a window that is gone. Every message goes to the derived class's
// HandleMessage, whose cases each call one typed handler (message_crackers.h unpacks the
// parameters). The window procedure is noexcept: no exception leaves it.
//
// A derived class whose WM_DESTROY does work of its own destroys its window in its own
// destructor (Destroy()); the base's destructor only makes sure that no window outlives its
// object, unbinding it first so that the object's parts already gone are not called.
#pragma once

#include "platform/win32/windows_api.h"
#include "platform/win32/module_instance.h"

namespace norvex::platform::win32 {

// The function that registers a window class (RegisterClassExW; tests give one that fails).
using ClassRegistrar = ATOM(WINAPI*)(const WNDCLASSEXW*);

// What a window class looks like when its first window registers it.
struct WindowClassLook {
  UINT style = 0;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
};

template <typename Derived>
class BaseWindow {
 public:
  HWND hwnd() const { return hwnd_; }

  // Destroys the window now (its WM_DESTROY and WM_NCDESTROY reach the object); nothing when
  // there is none.
  void Destroy() {
    if (hwnd_) ::DestroyWindow(hwnd_);
  }

 protected:
  BaseWindow() = default;
  ~BaseWindow() {
    if (!hwnd_) return;
    HWND window = hwnd_;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    ::DestroyWindow(window);
  }
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  // Registers the class once per process with this class's window procedure; false when it is
  // neither registered nor registrable.
  static bool RegisterClassOnce(const wchar_t* className, const WindowClassLook& look,
                                ClassRegistrar registrar = &::RegisterClassExW) {
    WNDCLASSEXW existing{sizeof existing};
    if (::GetClassInfoExW(ModuleInstance(), className, &existing)) return true;
    WNDCLASSEXW wc{sizeof wc};
    wc.style = look.style;
    wc.lpfnWndProc = &BaseWindow::WindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = look.cursor;
    wc.hbrBackground = look.background;
    wc.hIcon = look.icon;
    wc.lpszClassName = className;
    return registrar(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  // Creates this object's window of `className` (registered through RegisterClassOnce) at
  // `rect` in `parent`'s client coordinates (screen coordinates for a window without a parent);
  // `id` is its control identifier. Null on failure.
  HWND CreateWindowOfClass(const wchar_t* className, DWORD exStyle, DWORD style, const RECT& rect,
                           HWND parent, int id, const wchar_t* text = L"") {
    return ::CreateWindowExW(exStyle, className, text, style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                             static_cast<BaseWindow*>(this));
  }

  LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    BaseWindow* self = nullptr;
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      self = static_cast<BaseWindow*>(create->lpCreateParams);
      // A window of this class made without its object has nothing to run: refused.
      if (!self) return FALSE;
      self->hwnd_ = hwnd;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<BaseWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = static_cast<Derived*>(self)->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace norvex::platform::win32
