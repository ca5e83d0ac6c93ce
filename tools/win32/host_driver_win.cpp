#include "tools/win32/host_driver_win.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <commctrl.h>

#include "common/text.h"
#include "resources/control_ids.h"
#include "tools/host_page.h"
#include "tools/win32/screenshot_win.h"

namespace norvex::tools::win32 {

using platform::win32::FromW;

namespace {

// The windows of the band, as the toolbar module makes them.
// (Their identifiers, classes and properties: resources/control_ids.h.)
constexpr wchar_t kButtonClass[] = L"Button";
constexpr wchar_t kEditClass[] = L"Edit";
constexpr wchar_t kMenuClass[] = L"#32768";

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kListViewClass[] = L"SysListView32";
constexpr wchar_t kStaticClass[] = L"Static";

// MN_GETHMENU: the menu that a popup menu window shows.
constexpr UINT kMenuGetHmenu = 0x01E1;
// While a button is pressed, a timer keeps messages coming, so that a menu's modal loop runs the
// message filter (and with it the host's hook) even when nothing else happens.
constexpr UINT_PTR kMenuWatchTimer = 0x4E56;
constexpr UINT kMenuWatchMilliseconds = 20;
// Wine shows what a window drew on the X screen a little later: a picture waits this long (and a
// menu this many watch ticks) before the screen is read.
constexpr int kPictureDelayMilliseconds = 200;
constexpr int kMenuPictureTicks = kPictureDelayMilliseconds / kMenuWatchMilliseconds;

// The driver of this thread, for the hook procedures.
thread_local Win32HostDriver* g_driver = nullptr;

bool IsClass(HWND window, const wchar_t* name) {
  wchar_t actual[64];
  const int n = ::GetClassNameW(window, actual, static_cast<int>(std::size(actual)));
  return n > 0 && ::_wcsicmp(actual, name) == 0;
}

// The direct children of `parent`, in z-order.
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

// The direct child of `parent` with control identifier `id` (and class `className` unless null).
HWND ChildWithId(HWND parent, int id, const wchar_t* className) {
  if (!parent) return nullptr;
  for (HWND child : Children(parent)) {
    if (::GetDlgCtrlID(child) == id && (!className || IsClass(child, className))) return child;
  }
  return nullptr;
}

// `window`'s rectangle in the client coordinates of `parent`.
catalogue::Rect RectIn(HWND parent, HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

// The command that a button sends: its "NorvexCommandId" property, else its control identifier.
int CommandOf(HWND button) {
  if (HANDLE command = ::GetPropW(button, kCommandIdProperty)) {
    return static_cast<int>(reinterpret_cast<INT_PTR>(command));
  }
  return ::GetDlgCtrlID(button);
}

// A window of this thread (top-level, or a descendant of one) of class `className`, preferring a
// visible one.
HWND FindThreadWindow(const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    HWND found = nullptr;
    static BOOL CALLBACK Visit(HWND window, LPARAM param) noexcept {
      auto* search = reinterpret_cast<Search*>(param);
      if (IsClass(window, search->className)) {
        if (!search->found || ::IsWindowVisible(window)) search->found = window;
        if (::IsWindowVisible(window)) return FALSE;
      }
      return TRUE;
    }
    static BOOL CALLBACK VisitTree(HWND window, LPARAM param) noexcept {
      if (!Visit(window, param)) return FALSE;
      ::EnumChildWindows(window, &Visit, param);
      auto* search = reinterpret_cast<Search*>(param);
      return !(search->found && ::IsWindowVisible(search->found));
    }
  } search{className};
  ::EnumThreadWindows(::GetCurrentThreadId(), &Search::VisitTree,
                      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// True when `menu` or one of its submenus has an item with command `item`.
bool MenuHasItem(HMENU menu, int item) {
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info = {sizeof info};
    info.fMask = MIIM_ID | MIIM_SUBMENU;
    if (!::GetMenuItemInfoW(menu, i, TRUE, &info)) continue;
    if (static_cast<int>(info.wID) == item) return true;
    if (info.hSubMenu && MenuHasItem(info.hSubMenu, item)) return true;
  }
  return false;
}

// The entries of `menu` (separators left out), with those of their submenus when `depth` > 0.
std::vector<OverflowLine> ReadMenu(HMENU menu, int depth) {
  std::vector<OverflowLine> entries;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info = {sizeof info};
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
    if (!::GetMenuItemInfoW(menu, i, TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
    std::wstring text(info.cch + 1, L'\0');
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size());
    if (!::GetMenuItemInfoW(menu, i, TRUE, &info)) continue;
    OverflowLine entry{static_cast<int>(info.wID), FromW(text.c_str()), {}};
    if (info.hSubMenu && depth > 0) entry.children = ReadMenu(info.hSubMenu, depth - 1);
    entries.push_back(std::move(entry));
  }
  return entries;
}

void SendClick(HWND window, int x, int y) {
  ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

}  // namespace

Win32HostDriver::Win32HostDriver(HostFrame& frame, HostBand& band, HostBrowser& browser,
                                 HostOutput& output)
    : frame_(frame), band_(band), browser_(browser), output_(output) {}

Win32HostDriver::~Win32HostDriver() {
  if (menuHook_) ::UnhookWindowsHookEx(menuHook_);
  if (dialogHook_) ::UnhookWindowsHookEx(dialogHook_);
  if (g_driver == this) g_driver = nullptr;
}

bool Win32HostDriver::InstallHooks() {
  g_driver = this;
  const DWORD thread = ::GetCurrentThreadId();
  menuHook_ = ::SetWindowsHookExW(WH_MSGFILTER, &MenuFilterHook, nullptr, thread);
  dialogHook_ = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &DialogHook, nullptr, thread);
  return menuHook_ && dialogHook_;
}

// ---- Finding the band's windows ----------------------------------------------------------------

HWND Win32HostDriver::SearchBox() const {
  return ChildWithId(Toolbar(), kSearchBoxId, kSearchBoxClass);
}

HWND Win32HostDriver::EditField() const {
  return ChildWithId(SearchBox(), kEditFieldId, kEditClass);
}

HWND Win32HostDriver::Grip() const { return ChildWithId(Toolbar(), kResizeGripId, nullptr); }

HWND Win32HostDriver::VisibleButton(int commandId) const {
  const HWND toolbar = Toolbar();
  if (!toolbar) return nullptr;
  for (HWND child : Children(toolbar)) {
    if (IsClass(child, kButtonClass) && ::IsWindowVisible(child) && CommandOf(child) == commandId) {
      return child;
    }
  }
  return nullptr;
}

bool Win32HostDriver::HasSearchBox() { return EditField() != nullptr; }

bool Win32HostDriver::HasGrip() { return Grip() != nullptr; }

// ---- Mouse ---------------------------------------------------------------------------------------

Win32HostDriver::MenuVisit Win32HostDriver::PressButton(HWND button, int x, MenuVisit visit) {
  visit.owner = Toolbar();
  visit_ = &visit;
  ::SetTimer(frame_.frame(), kMenuWatchTimer, kMenuWatchMilliseconds, nullptr);
  SendClick(button, x, 1);
  HostFrame::PumpUntilIdle();
  ::KillTimer(frame_.frame(), kMenuWatchTimer);
  visit_ = nullptr;
  return visit;
}

std::string Win32HostDriver::Press(int commandId) {
  const HWND button = VisibleButton(commandId);
  if (!button) return refusal::NoVisibleButton(commandId);
  PressButton(button, 1, {});
  return {};
}

std::string Win32HostDriver::Menu(int commandId, int item) {
  const HWND button = VisibleButton(commandId);
  if (!button) return refusal::NoVisibleMenuButton(commandId);
  RECT client;
  ::GetClientRect(button, &client);
  MenuVisit visit;
  visit.goal = MenuVisit::Goal::kChoose;
  visit.item = item;
  // Where a split button opens its menu: the arrow at its right end.
  visit = PressButton(button, client.right - 1, std::move(visit));
  if (!visit.seen) return refusal::NoVisibleMenuButton(commandId);
  if (!visit.found) return refusal::NoMenuItem(item, commandId);
  return {};
}

void Win32HostDriver::DragGrip(int x) {
  const HWND grip = Grip();
  const catalogue::Rect rect = RectIn(Toolbar(), grip);
  const int gripX = x - rect.left;
  ::SendMessageW(grip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  ::SendMessageW(grip, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(gripX, 1));
  ::SendMessageW(grip, WM_LBUTTONUP, 0, MAKELPARAM(gripX, 1));
}

// The menu's modal loop runs the message filter: the menu is open. Its items are checked or read
// in place, the menu is ended, and a chosen item's command goes to the owner as the menu would
// have sent it.
void Win32HostDriver::OnMenuLoop() {
  const HWND menuWindow = FindThreadWindow(kMenuClass);
  if (!menuWindow || !::IsWindowVisible(menuWindow)) return;
  if (!visit_ || visit_->seen) {
    // A menu that no command asked for (or a second one) would wait for a user: it closes with
    // nothing chosen.
    ::EndMenu();
    return;
  }
  const auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, kMenuGetHmenu, 0, 0));
  if (!menu) return;
  if (visit_->goal == MenuVisit::Goal::kPicture && !TakeMenuPicture(menuWindow)) return;
  visit_->seen = true;
  switch (visit_->goal) {
    case MenuVisit::Goal::kChoose:
      visit_->found = MenuHasItem(menu, visit_->item);
      break;
    case MenuVisit::Goal::kRead:
      visit_->entries = ReadMenu(menu, 1);
      break;
    case MenuVisit::Goal::kClose:
    case MenuVisit::Goal::kPicture:
      break;
  }
  ::EndMenu();
  if (visit_->goal == MenuVisit::Goal::kChoose && visit_->found) {
    ::PostMessageW(visit_->owner, WM_COMMAND, MAKEWPARAM(visit_->item, 0), 0);
  }
}

bool Win32HostDriver::TakeMenuPicture(HWND menuWindow) {
  if (++visit_->ticks < kMenuPictureTicks) {
    ::RedrawWindow(menuWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return false;
  }
  visit_->pictureError = SavePicture(ToolbarPictureArea(Toolbar()), visit_->picture);
  return true;
}

LRESULT CALLBACK Win32HostDriver::MenuFilterHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == MSGF_MENU && g_driver) g_driver->OnMenuLoop();
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- Dialogs -------------------------------------------------------------------------------------

namespace {

// A dialog of the band as its windows show it: the options dialog's rows are the items of the
// list view on its page (caption, check box, and the agent id as item data); the about box's
// texts are its static controls, top to bottom. OK and Cancel are the buttons' commands.
class WindowsDialog final : public HostDialog {
 public:
  explicit WindowsDialog(HWND dialog) : dialog_(dialog) {}

