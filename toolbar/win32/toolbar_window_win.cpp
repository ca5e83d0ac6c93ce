#include "toolbar/win32/toolbar_window_win.h"

#include <commctrl.h>

#include <vector>

#include "platform/win32/scoped_dc.h"
#include "platform/win32/window_subclass.h"

#include "styling/win32/agent_button_paint_win.h"
#include "styling/win32/menu_paint_win.h"
#include "toolbar/win32/grip_win.h"
#include "toolbar/win32/search_box_win.h"

namespace norvex::toolbar::win32 {

using platform::win32::CommandOf;
using platform::win32::DcOf;
using platform::win32::FromW;
using platform::win32::PointOf;
using platform::win32::SizeOf;
using platform::win32::StructOf;
using platform::win32::W;

namespace {

RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// A popup menu of entries, with submenus for entries that have children. Every item is drawn by
// its owner (the toolbar) from its look in `looks`, and keeps its caption as its text.
HMENU BuildMenu(const std::vector<catalogue::OverflowEntry>& entries,
                styling::win32::MenuLooks& looks) {
  HMENU menu = ::CreatePopupMenu();
  for (const auto& entry : entries) {
    // A submenu's entry keeps the command of the button it stands for.
    HMENU submenu = entry.hasSubmenu ? BuildMenu(entry.children, looks) : nullptr;
    styling::win32::AppendOwnerDrawnItem(
        menu, entry.caption, entry.id, entry.grayed, submenu,
        looks.Add(entry.caption, entry.bitmap, entry.transparent, entry.grayed));
  }
  return menu;
}

}  // namespace

UINT RefreshMessage() {
  static const UINT message = ::RegisterWindowMessageW(kRefreshMessageName);
  return message;
}

UINT InRefreshMessage() {
  static const UINT message = ::RegisterWindowMessageW(kInRefreshMessageName);
  return message;
}

Win32ToolbarWindow::Win32ToolbarWindow(ToolbarActions& actions) : toolbar_(*this, actions) {}

Win32ToolbarWindow::~Win32ToolbarWindow() { Destroy(); }

bool Win32ToolbarWindow::Create(HWND parent) {
  if (!RegisterClassOnce(kToolbarWindowClass,
                         {CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW), nullptr})) {
    return false;
  }
  RECT client{};
  if (!::GetClientRect(parent, &client)) return false;
  return CreateWindowOfClass(kToolbarWindowClass, 0, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                             client, parent, 0) != nullptr;
}

void Win32ToolbarWindow::SetFocusSite(IInputObjectSite* site, IUnknown* band) {
  focusSite_ = ComPtr<IInputObjectSite>();
  if (site) {
    site->AddRef();
    *focusSite_.Receive() = site;
  }
  band_ = band;
}

void Win32ToolbarWindow::ReportFocus(bool focused) {
  if (focusSite_ && band_) focusSite_->OnFocusChangeIS(band_, focused ? TRUE : FALSE);
}

HWND Win32ToolbarWindow::EditField() const { return searchBox_ ? searchBox_->edit() : nullptr; }

HRESULT Win32ToolbarWindow::TranslateAccelerator(MSG* msg) {
  HWND edit = EditField();
  if (!msg || !edit || ::GetFocus() != edit || !searchBox_) return S_FALSE;
  return searchBox_->TranslateAccelerator(*msg) ? S_OK : S_FALSE;
}

bool Win32ToolbarWindow::FocusSearchBox() {
  HWND edit = EditField();
  if (!edit) return false;
  ::SetFocus(edit);
  return true;
}

bool Win32ToolbarWindow::HasFocus() const {
  HWND focus = ::GetFocus();
  if (!focus || !hwnd()) return false;
  return focus == hwnd() || ::IsChild(hwnd(), focus) ||
         (searchBox_ && searchBox_->HoldsDropDownWindow(focus));
}

