#include "band/win32/hook_table_win.h"

#include <algorithm>
#include <mutex>

#include "toolbar/win32/toolbar_window_win.h"

namespace norvex::band::win32 {

namespace {

// Entries are added and removed by bands on several threads at once, so the list itself is
// guarded.
std::mutex tableLock;
std::vector<HookEntry>& Table() {
  static std::vector<HookEntry> table;
  return table;
}

// Sees every message taken from the thread's queue; a peek that leaves it there does not count.
// The broadcast reaches every top-level window of the thread (the browser's frame, tooltips, the
// drop-down…), one copy each, and the copies may arrive while earlier ones are being handled;
// only the copy for a toolbar's own top-level window asks that toolbar for a rebuild, so one
// broadcast rebuilds each toolbar exactly once. Posting never waits, so it is done under the
// table's lock.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  const DWORD thread = ::GetCurrentThreadId();
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  const bool refresh = code == HC_ACTION && wParam == PM_REMOVE && msg &&
                       msg->message == toolbar::win32::RefreshMessage();
  HHOOK hook = nullptr;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    for (const HookEntry& entry : Table()) {
      if (entry.thread != thread) continue;
      hook = entry.hook;
      if (refresh && msg->hwnd == ::GetAncestor(entry.window, GA_ROOT)) {
        ::PostMessageW(entry.window, toolbar::win32::InRefreshMessage(), 0, 0);
      }
    }
  }
  if (!hook) return 1;
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

// The thread that receives the broadcast's copy for the toolbar's top-level window: the owner
// of that window when it runs in this process (a hook on another process's thread would load
// this module there, with a table of its own), else the current thread.
DWORD WatchedThread(HWND toolbarWindow) {
  DWORD process = 0;
  const DWORD owner = ::GetWindowThreadProcessId(::GetAncestor(toolbarWindow, GA_ROOT), &process);
  return owner != 0 && process == ::GetCurrentProcessId() ? owner : ::GetCurrentThreadId();
}

}  // namespace

bool InstallToolbarHook(HWND toolbarWindow) {
  const DWORD thread = WatchedThread(toolbarWindow);
  std::lock_guard<std::mutex> guard(tableLock);
  auto& table = Table();
  // One hook per thread: a second hook would run the procedure twice for every message.
  auto shared = std::find_if(table.begin(), table.end(),
                             [&](const HookEntry& e) { return e.thread == thread; });
  HHOOK hook = shared != table.end()
                   ? shared->hook
                   : ::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, thread);
  if (!hook) return false;
  table.push_back({hook, thread, toolbarWindow});
  return true;
}

void RemoveToolbarHook(HWND toolbarWindow) {
  HHOOK unhook = nullptr;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    auto& table = Table();
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const HookEntry& e) { return e.window == toolbarWindow; });
    if (it == table.end()) return;
    const HHOOK hook = it->hook;
    table.erase(it);
    const bool shared =
        std::any_of(table.begin(), table.end(), [&](const HookEntry& e) { return e.hook == hook; });
    if (!shared) unhook = hook;
  }
  if (unhook) ::UnhookWindowsHookEx(unhook);
}

std::vector<HookEntry> HookEntries() {
  std::lock_guard<std::mutex> guard(tableLock);
  return Table();
}

}  // namespace norvex::band::win32