  std::string Name() override {
    const std::u16string caption = WindowText(dialog_);
    if (caption == FromW(kOptionsCaption)) return "options";
    if (caption == FromW(kAboutCaption)) return "about";
    return Utf16ToUtf8(caption);
  }

  std::vector<std::string> Lines() override {
    std::vector<std::string> lines;
    if (const HWND list = List()) {
      const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
      for (int row = 0; row < count; ++row) {
        wchar_t text[260] = {};
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row;
        item.pszText = text;
        item.cchTextMax = static_cast<int>(std::size(text));
        ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        lines.push_back(OptionLine(IdOf(item.lParam), Ticked(list, row), FromW(text)));
      }
      return lines;
    }
    std::vector<std::pair<LONG, std::u16string>> texts;
    for (HWND child : Children(dialog_)) {
      if (!IsClass(child, kStaticClass)) continue;
      RECT rect;
      ::GetWindowRect(child, &rect);
      texts.emplace_back(rect.top, WindowText(child));
    }
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [top, text] : texts) lines.push_back(AboutLine(text));
    return lines;
  }

  bool Check(const std::u16string& id, bool ticked) override {
    const HWND list = List();
    if (!list) return false;
    bool found = false;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      LVITEMW item{};
      item.mask = LVIF_PARAM;
      item.iItem = row;
      ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      if (IdOf(item.lParam) != id) continue;
      LVITEMW state{};
      state.stateMask = LVIS_STATEIMAGEMASK;
      state.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
      ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
      found = true;
    }
    return found;
  }

