#include "toolbar/win32/drop_list_win.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/scoped_dc.h"
#include "platform/win32/window_subclass.h"

#include "styling/win32/gdi_paint_win.h"
#include "styling/win32/search_box_paint_win.h"
#include "toolbar/win32/search_box_win.h"

namespace norvex::toolbar::win32 {

using platform::win32::CommandOf;
using platform::win32::FontOf;
using platform::win32::FromW;
using platform::win32::PointOf;
using platform::win32::ScopedScreenDc;
using platform::win32::ScopedSelectObject;
using platform::win32::StructOf;
using platform::win32::W;
using platform::win32::WheelDeltaOf;
using platform::win32::WindowOf;
using styling::win32::ToRect;

namespace {

// Space above and below an entry's text.
constexpr int kItemPadding = 4;

HMENU ControlId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

bool Contains(const search::Rect& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void Move(HWND window, const search::Rect& r) {
  ::MoveWindow(window, r.left, r.top, r.width(), r.height(), TRUE);
}

}  // namespace

// ---- DropListBox ----------------------------------------------------------------------------

DropListBox::~DropListBox() {
  platform::win32::WindowSubclass<DropListBox, &DropListBox::OnMessage>::Remove(hwnd_);
}

bool DropListBox::Create(HWND parent, const RECT& rect, HFONT font, SearchBoxWindow& box) {
  box_ = &box;
  hwnd_ = ::CreateWindowExW(0, L"ListBox", L"",
                            WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                                LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                            parent, ControlId(kDropListBoxId), ModuleInstance(), nullptr);
  if (!hwnd_) return false;
  if (font) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  platform::win32::WindowSubclass<DropListBox, &DropListBox::OnMessage>::Install(hwnd_, this);
  return true;
}

void DropListBox::SetItems(const std::vector<search::ComboItem>& items) {
  ::SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
  copies_.clear();
  for (const search::ComboItem& item : items) {
    const LRESULT index = ::SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.text)));
    if (index < 0) continue;
    copies_.push_back(std::make_unique<search::ComboItem>(item));
    ::SendMessageW(hwnd_, LB_SETITEMDATA, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(copies_.back().get()));
  }
}

const search::ComboItem* DropListBox::Item(int index) const {
  if (index < 0) return nullptr;
  const LRESULT data = ::SendMessageW(hwnd_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  if (data == LB_ERR || data == 0) return nullptr;
  return reinterpret_cast<const search::ComboItem*>(data);
}

int DropListBox::IndexAt(POINT point) const {
  const LRESULT hit = ::SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
  if (HIWORD(hit) != 0) return -1;  // outside the client area
  const int index = LOWORD(hit);
  return index < static_cast<int>(::SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)) ? index : -1;
}

LRESULT DropListBox::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd != hwnd_) return ::DefSubclassProc(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_MOUSEMOVE:
      return OnMouseMove(PointOf(lParam));
    case WM_LBUTTONDOWN:
      return 0;  // the entry is chosen on release
    case WM_LBUTTONDBLCLK:
      return 0;
    case WM_LBUTTONUP:
      return OnButtonUp(PointOf(lParam));
    case WM_MOUSEWHEEL:
      return ::SendMessageW(box_->hwnd(), message, wParam, lParam);
    default:
      return ::DefSubclassProc(hwnd_, message, wParam, lParam);
  }
}

