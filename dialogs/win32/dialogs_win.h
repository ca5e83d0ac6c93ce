// The toolbar's modal dialogs, owned by the toolbar window, built from the dialog resources of
// the module and showing their portable models.
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::dialogs::win32 {

// The options dialog (202) with its agent page (232); its result is IDOK (1) after OK,
// IDCANCEL (2) after Cancel or closing, -1 when it could not be made. The item data (lParam) of
// each row of the page's list is the row's agent id, a null-terminated UTF-16 string that lives
// as long as the dialog: a host that drives the dialog in this process reads it.
INT_PTR ShowOptionsDialog(HWND owner);
// The about box (201).
void ShowAboutDialog(HWND owner);

}  // namespace norvex::dialogs::win32
