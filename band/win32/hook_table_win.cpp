#include "band/win32/hook_table_win.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "toolbar/win32/toolbar_window_win.h"

namespace norvex::band::win32 {

namespace {

// Entries are added and removed by bands on several threads at once, so the list itself is
// guarded; each entry is only ever used by its own thread.
std::mutex tableLock;
std::vector<HookEntry>& Table() {
  static std::vector<HookEntry> table;
  return table;
}

std::optional<HookEntry> EntryOfThisThread() {
  const DWORD thread = ::GetCurrentThreadId();
  std::lock_guard<std::mutex> guard(tableLock);
  for (const HookEntry& entry : Table()) {
    if (entry.thread == thread) return entry;
  }
  return std::nullopt;
}

// Sees every message taken from the thread's queue; a peek that leaves it there does not count.
// The broadcast reaches every top-level window of the thread (the browser's frame, tooltips, the
// drop-down…), one copy each, and the copies may arrive while earlier ones are being handled;
// only the copy for the toolbar's own top-level window asks for a rebuild, so one broadcast
// rebuilds each toolbar exactly once.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  const std::optional<HookEntry> entry = EntryOfThisThread();
  if (!entry) return 1;
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg &&
      msg->message == toolbar::win32::RefreshMessage()) {
    if (msg->hwnd == ::GetAncestor(entry->window, GA_ROOT)) {
      ::PostMessageW(entry->window, toolbar::win32::InRefreshMessage(), 0, 0);
    }
  }
  return ::CallNextHookEx(entry->hook, code, wParam, lParam);
}

}  // namespace

bool InstallToolbarHook(HWND toolbarWindow) {
  const DWORD thread = ::GetCurrentThreadId();
  HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, thread);
  if (!hook) return false;
  std::lock_guard<std::mutex> guard(tableLock);
  Table().push_back({hook, thread, toolbarWindow});
  return true;
}

void RemoveToolbarHook(HWND toolbarWindow) {
  HHOOK hook = nullptr;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    auto& table = Table();
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const HookEntry& e) { return e.window == toolbarWindow; });
    if (it == table.end()) return;
    hook = it->hook;
    table.erase(it);
  }
  ::UnhookWindowsHookEx(hook);
}

std::vector<HookEntry> HookEntries() {
  std::lock_guard<std::mutex> guard(tableLock);
  return Table();
}

}  // namespace norvex::band::win32