// ---- Messages --------------------------------------------------------------------------------

LRESULT Win32ToolbarWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_DESTROY:
      return OnDestroy();
    case WM_ERASEBKGND:
      return OnEraseBackground(DcOf(wParam));
    case WM_SIZE:
      return OnSize(SizeOf(lParam));
    case WM_TIMER:
      return OnTimer(wParam);
    case WM_COMMAND:
      return OnCommand(CommandOf(wParam, lParam), lParam);
    case WM_DRAWITEM:
      return OnDrawItem(StructOf<const DRAWITEMSTRUCT>(lParam));
    case WM_MEASUREITEM:
      return OnMeasureItem(StructOf<MEASUREITEMSTRUCT>(lParam));
    default:
      if (message == InRefreshMessage() && message != 0) return OnInRefresh();
      return DefaultHandling(message, wParam, lParam);
  }
}

LRESULT Win32ToolbarWindow::OnCreate() {
  NONCLIENTMETRICSW metrics{sizeof metrics};
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_.Reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  }
  toolbar_.OnCreate();
  return 0;
}

LRESULT Win32ToolbarWindow::OnDestroy() {
  toolbar_.OnDestroy();
  return 0;
}

LRESULT Win32ToolbarWindow::OnSize(SIZE size) {
  toolbar_.OnSize(size.cx);
  return 0;
}

LRESULT Win32ToolbarWindow::OnTimer(UINT_PTR id) {
  toolbar_.OnTimer(static_cast<int>(id));
  return 0;
}

LRESULT Win32ToolbarWindow::OnInRefresh() {
  toolbar_.OnInRefresh();
  return 0;
}

LRESULT Win32ToolbarWindow::OnCommand(const platform::win32::Command& command, LPARAM lParam) {
  if (command.id == kResizeGripId && command.code == kGripDragged) {
    // The grip's command carries the pointer's screen position.
    const POINT pointer = PointOf(lParam);
    toolbar_.OnGripDragged(pointer.x, pointer.y);
    return 0;
  }
  // A button's click carries its control identifier, which is the command it sends.
  if (!toolbar_.RouteCommand(command.id, command.code)) {
    DefaultHandling(WM_COMMAND, MAKEWPARAM(command.id, command.code), lParam);
  }
  return 0;
}

// The band's background shows through: the parent paints itself into this window's device
// context, shifted by where the toolbar sits in it.
LRESULT Win32ToolbarWindow::OnEraseBackground(HDC dc) {
  HWND parent = ::GetParent(hwnd());
  if (!parent) return DefaultHandling(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  POINT origin{0, 0};
  ::MapWindowPoints(hwnd(), parent, &origin, 1);
  POINT previous{};
  ::OffsetWindowOrgEx(dc, origin.x, origin.y, &previous);
  const LRESULT painted = ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  ::SetWindowOrgEx(dc, previous.x, previous.y, nullptr);
  if (!painted) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  }
  return 1;
}

int Win32ToolbarWindow::BuiltId(HWND button) const {
  for (const auto& [id, window] : buttonWindows_) {
    if (window.hwnd == button) return id;
  }
  return -1;
}

LRESULT Win32ToolbarWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (styling::win32::DrawMenuItem(item)) return TRUE;
  if (item.CtlType != ODT_BUTTON) return TRUE;
  const int id = BuiltId(item.hwndItem);
  const AgentButton* button = toolbar_.Button(id);
  auto it = buttonWindows_.find(id);
  if (!button || it == buttonWindows_.end()) return TRUE;
  const ButtonWindow& window = it->second;
  styling::win32::AgentButtonLook look;
  look.window = window.hwnd;
  look.caption = button->text;
  look.bitmaps[0] = window.normal.get();
  look.bitmaps[1] = window.disabled.get();
  look.bitmaps[2] = window.pressed.get();
  look.transparent = button->transparent;
  look.style = button->style;
  look.hover = window.hover;
  const FacePress face =
      FacePressOf(*button, window.menuShowing, (item.itemState & ODS_SELECTED) != 0);
  look.arrowMenu = face.arrowMenu;
  look.pressed = face.pressed;
  look.arrowShown = face.arrowShown;
  look.disabled = (item.itemState & ODS_DISABLED) != 0;
  look.font = font_.get();
  styling::win32::PaintAgentButton(item.hDC, item.rcItem, look);
  return TRUE;
}

