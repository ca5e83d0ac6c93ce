#include "toolbar/win32/search_box_win.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/scoped_dc.h"
#include "platform/win32/window_subclass.h"

#include "styling/win32/search_box_paint_win.h"
#include "toolbar/win32/drop_list_win.h"
#include "toolbar/win32/search_box_drop_target_win.h"

namespace norvex::toolbar::win32 {

using platform::win32::CommandOf;
using platform::win32::FromW;
using platform::win32::PointOf;
using platform::win32::TextOf;
using platform::win32::W;
using platform::win32::WheelDeltaOf;
using platform::win32::WindowOf;

namespace {

// The system's default GUI font, at this logical height.
constexpr LONG kFontHeight = 12;

std::u16string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
  return FromW(text.data(), static_cast<size_t>(std::max(copied, 0)));
}

bool CtrlHeld() { return (::GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

SearchBoxWindow::SearchBoxWindow(FocusReport reportFocus, ClassRegistrar registrar)
    : reportFocus_(std::move(reportFocus)) {
  // The control paints its whole client area itself; the class brush is the menu colour.
  if (!RegisterClassOnce(kSearchBoxClass,
                         {CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                          reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))},
                         registrar)) {
    throw ResourceException();
  }
}

SearchBoxWindow::~SearchBoxWindow() {
  model_ = nullptr;
  dropDown_.reset();
  Destroy();
}

bool SearchBoxWindow::Create(HWND parent, const RECT& rect) {
  return CreateWindowOfClass(kSearchBoxClass, 0, WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, rect, parent,
                             kSearchBoxId) != nullptr;
}

void SearchBoxWindow::Connect(search::SearchComboBox* model) {
  model_ = model;
  routing_.SetModel(model);
  if (!model_) {
    dropDown_.reset();
    return;
  }
  if (edit_) model_->OnEditCreated();
}

IDropTarget* SearchBoxWindow::dropTarget() const { return dropTarget_.get(); }

// ---- The combo window ------------------------------------------------------------------------

LRESULT SearchBoxWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_DESTROY:
      return OnDestroy();
    case WM_PAINT:
      return OnPaint();
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_SIZE:
      return OnSize();
    case WM_ENABLE:
      return OnEnable(wParam != FALSE);
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_.get());
    case WM_COMMAND:
      return OnCommand(CommandOf(wParam, lParam));
    case WM_SETFOCUS:
      return OnSetFocus();
    case WM_KILLFOCUS:
      return OnKillFocus();
    case WM_LBUTTONDOWN:
      return OnButtonDown(PointOf(lParam));
    case WM_LBUTTONDBLCLK:
      return OnButtonDown(PointOf(lParam));
    case WM_MOUSEMOVE:
      return OnMouseMove(PointOf(lParam));
    case WM_TIMER:
      return OnTimer(wParam);
    case WM_MOUSEWHEEL:
      return OnMouseWheel(WheelDeltaOf(wParam));
    default:
      return OnComboMessage(message, wParam, lParam);
  }
}

LRESULT SearchBoxWindow::OnSetFocus() {
  if (model_) model_->OnSetFocus();
  return 0;
}

LRESULT SearchBoxWindow::OnKillFocus() {
  if (model_) model_->OnKillFocus();
  return 0;
}

LRESULT SearchBoxWindow::OnMouseWheel(int delta) {
  if (model_) model_->OnMouseWheel(delta);
  return 0;
}