  void Ok() override { Press(IDOK); }
  void Cancel() override { Press(IDCANCEL); }

 private:
  // The list view of the dialog's page (a child dialog), if it has one.
  HWND List() const {
    for (HWND child : Children(dialog_)) {
      if (!IsClass(child, kDialogClass)) continue;
      for (HWND control : Children(child)) {
        if (IsClass(control, kListViewClass)) return control;
      }
    }
    return nullptr;
  }
  static bool Ticked(HWND list, int row) {
    const auto state =
        static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
  }
  static std::u16string IdOf(LPARAM data) {
    return data ? FromW(reinterpret_cast<const wchar_t*>(data)) : std::u16string();
  }
  void Press(int button) {
    ::SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog_, button)));
  }

  HWND dialog_;
};

}  // namespace

// A dialog of the band has been initialised. It runs once its modal loop does: a timer of this
// thread fires from that loop.
void Win32HostDriver::OnDialog(HWND dialog) {
  openDialog_ = dialog;
  ::SetTimer(nullptr, 0, 0, &DialogTimer);
}

void CALLBACK Win32HostDriver::DialogTimer(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  ::KillTimer(nullptr, timer);
  if (g_driver) g_driver->RunOpenDialog();
}

void Win32HostDriver::RunOpenDialog() {
  const HWND dialog = std::exchange(openDialog_, nullptr);
  if (!dialog || !::IsWindow(dialog)) return;
  WindowsDialog windows(dialog);
  RunDialog(windows, output_);
}

