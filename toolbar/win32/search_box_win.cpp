#include "toolbar/win32/search_box_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "toolbar/win32/toolbar_window_win.h"

namespace norvex::toolbar::win32 {

using platform::win32::FromW;
using platform::win32::W;

namespace {

constexpr wchar_t kComboClass[] = L"AdvComboBoxCtrl";
constexpr wchar_t kDropListClass[] = L"NorvexDropList";
constexpr UINT_PTR kEditSubclassId = 1;
constexpr int kDeleteButtonWidth = 80;
constexpr int kStripHeight = 20;

std::u16string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
  return FromW(text.data(), static_cast<size_t>(copied));
}

}  // namespace

// The drop-down: a topmost tool window below the box with the list, a scroll bar and the
// button that deletes the history.
class DropListWindow final : public BaseWindow<DropListWindow> {
 public:
  explicit DropListWindow(SearchBoxWindow& box) : box_(box) {}
  ~DropListWindow() {
    if (hwnd()) ::DestroyWindow(hwnd());
  }

  bool Create(const search::Rect& rect, HFONT font) {
    if (!RegisterClassOnce(kDropListClass, CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                           ::GetSysColorBrush(COLOR_WINDOW))) {
      return false;
    }
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    if (!::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kDropListClass,
                           L"", WS_POPUP | WS_BORDER, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, box_.hwnd(),
                           nullptr, ModuleInstance(), static_cast<BaseWindow*>(this))) {
      return false;
    }
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const int w = client.right, h = client.bottom;
    const int sb = ::GetSystemMetrics(SM_CXVSCROLL), sbh = ::GetSystemMetrics(SM_CYVSCROLL);
    list_ = ::CreateWindowExW(0, L"ListBox", L"",
                              WS_CHILD | WS_VISIBLE | LBS_HASSTRINGS | LBS_NOTIFY |
                                  LBS_NOINTEGRALHEIGHT,
                              0, 0, w - sb, h - kStripHeight, hwnd(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDropListBoxId)),
                              ModuleInstance(), nullptr);
    ::CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | SBS_VERT, w - sb, 0, sb,
                      h - sbh, hwnd(),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDropScrollBarId)),
                      ModuleInstance(), nullptr);
    HWND button = ::CreateWindowExW(
        0, L"Button", L"履歴の削除", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
        w - kDeleteButtonWidth, h - kStripHeight, kDeleteButtonWidth - sb, kStripHeight, hwnd(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDeleteHistoryId)), ModuleInstance(),
        nullptr);
    if (font) {
      ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    return true;
  }

  void SetItems(const std::vector<search::ComboItem>& items) {
    ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    for (const auto& item : items) {
      ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.text)));
    }
  }
  void Select(int index) { ::SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
  void Scroll(int top) { ::SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0); }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
      case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
      case WM_ACTIVATEAPP:
        if (!wParam && box_.model()) box_.model()->OnAppDeactivated();
        return 0;
      default:
        return DefaultHandling(message, wParam, lParam);
    }
  }

 private:
  void OnCommand(int id, int code) {
    search::SearchComboBox* model = box_.model();
    if (!model) return;
    if (id == kDeleteHistoryId && code == BN_CLICKED) {
      model->DeleteHistory();
    } else if (id == kDropListBoxId && code == LBN_SELCHANGE) {
      // A click on an entry chooses it and submits the search.
      const int index = static_cast<int>(::SendMessageW(list_, LB_GETCURSEL, 0, 0));
      if (index >= 0) model->ClickDropDownItem(index);
    }
  }

  SearchBoxWindow& box_;
  HWND list_ = nullptr;
};

SearchBoxWindow::SearchBoxWindow(Win32ToolbarWindow& toolbar) : toolbar_(toolbar) {}

SearchBoxWindow::~SearchBoxWindow() {
  model_ = nullptr;
  dropDown_.reset();
  if (hwnd()) ::DestroyWindow(hwnd());
}

