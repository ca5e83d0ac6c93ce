// The toolbar's modal dialogs, owned by the toolbar window.
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::dialogs::win32 {

// The options dialog; its result is IDOK (1) after OK, IDCANCEL (2) after Cancel or closing.
INT_PTR ShowOptionsDialog(HWND owner);
// The about box.
void ShowAboutDialog(HWND owner);

}  // namespace norvex::dialogs::win32