// The private messages and the combo-box messages, answered by the model.
LRESULT SearchBoxWindow::OnComboMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const int index = static_cast<int>(wParam);
  switch (message) {
    case kChooseItemMessage:
      if (model_) model_->ChooseItem(index);
      return 0;
    case kCloseDropDownMessage:
      if (model_) model_->CloseDropDown();
      return 0;
    case kSubmitItemMessage:
      if (model_) model_->SubmitFromList(index);
      return 0;
    case kToggleDropDownMessage:
      if (model_) model_->ToggleDropDown();
      return 0;
    case CB_ADDSTRING:
      return model_ && lParam ? model_->AddString(TextOf(lParam)) : CB_ERR;
    case CB_RESETCONTENT:
      if (model_) model_->ResetContent();
      return CB_OKAY;
    case CB_GETCOUNT:
      return model_ ? model_->GetCount() : 0;
    case CB_GETCURSEL:
      return model_ ? model_->GetCurSel() : CB_ERR;
    case CB_SETCURSEL:
      return model_ ? model_->SetCurSel(index) : CB_ERR;
    case CB_SELECTSTRING:
      return model_ && lParam ? model_->SelectString(TextOf(lParam)) : CB_ERR;
    case CB_GETLBTEXTLEN:
      return model_ ? model_->GetLBTextLen(index) : CB_ERR;
    case CB_GETLBTEXT: {
      if (!model_ || model_->GetLBTextLen(index) < 0) return CB_ERR;
      const std::u16string text = model_->GetLBText(index);
      if (auto* out = reinterpret_cast<wchar_t*>(lParam)) {
        std::copy(text.begin(), text.end(), out);
        out[text.size()] = L'\0';
      }
      return static_cast<LRESULT>(text.size());
    }
    case CB_GETTOPINDEX:
      return model_ ? model_->GetTopIndex() : CB_ERR;
    case CB_SETTOPINDEX:
      return model_ ? model_->SetTopIndex(index) : CB_ERR;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

LRESULT SearchBoxWindow::OnCreate() {
  LOGFONTW font{};
  if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font)) {
    font.lfHeight = kFontHeight;
    font_.Reset(::CreateFontIndirectW(&font));
  }
  // Text dropped on the box. Without OLE in this thread there is no dragging, and no target.
  dropTarget_ = platform::win32::MakeComObject<SearchBoxDropTarget>(*this);
  if (dropTarget_ && FAILED(::RegisterDragDrop(hwnd(), dropTarget_.get()))) dropTarget_.Reset();
  return 0;
}

LRESULT SearchBoxWindow::OnDestroy() {
  ::KillTimer(hwnd(), kHotButtonTimer);
  dropDown_.reset();
  if (dropTarget_) {
    ::RevokeDragDrop(hwnd());
    dropTarget_.Reset();
  }
  return 0;
}

LRESULT SearchBoxWindow::OnSize() {
  if (!edit_) return 0;
  const RECT r = EditRect();
  ::MoveWindow(edit_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  return 0;
}

LRESULT SearchBoxWindow::OnEnable(bool enabled) {
  if (edit_) ::EnableWindow(edit_, enabled);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
  return 0;
}

// The drop-down button is the rightmost scroll-bar width of the client area.
RECT SearchBoxWindow::ButtonRect() const {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  client.left = client.right - ::GetSystemMetrics(SM_CXVSCROLL);
  return client;
}

// The client area less the button, inset by the border, then 1 right and 2 down.
RECT SearchBoxWindow::EditRect() const {
  RECT r{};
  ::GetClientRect(hwnd(), &r);
  r.right -= ::GetSystemMetrics(SM_CXVSCROLL);
  ::InflateRect(&r, -2, -2);
  ::OffsetRect(&r, 1, 2);
  return r;
}

LRESULT SearchBoxWindow::OnButtonDown(POINT point) {
  // In the drop-down-list style the whole box is the button.
  const bool wholeBox = (::GetWindowLongW(hwnd(), GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
  const RECT button = ButtonRect();
  if (!model_ || (!wholeBox && !::PtInRect(&button, point))) return 0;
  // The combo window hands the focus on to its edit field; when the field has it already, the
  // box has it, and passing it through the combo window would close the drop-down first.
  if (!edit_ || ::GetFocus() != edit_) ::SetFocus(hwnd());
  if (model_) model_->ToggleDropDown();
  return 0;
}

// The button is hot while the pointer is over it; the timer notices when it leaves.
LRESULT SearchBoxWindow::OnMouseMove(POINT point) {
  const RECT button = ButtonRect();
  if (hot_ || !::PtInRect(&button, point)) return 0;
  hot_ = true;
  ::SetTimer(hwnd(), kHotButtonTimer, kHotButtonTimerMs, nullptr);
  ::InvalidateRect(hwnd(), &button, FALSE);
  return 0;
}

LRESULT SearchBoxWindow::OnTimer(UINT_PTR id) {
  if (id != kHotButtonTimer) return 0;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::ScreenToClient(hwnd(), &cursor);
  const RECT button = ButtonRect();
  if (::PtInRect(&button, cursor)) return 0;
  ::KillTimer(hwnd(), kHotButtonTimer);
  hot_ = false;
  ::InvalidateRect(hwnd(), &button, FALSE);
  return 0;
}

void SearchBoxWindow::CreateEditField() {
  const RECT r = EditRect();
  edit_ = ::CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditFieldId)),
                            ModuleInstance(), nullptr);
  if (!edit_) return;
  ::SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  ::SendMessageW(edit_, EM_LIMITTEXT, search::kSearchTextLimit, 0);
  if (!::IsWindowEnabled(hwnd())) ::EnableWindow(edit_, FALSE);
  platform::win32::WindowSubclass<SearchBoxWindow, &SearchBoxWindow::OnEditMessage>::Install(edit_,
                                                                                             this);
  if (model_) model_->OnEditCreated();
}