LRESULT Win32ToolbarWindow::OnMeasureItem(MEASUREITEMSTRUCT& item) {
  styling::win32::MeasureMenuItem(hwnd(), item);
  return TRUE;
}

// ---- Buttons ---------------------------------------------------------------------------------

void Win32ToolbarWindow::CreateButton(const AgentButton& button) {
  DestroyButton(button.id);
  const DWORD style = WS_CHILD | BS_OWNERDRAW | (button.visible ? WS_VISIBLE : 0);
  HWND hwnd = ::CreateWindowExW(0, L"Button", W(button.text), style, button.rect.left,
                                button.rect.top, button.rect.width(), button.rect.height(),
                                this->hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)),
                                ModuleInstance(), nullptr);
  if (!hwnd) return;
  ButtonWindow& window = buttonWindows_[button.id];
  window.hwnd = hwnd;
  platform::win32::WindowSubclass<Win32ToolbarWindow,
                                  &Win32ToolbarWindow::OnButtonMessage>::Install(hwnd, this);
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  // The three bitmaps are loaded only when the agent names all three.
  if (button.image && button.offImage && button.pressedImage) {
    window.normal = platform::win32::LoadModuleBitmap(button.image);
    window.disabled = platform::win32::LoadModuleBitmap(button.offImage);
    window.pressed = platform::win32::LoadModuleBitmap(button.pressedImage);
  }
  ShowButtonState(window, button);
  SetTooltip(window, button);
}

void Win32ToolbarWindow::UpdateButton(const AgentButton& button) {
  auto it = buttonWindows_.find(button.id);
  if (it == buttonWindows_.end()) return;
  ShowButtonState(it->second, button);
  SetTooltip(it->second, button);
}