LRESULT CALLBACK Win32HostDriver::DialogHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HC_ACTION && g_driver) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (call->message == WM_INITDIALOG && !(::GetWindowLongW(call->hwnd, GWL_STYLE) & WS_CHILD)) {
      g_driver->OnDialog(call->hwnd);
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- Keyboard ------------------------------------------------------------------------------------

void Win32HostDriver::Type(const std::u16string& text) {
  const HWND edit = EditField();
  ::SetFocus(edit);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  if (text.empty()) {
    ::SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    return;
  }
  for (char16_t unit : text) ::SendMessageW(edit, WM_CHAR, unit, 1);
}

void Win32HostDriver::Key(int virtualKey) {
  const HWND edit = EditField();
  // The keys go to the search box: it gets the focus unless the focus is already in the band.
  const HWND focus = ::GetFocus();
  const HWND dropList = FindThreadWindow(kDropListClass);
  const bool inBand = focus && (focus == Toolbar() || ::IsChild(Toolbar(), focus) ||
                                (dropList && (focus == dropList || ::IsChild(dropList, focus))));
  if (!inBand) ::SetFocus(edit);

  // What the browser does with a key: the band's accelerator filter first, else the window's own
  // handling.
  MSG msg = {};
  msg.hwnd = edit;
  msg.message = WM_KEYDOWN;
  msg.wParam = static_cast<WPARAM>(virtualKey);
  msg.lParam = 1;
  msg.time = ::GetMessageTime();
  ::GetCursorPos(&msg.pt);
  if (band_.TranslateAccelerator(&msg) != S_OK) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// ---- The browser ---------------------------------------------------------------------------------

void Win32HostDriver::SetWidth(int width) {
  frame_.SetSiteWidth(width);
  // What the browser's band container does when its window changes size.
  ::SetWindowPos(Toolbar(), nullptr, 0, 0, width, kSiteHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32HostDriver::ShowPage(const std::u16string& url, const std::u16string& charset,
                               const std::u16string& language) {
  browser_.ShowPage(BlankPage(url, charset, language));
}

std::string Win32HostDriver::LoadPage(const std::string& path, const std::u16string& url) {
  std::string error;
  auto page = LoadPageFile(path, url, error);
  if (!page) return error;
  browser_.ShowPage(std::move(page));
  return {};
}

std::string Win32HostDriver::ReadSelection() { return SelectionLine(*browser_.page()); }

std::string Win32HostDriver::SavePage(const std::string& folder) {
  std::string error;
  return SavePageFiles(*browser_.page(), folder, error) ? std::string() : error;
}

void Win32HostDriver::Refresh() {
  static const UINT refresh = ::RegisterWindowMessageW(kRefreshMessageName);
  ::PostMessageW(HWND_BROADCAST, refresh, 0, 0);
}

void Win32HostDriver::Wait(int milliseconds) { HostFrame::RunFor(milliseconds); }

void Win32HostDriver::Settle() { HostFrame::PumpUntilIdle(); }

std::string Win32HostDriver::Screenshot(const std::string& path, std::optional<int> menuOf) {
  const std::u16string file = Utf8ToUtf16(path);
  if (!menuOf) {
    ::RedrawWindow(Toolbar(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    HostFrame::RunFor(kPictureDelayMilliseconds);
    return SavePicture(ToolbarPictureArea(Toolbar()), platform::win32::W(file));
  }
  const HWND button = VisibleButton(*menuOf);
  if (!button) return refusal::NoVisibleMenuButton(*menuOf);
  RECT client;
  ::GetClientRect(button, &client);
  MenuVisit visit;
  visit.goal = MenuVisit::Goal::kPicture;
  visit.picture = platform::win32::W(file);
  visit = PressButton(button, client.right - 1, std::move(visit));
  if (!visit.seen) return refusal::NoVisibleMenuButton(*menuOf);
  return visit.pictureError;
}

// ---- Reading the windows -------------------------------------------------------------------------

Layout Win32HostDriver::ReadLayout() {
  Layout layout;
  const HWND toolbar = Toolbar();
  if (!toolbar) return layout;
  // Buttons in the order of their identifiers, then the search box, the grip and the chevron:
  // elements with equal left edges keep this order.
  std::vector<std::pair<int, LayoutItem>> buttons;
  std::optional<LayoutItem> search, grip, chevronItem;
  HWND chevron = nullptr;
  for (HWND child : Children(toolbar)) {
    const int id = ::GetDlgCtrlID(child);
    LayoutItem item;
    item.rect = RectIn(toolbar, child);
    item.visible = ::IsWindowVisible(child) != FALSE;
    item.enabled = ::IsWindowEnabled(child) != FALSE;
    if (IsClass(child, kButtonClass)) {
      item.id = CommandOf(child);
      if (id == kChevronId) {
        item.kind = "chevron";
        chevron = child;
        chevronItem = std::move(item);
      } else {
        item.kind = ::GetPropW(child, kSettingsProperty) ? "settings" : "button";
        item.caption = WindowText(child);
        buttons.emplace_back(id, std::move(item));
      }
    } else if (id == kSearchBoxId && IsClass(child, kSearchBoxClass)) {
      item.id = kSearchBoxId;
      item.kind = "search";
      if (const HWND edit = ChildWithId(child, kEditFieldId, kEditClass))
        item.caption = WindowText(edit);
      search = std::move(item);
    } else if (id == kResizeGripId) {
      item.id = kResizeGripId;
      item.kind = "grip";
      grip = std::move(item);
    }
  }
  std::stable_sort(buttons.begin(), buttons.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  for (auto& [id, item] : buttons) layout.items.push_back(std::move(item));
  for (auto* other : {&search, &grip, &chevronItem}) {
    if (*other) layout.items.push_back(std::move(**other));
  }

  // The chevron's menu is made when it opens: open it, read it, close it.
  if (chevron && ::IsWindowVisible(chevron)) {
    RECT client;
    ::GetClientRect(chevron, &client);
    MenuVisit visit;
    visit.goal = MenuVisit::Goal::kRead;
    layout.overflow = PressButton(chevron, client.right - 1, std::move(visit)).entries;
  }
  return layout;
}

DropDown Win32HostDriver::ReadDropDown() {
  DropDown dropDown;
  const HWND dropList = FindThreadWindow(kDropListClass);
  const HWND list = dropList ? ::GetDlgItem(dropList, kDropListBoxId) : nullptr;
  if (!list || !::IsWindowVisible(dropList)) return dropDown;
  dropDown.shown = true;
  const int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    const LRESULT n = ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    dropDown.entries.push_back(FromW(text.data(), static_cast<size_t>(std::max<LRESULT>(n, 0))));
  }
  dropDown.selected = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
  return dropDown;
}

}  // namespace norvex::tools::win32