LRESULT SearchBoxWindow::OnPaint() {
  {
    const platform::win32::ScopedPaint paint(hwnd());
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    styling::SearchBoxState state;
    state.enabled = ::IsWindowEnabled(hwnd()) != FALSE;
    state.hot = hot_;
    state.open = model_ && model_->dropDownOpen();
    state.empty = !model_ || model_->GetCount() == 0;
    styling::win32::PaintSearchBoxFace(paint.dc(), hwnd(), client, ButtonRect(), state);
  }
  // The edit field is made when the box is first painted.
  if (!edit_) CreateEditField();
  return 0;
}

// The edit field's notifications. A text the model shows is already the model's: only the
// user's edits are reported.
LRESULT SearchBoxWindow::OnCommand(const platform::win32::Command& command) {
  if (!edit_ || command.control != edit_ || !model_ || settingText_) return 0;
  switch (command.code) {
    case EN_UPDATE: {
      DWORD start = 0, end = 0;
      ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
      model_->OnEditUpdate(WindowText(edit_), start, end);
      break;
    }
    case EN_CHANGE:
      model_->OnEditChange();
      break;
    default:
      break;
  }
  return 0;
}

// ---- The edit field --------------------------------------------------------------------------

LRESULT SearchBoxWindow::OnEditMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return FilterEditKey(hwnd, message, wParam, lParam);
    case WM_CHAR:
      // Enter and Escape are the box's keys; the single-line field would only beep at them.
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) return 0;
      break;
    case WM_MOUSEWHEEL:
      return ::SendMessageW(this->hwnd(), message, wParam, lParam);
    case WM_SETFOCUS: {
      const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
      if (model_) model_->OnEditSetFocus();
      return result;
    }
    case WM_KILLFOCUS: {
      const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
      if (model_) model_->OnEditKillFocus(FocusTargetOf(WindowOf(wParam)));
      return result;
    }
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

namespace {

search::KeyMessage KeyOf(UINT message, WPARAM wParam, LPARAM lParam, bool toEditField) {
  return {message, static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam), toEditField};
}

}  // namespace