// Hot tracking: the entry under the pointer is selected (unless disabled). Leaving the list
// gives the capture back to the drop-down window.
LRESULT DropListBox::OnMouseMove(POINT point) {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  DropListWindow* drop = box_->dropDown();
  if (!::PtInRect(&client, point)) {
    if (drop && ::GetCapture() == hwnd_) drop->TakeCapture();
    return 0;
  }
  if (::GetCapture() != hwnd_) ::SetCapture(hwnd_);
  const int index = IndexAt(point);
  if (index < 0 || !box_->model()) return 0;
  // Selecting scrolls a partly shown entry into view, which would put the next entry under
  // the pointer: the list stays where it is.
  const LRESULT top = ::SendMessageW(hwnd_, LB_GETTOPINDEX, 0, 0);
  box_->model()->HoverDropDownItem(index);
  if (::SendMessageW(hwnd_, LB_GETTOPINDEX, 0, 0) != top) {
    ::SendMessageW(hwnd_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  }
  if (drop) drop->SyncScrollBar();
  return 0;
}

// Releasing over the list chooses its selected entry (the last one under the pointer): choose,
// submit and close are posted to the combo window.
LRESULT DropListBox::OnButtonUp(POINT point) {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  if (!::PtInRect(&client, point)) {
    if (DropListWindow* drop = box_->dropDown()) drop->TakeCapture();
    return 0;
  }
  const int selected = static_cast<int>(::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
  const search::ComboItem* item = Item(selected);
  const search::ComboItem* under = Item(IndexAt(point));
  if (!item || item->disabled || (under && under->disabled)) return 0;
  HWND combo = box_->hwnd();
  ::PostMessageW(combo, kChooseItemMessage, static_cast<WPARAM>(selected), 0);
  ::PostMessageW(combo, kSubmitItemMessage, static_cast<WPARAM>(selected), 0);
  ::ReleaseCapture();
  ::PostMessageW(combo, kCloseDropDownMessage, 0, 0);
  return 0;
}

// ---- DropListWindow -------------------------------------------------------------------------

DropListWindow::DropListWindow(SearchBoxWindow& box, ClassRegistrar registrar)
    : box_(box), registrar_(registrar) {}

DropListWindow::~DropListWindow() {
  *alive_ = false;
  Destroy();
}

bool DropListWindow::Create(const search::Rect& rect, HFONT font) {
  font_ = font;
  if (!RegisterClassOnce(
          kDropListClass,
          {CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW), ::GetSysColorBrush(COLOR_WINDOW)},
          registrar_)) {
    return false;
  }
  // The entries are as high as the box's font and a little space.
  {
    const ScopedScreenDc dc(::GetDC(nullptr));
    TEXTMETRICW metrics{};
    ScopedSelectObject select(dc.get(), font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
    ::GetTextMetricsW(dc.get(), &metrics);
    itemHeight_ = std::max<int>(metrics.tmHeight + kItemPadding, 1);
  }
  if (!CreateWindowOfClass(kDropListClass, WS_EX_TOOLWINDOW, WS_CHILD | WS_BORDER | WS_CLIPCHILDREN,
                           ToRect(rect), ::GetDesktopWindow(), kDropListWindowId)) {
    return false;
  }
  const search::DropDownLayout layout = Layout();
  if (!list_.Create(hwnd(), ToRect(layout.list), font_, box_)) return false;
  scrollBar_ = ::CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | SBS_VERT,
                                 layout.scrollBar.left, layout.scrollBar.top,
                                 layout.scrollBar.width(), layout.scrollBar.height(), hwnd(),
                                 ControlId(kDropScrollBarId), ModuleInstance(), nullptr);
  deleteButton_ = ::CreateWindowExW(0, L"Button", L"履歴の削除", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                    layout.deleteButton.left, layout.deleteButton.top,
                                    layout.deleteButton.width(), layout.deleteButton.height(),
                                    hwnd(), ControlId(kDeleteHistoryId), ModuleInstance(), nullptr);
  buttonFont_.Reset(::CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"));
  if (deleteButton_ && buttonFont_) {
    ::SendMessageW(deleteButton_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
  }
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  ::SetCapture(hwnd());
  return true;
}

search::DropDownLayout DropListWindow::Layout() const {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  return search::LayoutDropDown(client.right, client.bottom, ::GetSystemMetrics(SM_CXVSCROLL),
                                ::GetSystemMetrics(SM_CYVSCROLL));
}

void DropListWindow::SetItems(const std::vector<search::ComboItem>& items) {
  list_.SetItems(items);
  SyncScrollBar();
  ::InvalidateRect(list_.hwnd(), nullptr, TRUE);
}

void DropListWindow::Select(int index) {
  ::SendMessageW(list_.hwnd(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SyncScrollBar();
}

void DropListWindow::Scroll(int top) {
  ::SendMessageW(list_.hwnd(), LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  SyncScrollBar();
}

int DropListWindow::VisibleItems() const {
  RECT client{};
  ::GetClientRect(list_.hwnd(), &client);
  return std::max(1, static_cast<int>(client.bottom) / itemHeight_);
}

void DropListWindow::SyncScrollBar() {
  if (!scrollBar_) return;
  const int count = static_cast<int>(::SendMessageW(list_.hwnd(), LB_GETCOUNT, 0, 0));
  const int top = static_cast<int>(::SendMessageW(list_.hwnd(), LB_GETTOPINDEX, 0, 0));
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = std::max(count - 1, 0);
  info.nPage = static_cast<UINT>(VisibleItems());
  info.nPos = top;
  ::SetScrollInfo(scrollBar_, SB_CTL, &info, TRUE);
  if (box_.model()) box_.model()->OnDropDownScrolled(top);
}

void DropListWindow::TakeCapture() { ::SetCapture(hwnd()); }

void DropListWindow::PostToBox(UINT message, WPARAM wParam) {
  ::PostMessageW(box_.hwnd(), message, wParam, 0);
}

LRESULT DropListWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      return PlaceChildren();
    case WM_PAINT:
      return OnPaint();
    case WM_SETFONT:
      return OnSetFont(FontOf(wParam));
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_MOUSEMOVE:
      return OnMouseMove(PointOf(lParam));
    case WM_LBUTTONDOWN:
      return OnButtonDown(wParam, PointOf(lParam));
    case WM_LBUTTONDBLCLK:
      return OnButtonDown(wParam, PointOf(lParam));
    case WM_LBUTTONUP:
      return OnButtonUp();
    case WM_CAPTURECHANGED:
      return OnCaptureChanged(WindowOf(lParam));
    case WM_MOUSEWHEEL:
      return ::SendMessageW(box_.hwnd(), message, wParam, lParam);
    case WM_VSCROLL:
      return OnVerticalScroll(LOWORD(wParam), WindowOf(lParam));
    case WM_COMMAND:
      return OnCommand(CommandOf(wParam, lParam));
    case WM_MEASUREITEM:
      return OnMeasureItem(StructOf<MEASUREITEMSTRUCT>(lParam));
    case WM_DRAWITEM:
      return OnDrawItem(StructOf<const DRAWITEMSTRUCT>(lParam));
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ACTIVATEAPP:
      return OnActivateApp(wParam != FALSE);
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

LRESULT DropListWindow::OnSetFont(HFONT font) {
  font_ = font;
  return 0;
}

LRESULT DropListWindow::OnButtonUp() {
  resizing_ = false;
  return 0;
}

LRESULT DropListWindow::OnCaptureChanged(HWND capture) {
  if (capture != hwnd()) resizing_ = false;
  return 0;
}

LRESULT DropListWindow::OnCommand(const platform::win32::Command& command) {
  if (command.id == kDeleteHistoryId && command.code == BN_CLICKED && box_.model()) {
    box_.model()->DeleteHistory();
  }
  return 0;
}

// The application is deactivated: the drop-down closes (posted, as whatever closes it).
LRESULT DropListWindow::OnActivateApp(bool active) {
  if (!active) PostToBox(kCloseDropDownMessage);
  return 0;
}

LRESULT DropListWindow::PlaceChildren() {
  const search::DropDownLayout layout = Layout();
  if (list_.hwnd()) Move(list_.hwnd(), layout.list);
  if (scrollBar_) Move(scrollBar_, layout.scrollBar);
  if (deleteButton_) Move(deleteButton_, layout.deleteButton);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
  SyncScrollBar();
  return 0;
}

LRESULT DropListWindow::OnPaint() {
  const platform::win32::ScopedPaint paint(hwnd());
  const search::DropDownLayout layout = Layout();
  styling::win32::FillSolid(paint.dc(), ToRect(layout.strip), ::GetSysColor(COLOR_WINDOW));
  styling::win32::PaintSizeGrip(paint.dc(), hwnd(), ToRect(layout.sizeGrip));
  return 0;
}

// With the capture, every move of the pointer comes here: over the list the list takes the
// capture; while resizing the window follows the pointer; elsewhere the cursor says what a
// press would do.
LRESULT DropListWindow::OnMouseMove(POINT point) {
  const search::DropDownLayout layout = Layout();
  if (resizing_) {
    POINT screen = point;
    ::ClientToScreen(hwnd(), &screen);
    RECT window{};
    ::GetWindowRect(hwnd(), &window);
    const int width = std::max<int>(screen.x + resizeOrigin_.x - window.left,
                                    ::GetSystemMetrics(SM_CXVSCROLL));
    const int height = std::max<int>(screen.y + resizeOrigin_.y - window.top,
                                     ::GetSystemMetrics(SM_CYVSCROLL));
    std::pair<int, int> size{width, height};
    if (box_.model()) size = box_.model()->ResizeDropDown(width, height);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, size.first, size.second,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  if (Contains(layout.list, point)) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::SetCapture(list_.hwnd());
    POINT inList = point;
    ::MapWindowPoints(hwnd(), list_.hwnd(), &inList, 1);
    ::SendMessageW(list_.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(inList.x, inList.y));
    return 0;
  }
  const wchar_t* cursor = IDC_ARROW;
  if (Contains(layout.sizeGrip, point)) cursor = IDC_SIZENWSE;
  if (Contains(layout.deleteButton, point)) cursor = IDC_HAND;
  ::SetCursor(::LoadCursorW(nullptr, cursor));
  return 0;
}

LRESULT DropListWindow::OnButtonDown(WPARAM keys, POINT point) {
  POINT screen = point;
  ::ClientToScreen(hwnd(), &screen);
  RECT window{};
  ::GetWindowRect(hwnd(), &window);
  if (!::PtInRect(&window, screen)) {
    ::ReleaseCapture();
    PostToBox(kCloseDropDownMessage);
    return 0;
  }
  const search::DropDownLayout layout = Layout();
  if (Contains(layout.sizeGrip, point)) {
    resizing_ = true;
    resizeOrigin_ = POINT{window.right - screen.x, window.bottom - screen.y};
    return 0;
  }
  if (Contains(layout.deleteButton, point)) {
    ::SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(kDeleteHistoryId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(deleteButton_));
    return 0;
  }
  if (Contains(layout.scrollBar, point) && scrollBar_) {
    // The scroll bar tracks the press itself (it takes the capture until the release); then
    // the capture comes back here, if the drop-down is still open.
    const std::shared_ptr<bool> alive = alive_;
    POINT inBar = point;
    ::MapWindowPoints(hwnd(), scrollBar_, &inBar, 1);
    ::SendMessageW(scrollBar_, WM_LBUTTONDOWN, keys, MAKELPARAM(inBar.x, inBar.y));
    if (*alive && hwnd()) ::SetCapture(hwnd());
  }
  return 0;
}

LRESULT DropListWindow::OnVerticalScroll(int request, HWND bar) {
  using search::ScrollRequest;
  if (bar != scrollBar_) return 0;
  ScrollRequest asked = ScrollRequest::kLineUp;
  switch (request) {
    case SB_LINEUP:
      asked = ScrollRequest::kLineUp;
      break;
    case SB_LINEDOWN:
      asked = ScrollRequest::kLineDown;
      break;
    case SB_PAGEUP:
      asked = ScrollRequest::kPageUp;
      break;
    case SB_PAGEDOWN:
      asked = ScrollRequest::kPageDown;
      break;
    case SB_TOP:
      asked = ScrollRequest::kTop;
      break;
    case SB_BOTTOM:
      asked = ScrollRequest::kBottom;
      break;
    case SB_THUMBTRACK:
      asked = ScrollRequest::kThumb;
      break;
    case SB_THUMBPOSITION:
      asked = ScrollRequest::kThumb;
      break;
    default:
      return 0;  // SB_ENDSCROLL
  }
  SCROLLINFO thumb{};
  thumb.cbSize = sizeof thumb;
  thumb.fMask = SIF_TRACKPOS;
  if (asked == ScrollRequest::kThumb) ::GetScrollInfo(scrollBar_, SB_CTL, &thumb);
  HWND list = list_.hwnd();
  const int top = search::ScrolledTop(
      asked, static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0)),
      static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0)), VisibleItems(), thumb.nTrackPos);
  ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  SyncScrollBar();
  return 0;
}

LRESULT DropListWindow::OnMeasureItem(MEASUREITEMSTRUCT& measure) {
  if (measure.CtlID == static_cast<UINT>(kDropListBoxId)) measure.itemHeight = static_cast<UINT>(itemHeight_);
  return TRUE;
}

LRESULT DropListWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID != static_cast<UINT>(kDropListBoxId) || item.itemID == static_cast<UINT>(-1)) {
    return TRUE;
  }
  const int index = static_cast<int>(item.itemID);
  const LRESULT length = ::SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
  if (length > 0) {
    ::SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
  }
  const search::ComboItem* copy = list_.Item(index);
  ScopedSelectObject font(item.hDC, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
  styling::win32::PaintDropListItem(item.hDC, item.rcItem,
                                    FromW(text.c_str()), (item.itemState & ODS_SELECTED) != 0,
                                    copy && copy->disabled);
  return TRUE;
}

}  // namespace norvex::toolbar::win32
