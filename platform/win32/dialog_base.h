// The base of our dialogs, the dialog counterpart of BaseWindow: the object is bound to its
// dialog at WM_INITDIALOG (the creation parameter) and unbound at WM_NCDESTROY, and every
// message goes to the derived class's HandleMessage, which answers TRUE for what it handled. The
// dialog procedure is noexcept.
#pragma once

#include "platform/win32/windows_api.h"
#include "platform/win32/module_instance.h"

namespace norvex::platform::win32 {

template <typename Derived>
class BaseDialog {
 public:
  HWND hwnd() const { return hwnd_; }

 protected:
  BaseDialog() = default;
  ~BaseDialog() = default;
  BaseDialog(const BaseDialog&) = delete;
  BaseDialog& operator=(const BaseDialog&) = delete;

  // The dialog of resource `resource` of this module, modal over `owner`: its result, or -1
  // when it could not be made.
  INT_PTR RunModal(int resource, HWND owner) {
    return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(resource), owner,
                             &BaseDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  }
  // A modeless dialog (a page inside another dialog); null when it could not be made.
  HWND CreateModeless(int resource, HWND parent) {
    return ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(resource), parent,
                                &BaseDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    BaseDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<BaseDialog*>(lParam);
      if (!self) return FALSE;
      self->hwnd_ = dialog;
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    } else {
      self = reinterpret_cast<BaseDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    }
    if (!self) return FALSE;
    const INT_PTR result = static_cast<Derived*>(self)->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace norvex::platform::win32
