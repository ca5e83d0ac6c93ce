// The process-wide table of message hooks: one entry per band that has made its toolbar window,
// each used on the thread that owns that window. The hook turns the desktop-wide refresh
// broadcast into a rebuild message for the toolbar window of its own thread.
#pragma once

#include <vector>

#include "platform/win32/windows_api.h"

namespace norvex::band::win32 {

struct HookEntry {
  HHOOK hook = nullptr;
  DWORD thread = 0;
  HWND window = nullptr;
};

// Installs a WH_GETMESSAGE hook for the current thread serving `toolbarWindow`; false when the
// hook cannot be installed.
bool InstallToolbarHook(HWND toolbarWindow);
// Removes the entry whose window is `toolbarWindow`, unhooking it; the other entries stay.
void RemoveToolbarHook(HWND toolbarWindow);
// A copy of the table, for tests.
std::vector<HookEntry> HookEntries();

}  // namespace norvex::band::win32
