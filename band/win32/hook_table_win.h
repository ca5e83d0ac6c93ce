// The process-wide table of message hooks: one entry per band that has made its toolbar window.
// The hook turns the desktop-wide refresh broadcast into a rebuild message for each toolbar
// window: it watches the thread that owns the toolbar's top-level window, since only that thread
// receives the broadcast's copy for it (the toolbar's own thread, unless the site's window
// belongs to another thread of the process).
#pragma once

#include <vector>

#include "platform/win32/windows_api.h"

namespace norvex::band::win32 {

struct HookEntry {
  HHOOK hook = nullptr;
  DWORD thread = 0;  // the thread whose messages the hook sees
  HWND window = nullptr;
};

// Installs a WH_GETMESSAGE hook serving `toolbarWindow` on the thread that owns its top-level
// window (one hook per thread, shared by the entries of that thread); false when it cannot be
// installed.
bool InstallToolbarHook(HWND toolbarWindow);
// Removes the entry whose window is `toolbarWindow`, unhooking its thread when no other entry
// uses the hook; the other entries stay.
void RemoveToolbarHook(HWND toolbarWindow);
// A copy of the table, for tests.
std::vector<HookEntry> HookEntries();

}  // namespace norvex::band::win32