// A key that reaches the edit field: the box's own filter, for keys that came without the band's
// (a host that dispatches them directly), as the routing decides.
LRESULT SearchBoxWindow::FilterEditKey(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (routing_.AtEditField(KeyOf(message, wParam, lParam, true), CtrlHeld())) {
    case search::KeyRouting::Arrival::kConsumed:
      return 0;
    case search::KeyRouting::Arrival::kFilteredToField: {
      const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
      ReportSelection();
      return result;
    }
    case search::KeyRouting::Arrival::kToField:
      break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

void SearchBoxWindow::ReportSelection() {
  if (!edit_ || !model_) return;
  DWORD start = 0, end = 0;
  ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  model_->OnEditSelection(start, end);
}

bool SearchBoxWindow::TranslateAccelerator(MSG& msg) {
  bandMessage_ = &msg;
  const bool consumed =
      routing_.FromBand(KeyOf(msg.message, msg.wParam, msg.lParam, msg.hwnd == edit_), CtrlHeld());
  bandMessage_ = nullptr;
  return consumed;
}

// The band's message handed to the edit field: translated and dispatched as the browser would.
void SearchBoxWindow::Dispatch(const search::KeyMessage& key) {
  MSG copy = bandMessage_ ? *bandMessage_ : MSG{};
  copy.hwnd = edit_;
  copy.message = static_cast<UINT>(key.message);
  copy.wParam = static_cast<WPARAM>(key.wParam);
  copy.lParam = static_cast<LPARAM>(key.lParam);
  ::TranslateMessage(&copy);
  ::DispatchMessageW(&copy);
}

void SearchBoxWindow::SendKeyDown(int virtualKey) {
  ::SendMessageW(edit_, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
}

// ---- What the model asks of the window -------------------------------------------------------

void SearchBoxWindow::SendNotification(int code) {
  ::SendMessageW(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(kSearchBoxId, code),
                 reinterpret_cast<LPARAM>(hwnd()));
}

void SearchBoxWindow::PostNotification(int code) {
  ::PostMessageW(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(kSearchBoxId, code),
                 reinterpret_cast<LPARAM>(hwnd()));
}

search::Rect SearchBoxWindow::ScreenRect() const {
  RECT r{};
  ::GetWindowRect(hwnd(), &r);
  return {r.left, r.top, r.right, r.bottom};
}

void SearchBoxWindow::Repaint() { ::InvalidateRect(hwnd(), nullptr, TRUE); }

void SearchBoxWindow::ShowEditText(const std::u16string& text) {
  settingText_ = true;
  if (edit_) ::SetWindowTextW(edit_, W(text));
  ::SetWindowTextW(hwnd(), W(text));
  settingText_ = false;
}

void SearchBoxWindow::SetEditSelection(size_t start, size_t end) {
  if (!edit_) return;
  ::SendMessageW(edit_, EM_SETSEL, start, static_cast<LPARAM>(end));
  if (start == 0 && end == 0) ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void SearchBoxWindow::FocusEditField() {
  if (edit_ && ::GetFocus() != edit_) ::SetFocus(edit_);
}

// The key being filtered goes to the edit field as the routing decides; the field's new caret is
// reported back.
void SearchBoxWindow::PassKeyToEditField(int virtualKey) {
  if (edit_) routing_.PassToEditField(virtualKey);
}

bool SearchBoxWindow::ShowDropDown(const search::Rect& rect,
                                   const std::vector<search::ComboItem>& items, int selected) {
  dropDown_ = std::make_unique<DropListWindow>(*this, dropListRegistrar_);
  if (!dropDown_->Create(rect, font_.get())) {
    dropDown_.reset();
    return false;
  }
  dropDown_->SetItems(items);
  dropDown_->Select(selected);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
  return true;
}

search::SearchComboBox::FocusTarget SearchBoxWindow::FocusTargetOf(HWND window) const {
  using Target = search::SearchComboBox::FocusTarget;
  if (window && window == hwnd()) return Target::kComboWindow;
  if (window && HoldsDropDownWindow(window)) return Target::kDropDown;
  return Target::kElsewhere;
}

bool SearchBoxWindow::HoldsDropDownWindow(HWND window) const {
  return dropDown_ && dropDown_->hwnd() &&
         (window == dropDown_->hwnd() || ::IsChild(dropDown_->hwnd(), window));
}

void SearchBoxWindow::HideDropDown() {
  if (dropDown_ && dropDown_->hwnd()) ::ShowWindow(dropDown_->hwnd(), SW_HIDE);
  dropDown_.reset();
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void SearchBoxWindow::ReplaceDropDownItems(const std::vector<search::ComboItem>& items) {
  if (dropDown_) dropDown_->SetItems(items);
}

void SearchBoxWindow::SelectDropDownItem(int index) {
  if (dropDown_) dropDown_->Select(index);
}

void SearchBoxWindow::ScrollDropDown(int topIndex) {
  if (dropDown_) dropDown_->Scroll(topIndex);
}

void SearchBoxWindow::ReportFocusToBrowser(bool focused) {
  if (reportFocus_) reportFocus_(focused);
}

}  // namespace norvex::toolbar::win32