bool SearchBoxWindow::Create(HWND parent, const RECT& rect) {
  if (!RegisterClassOnce(kComboClass, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
                         ::LoadCursorW(nullptr, IDC_ARROW),
                         reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)))) {
    return false;
  }
  // The system's default GUI font at a height of 12.
  LOGFONTW font{};
  if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font)) {
    font.lfHeight = 12;
    font_.Reset(::CreateFontIndirectW(&font));
  }
  return CreateChild(kComboClass, 0, WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, rect, parent,
                     kSearchBoxId) != nullptr;
}

void SearchBoxWindow::Connect(search::SearchComboBox* model) {
  model_ = model;
  if (!model_) {
    dropDown_.reset();
    return;
  }
  if (edit_) model_->OnEditCreated();
}

// ---- The combo window ------------------------------------------------------------------------

LRESULT SearchBoxWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (edit_) {
        const RECT r = EditRect();
        ::MoveWindow(edit_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
      }
      return 0;
    case WM_ENABLE:
      if (edit_) ::EnableWindow(edit_, static_cast<BOOL>(wParam));
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      return 0;
    case WM_COMMAND:
      if (edit_ && reinterpret_cast<HWND>(lParam) == edit_) OnEditCommand(HIWORD(wParam));
      return 0;
    case WM_SETFOCUS:
      if (model_) model_->OnSetFocus();
      return 0;
    case WM_KILLFOCUS:
      if (model_) model_->OnKillFocus();
      return 0;
    case WM_LBUTTONDOWN: {
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const RECT button = ButtonRect();
      if (model_ && ::PtInRect(&button, p)) model_->OnDropButtonClick();
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (model_) model_->OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
    case WM_USER + 1:
      if (model_) model_->ChooseItem(static_cast<int>(wParam));
      return 0;
    case WM_USER + 2:
      if (model_) model_->CloseDropDown();
      return 0;
    case WM_USER + 5:
      if (model_) model_->SubmitFromList(static_cast<int>(wParam));
      return 0;
    case WM_USER + 101:
      if (model_) model_->ToggleDropDown();
      return 0;
    case CB_ADDSTRING:
      return model_ ? model_->AddString(FromW(reinterpret_cast<const wchar_t*>(lParam))) : CB_ERR;
    case CB_RESETCONTENT:
      if (model_) model_->ResetContent();
      return CB_OKAY;
    case CB_GETCOUNT:
      return model_ ? model_->GetCount() : 0;
    case CB_GETCURSEL:
      return model_ ? model_->GetCurSel() : CB_ERR;
    case CB_SETCURSEL:
      return model_ ? model_->SetCurSel(static_cast<int>(wParam)) : CB_ERR;
    case CB_SELECTSTRING:
      return model_ ? model_->SelectString(FromW(reinterpret_cast<const wchar_t*>(lParam))) : CB_ERR;
    case CB_GETLBTEXTLEN:
      return model_ ? model_->GetLBTextLen(static_cast<int>(wParam)) : CB_ERR;
    case CB_GETLBTEXT: {
      if (!model_ || model_->GetLBTextLen(static_cast<int>(wParam)) < 0) return CB_ERR;
      const std::u16string text = model_->GetLBText(static_cast<int>(wParam));
      auto* out = reinterpret_cast<wchar_t*>(lParam);
      if (out) {
        std::copy(text.begin(), text.end(), out);
        out[text.size()] = L'\0';
      }
      return static_cast<LRESULT>(text.size());
    }
    case CB_GETTOPINDEX:
      return model_ ? model_->GetTopIndex() : CB_ERR;
    case CB_SETTOPINDEX:
      return model_ ? model_->SetTopIndex(static_cast<int>(wParam)) : CB_ERR;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

RECT SearchBoxWindow::ButtonRect() const {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  client.left = client.right - ::GetSystemMetrics(SM_CXVSCROLL);
  return client;
}

// The client area less the button at the right, inset by the border, then 1 right and 2 down.
RECT SearchBoxWindow::EditRect() const {
  RECT r{};
  ::GetClientRect(hwnd(), &r);
  r.right -= ::GetSystemMetrics(SM_CXVSCROLL);
  ::InflateRect(&r, -2, -2);
  ::OffsetRect(&r, 1, 2);
  return r;
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
  ::SetWindowSubclass(edit_, &SearchBoxWindow::EditProc, kEditSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
  if (model_) model_->OnEditCreated();
}

void SearchBoxWindow::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd(), &paint);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const bool enabled = ::IsWindowEnabled(hwnd()) != FALSE;
  ::FillRect(dc, &client, ::GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  RECT border = client;
  ::DrawEdge(dc, &border, EDGE_SUNKEN, BF_RECT);
  RECT button = ButtonRect();
  ::InflateRect(&button, 0, -2);
  button.right -= 2;
  const bool open = model_ && model_->dropDownOpen();
  const bool empty = !model_ || model_->GetCount() == 0;
  ::DrawFrameControl(dc, &button, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (open ? DFCS_PUSHED | DFCS_FLAT : 0) |
                         (!enabled || empty ? DFCS_INACTIVE : 0));
  ::EndPaint(hwnd(), &paint);
  // The edit field is made when the box is first painted.
  if (!edit_) CreateEditField();
}

void SearchBoxWindow::OnEditCommand(int code) {
  // A text the model shows is already the model's: only the user's edits are reported.
  if (!model_ || settingText_) return;
  switch (code) {
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
}

LRESULT CALLBACK SearchBoxWindow::EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR selfData) {
  auto* self = reinterpret_cast<SearchBoxWindow*>(selfData);
  const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
  if (self->model_) {
    if (message == WM_SETFOCUS) {
      self->model_->OnEditSetFocus();
    } else if (message == WM_KILLFOCUS) {
      self->model_->OnEditKillFocus(reinterpret_cast<HWND>(wParam) == self->hwnd());
    }
  }
  return result;
}

bool SearchBoxWindow::TranslateAccelerator(MSG& msg) {
  if (!model_) return false;
  filtered_ = &msg;
  int result = 1;
  if (msg.message == WM_KEYDOWN) {
    const bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    result = model_->TranslateKey(static_cast<int>(msg.wParam), ctrl);
  } else if (msg.message == WM_SYSKEYDOWN) {
    result = model_->TranslateSysKey(static_cast<int>(msg.wParam));
  }
  filtered_ = nullptr;
  return result == 0;
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
  if (edit_) ::SendMessageW(edit_, EM_SETSEL, start, static_cast<LPARAM>(end));
  if (edit_ && start == 0 && end == 0) ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void SearchBoxWindow::FocusEditField() {
  if (edit_) ::SetFocus(edit_);
}

void SearchBoxWindow::PassKeyToEditField(int virtualKey) {
  if (!edit_) return;
  if (filtered_ && filtered_->hwnd == edit_) {
    ::TranslateMessage(filtered_);
    ::DispatchMessageW(filtered_);
    return;
  }
  ::SendMessageW(edit_, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
}

void SearchBoxWindow::ShowDropDown(const search::Rect& rect,
                                   const std::vector<search::ComboItem>& items, int selected) {
  dropDown_ = std::make_unique<DropListWindow>(*this);
  if (!dropDown_->Create(rect, font_.get())) {
    dropDown_.reset();
    return;
  }
  dropDown_->SetItems(items);
  dropDown_->Select(selected);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

bool SearchBoxWindow::HoldsDropDownWindow(HWND window) const {
  return dropDown_ && dropDown_->hwnd() &&
         (window == dropDown_->hwnd() || ::IsChild(dropDown_->hwnd(), window));
}

void SearchBoxWindow::HideDropDown() {
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

void SearchBoxWindow::ReportFocusToBrowser(bool focused) { toolbar_.ReportFocus(focused); }

}  // namespace norvex::toolbar::win32
