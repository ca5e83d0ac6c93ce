#include "dialogs/win32/dialogs_win.h"

#include "resources/control_ids.h"
#include "platform/win32/module_instance.h"

namespace norvex::dialogs::win32 {

namespace {

// OK and Cancel end the dialog with their own identifiers; the agent page and the version
// line are filled in by the dialogs' own models.
INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR ShowOptionsDialog(HWND owner) {
  return ::DialogBoxParamW(platform::win32::ModuleInstance(), MAKEINTRESOURCEW(kOptionsDialogId),
                           owner, &PlainDialogProc, 0);
}

void ShowAboutDialog(HWND owner) {
  ::DialogBoxParamW(platform::win32::ModuleInstance(), MAKEINTRESOURCEW(kAboutDialogId), owner,
                    &PlainDialogProc, 0);
}

}  // namespace norvex::dialogs::win32