void Win32ToolbarWindow::ShowButtonState(ButtonWindow& window, const AgentButton& button) {
  HWND hwnd = window.hwnd;
  // The control identifier is the command the button sends: the Web Page Translation button
  // takes the identifier of the item chosen for the page.
  ::SetWindowLongPtrW(hwnd, GWLP_ID, button.commandId);
  ::SetPropW(hwnd, kCommandIdProperty,
             reinterpret_cast<HANDLE>(static_cast<INT_PTR>(button.commandId)));
  if (button.id != kChevronId && button.id == toolbar_.agents().settingsButton) {
    ::SetPropW(hwnd, kSettingsProperty, reinterpret_cast<HANDLE>(1));
  }
  wchar_t current[256] = {};
  ::GetWindowTextW(hwnd, current, 256);
  if (FromW(current) != button.text) ::SetWindowTextW(hwnd, W(button.text));
  if ((::IsWindowEnabled(hwnd) != FALSE) != button.enabled) ::EnableWindow(hwnd, button.enabled);
  ::SetWindowPos(hwnd, nullptr, button.rect.left, button.rect.top, button.rect.width(),
                 button.rect.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | (button.visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  ::InvalidateRect(hwnd, nullptr, TRUE);
}

void Win32ToolbarWindow::SetTooltip(ButtonWindow& window, const AgentButton& button) {
  if (button.tooltip.empty()) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window.hwnd;
  tool.uId = 0;
  tool.lpszText = const_cast<wchar_t*>(W(button.tooltip));
  ::GetClientRect(window.hwnd, &tool.rect);
  if (!window.tooltip) {
    window.tooltip.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                           window.hwnd, nullptr, ModuleInstance(), nullptr));
    if (!window.tooltip) return;
    tool.uFlags = TTF_SUBCLASS;
    ::SendMessageW(window.tooltip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(window.tooltip.get(), TTM_SETMAXTIPWIDTH, 0, 400);
  } else {
    ::SendMessageW(window.tooltip.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(window.tooltip.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  ::SendMessageW(window.tooltip.get(), TTM_ACTIVATE, TRUE, 0);
}

void Win32ToolbarWindow::DestroyButton(int id) {
  auto it = buttonWindows_.find(id);
  if (it == buttonWindows_.end()) return;
  it->second.tooltip.Close();
  if (::IsWindow(it->second.hwnd)) {
    platform::win32::WindowSubclass<Win32ToolbarWindow,
                                    &Win32ToolbarWindow::OnButtonMessage>::Remove(it->second.hwnd);
    ::RemovePropW(it->second.hwnd, kCommandIdProperty);
    ::RemovePropW(it->second.hwnd, kSettingsProperty);
    ::DestroyWindow(it->second.hwnd);
  }
  buttonWindows_.erase(it);
}

// A press on a menu button (or a split button's arrow) opens its menu; any other press is the
// push button's own, which sends the command on release. A double click counts as a press.
LRESULT Win32ToolbarWindow::OnButtonMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE) {
    auto it = buttonWindows_.find(BuiltId(hwnd));
    if (it != buttonWindows_.end()) SetHover(it->second, message == WM_MOUSEMOVE);
  }
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    const int id = BuiltId(hwnd);
    const int x = PointOf(lParam).x;
    if (toolbar_.PressOpensMenu(id, x)) {
      if (toolbar_.PressButton(id, x)) OpenButtonMenu(id);
      return 0;
    }
    if (message == WM_LBUTTONDBLCLK) message = WM_LBUTTONDOWN;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

// Entering asks to be told when the pointer leaves; each change repaints the whole face.
void Win32ToolbarWindow::SetHover(ButtonWindow& window, bool hover) {
  if (window.hover == hover) return;
  window.hover = hover;
  if (hover) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window.hwnd, 0};
    ::TrackMouseEvent(&track);
  }
  ::InvalidateRect(window.hwnd, nullptr, TRUE);
}

void Win32ToolbarWindow::OpenButtonMenu(int id) {
  const AgentButton* button = toolbar_.Button(id);
  auto it = buttonWindows_.find(id);
  if (!button || it == buttonWindows_.end()) return;
  HWND hwnd = it->second.hwnd;
  styling::win32::MenuLooks looks;
  platform::win32::ScopedMenu menu(BuildMenu(button->menu, looks));
  RECT rect{};
  ::GetWindowRect(hwnd, &rect);
  it->second.menuShowing = true;
  ::SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
  ::InvalidateRect(hwnd, nullptr, TRUE);
  // The chosen item arrives at this window as a command.
  ::TrackPopupMenuEx(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rect.left,
                     rect.bottom, this->hwnd(), nullptr);
  // A command chosen in the menu may have rebuilt the toolbar: look the button up again.
  it = buttonWindows_.find(id);
  if (it != buttonWindows_.end() && it->second.hwnd == hwnd) it->second.menuShowing = false;
  if (::IsWindow(hwnd)) {
    ::SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
    ::InvalidateRect(hwnd, nullptr, TRUE);
  }
  // A click on the button that closed the menu must not open it again: the mark stays while
  // the pointer is over the button.
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const bool overButton = ::IsWindow(hwnd) && ::WindowFromPoint(cursor) == hwnd;
  if (!overButton) toolbar_.CloseButtonMenu(id, 0);
}

// ---- Search box and grip ---------------------------------------------------------------------

search::SearchComboHost* Win32ToolbarWindow::CreateSearchBox(const Rect& rect) {
  // A box whose window class cannot be registered is left out: the toolbar goes on without it.
  std::unique_ptr<SearchBoxWindow> box;
  try {
    box = std::make_unique<SearchBoxWindow>([this](bool focused) { ReportFocus(focused); },
                                            searchBoxRegistrar_);
  } catch (const ResourceException&) {
    return nullptr;
  }
  if (!box->Create(hwnd(), ToRect(rect))) return nullptr;
  searchBox_ = std::move(box);
  return searchBox_.get();
}

void Win32ToolbarWindow::ConnectSearchBox(search::SearchComboBox& model) {
  if (searchBox_) searchBox_->Connect(&model);
}

void Win32ToolbarWindow::MoveSearchBox(const Rect& rect) {
  if (!searchBox_) return;
  ::SetWindowPos(searchBox_->hwnd(), nullptr, rect.left, rect.top, rect.width(), rect.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(searchBox_->hwnd(), nullptr, TRUE);
}

void Win32ToolbarWindow::DestroySearchBox() {
  if (!searchBox_) return;
  searchBox_->Connect(nullptr);
  searchBox_.reset();
}

void Win32ToolbarWindow::CreateGrip(const Rect& rect) {
  auto grip = std::make_unique<GripWindow>();
  if (grip->Create(hwnd(), ToRect(rect))) grip_ = std::move(grip);
}

void Win32ToolbarWindow::MoveGrip(const Rect& rect) {
  if (grip_) {
    ::SetWindowPos(grip_->hwnd(), nullptr, rect.left, rect.top, rect.width(), rect.height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32ToolbarWindow::DestroyGrip() { grip_.reset(); }

// ---- Measuring, timers, painting -------------------------------------------------------------

int Win32ToolbarWindow::ClientWidth() {
  RECT r{};
  return hwnd() && ::GetClientRect(hwnd(), &r) ? r.right : 0;
}

int Win32ToolbarWindow::ParentClientWidth() {
  RECT r{};
  HWND parent = hwnd() ? ::GetParent(hwnd()) : nullptr;
  return parent && ::GetClientRect(parent, &r) ? r.right : 0;
}

int Win32ToolbarWindow::TextWidth(const std::u16string& text) {
  if (text.empty()) return 0;
  const platform::win32::ScopedWindowDc dc(hwnd());
  const platform::win32::ScopedSelectObject font(
      dc.get(), font_ ? font_.get() : ::GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  ::GetTextExtentPoint32W(dc.get(), W(text), static_cast<int>(text.size()), &size);
  return size.cx;
}

int Win32ToolbarWindow::BitmapWidth(int bitmapId) {
  if (bitmapId == 0) return 0;
  auto it = bitmapSizes_.find(bitmapId);
  if (it == bitmapSizes_.end()) {
    SIZE size{};
    const platform::win32::ScopedBitmap bitmap = platform::win32::LoadModuleBitmap(bitmapId);
    BITMAP info{};
    if (bitmap && ::GetObjectW(bitmap.get(), sizeof info, &info)) size = {info.bmWidth, info.bmHeight};
    it = bitmapSizes_.emplace(bitmapId, size).first;
  }
  return it->second.cx;
}

void Win32ToolbarWindow::StartTimer(int id, int milliseconds) {
  ::SetTimer(hwnd(), static_cast<UINT_PTR>(id), static_cast<UINT>(milliseconds), nullptr);
}

void Win32ToolbarWindow::StopTimer(int id) { ::KillTimer(hwnd(), static_cast<UINT_PTR>(id)); }

void Win32ToolbarWindow::Repaint(bool erase) {
  ::RedrawWindow(hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ALLCHILDREN | (erase ? RDW_ERASE : 0));
}

int Win32ToolbarWindow::ScreenToClientX(int screenX, int screenY) {
  POINT point{screenX, screenY};
  ::ScreenToClient(hwnd(), &point);
  return point.x;
}

}  // namespace norvex::toolbar::win32
