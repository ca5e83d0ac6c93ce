// The search box's real windows under Wine: the combo window with its edit field, the drop-down
// with its list, scroll bar, delete button and grip, driven by the messages a user, the band and
// the toolbar send, and checked by what the windows show and what the parent is told.
#include "toolbar/win32/search_box_win.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "storage/settings.h"
#include "tests/null_toolbar_actions.h"
#include "tests/test_installation.h"
#include "toolbar/win32/drop_list_win.h"
#include "toolbar/win32/grip_win.h"
#include "toolbar/win32/toolbar_window_win.h"

namespace norvex::toolbar::win32 {
namespace {

using platform::win32::FromW;
using search::kCbnCloseUp;
using search::kCbnDropDown;
using search::kCbnEditChange;
using search::kCbnEditUpdate;
using search::kCbnKillFocus;
using search::kCbnSelChange;
using search::kCbnSelEndCancel;
using search::kCbnSelEndOk;
using search::kCbnSetFocus;
using search::kNotifySubmit;

// A notification the parent received: its code, and whether it was sent (or posted).
struct Note {
  int code;
  bool sent;
  bool operator==(const Note&) const = default;
};
std::vector<Note>* g_notes = nullptr;
// The posted message being dispatched now: a notification that is not it was sent.
const MSG* g_dispatching = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kSearchBoxId && g_notes) {
    const bool posted = g_dispatching && g_dispatching->hwnd == hwnd &&
                        g_dispatching->message == message && g_dispatching->wParam == wParam &&
                        g_dispatching->lParam == lParam;
    g_notes->push_back(Note{HIWORD(wParam), !posted});
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    g_dispatching = &msg;
    ::DispatchMessageW(&msg);
    g_dispatching = nullptr;
  }
}

std::u16string TextOf(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return FromW(text);
}

std::vector<std::u16string> ListTexts(HWND list) {
  std::vector<std::u16string> texts;
  const int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    texts.push_back(FromW(text));
  }
  return texts;
}

RECT ChildRect(HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Same(const RECT& r, const search::Rect& expected) {
  return r.left == expected.left && r.top == expected.top && r.right == expected.right &&
         r.bottom == expected.bottom;
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

class SearchBox : public ::testing::Test, protected test::TestInstallation {
 protected:
  SearchBox() {
    ::OleInitialize(nullptr);
    g_notes = &notes_;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ParentProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NorvexSearchBoxTestParent";
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    ::RegisterClassW(&wc);
    parent_ = ::CreateWindowExW(0, L"NorvexSearchBoxTestParent", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                50, 60, 400, 200, nullptr, nullptr, wc.hInstance, nullptr);
    box_ = std::make_unique<SearchBoxWindow>([this](bool focused) { focusReports_.push_back(focused); });
    EXPECT_TRUE(box_->Create(parent_, RECT{10, 0, 210, 22}));
    model_ = std::make_unique<search::SearchComboBox>(*box_);
    model_->LoadHistory(u"Toolbar", u"TB_");
    box_->Connect(model_.get());
    ::UpdateWindow(box_->hwnd());  // the first paint makes the edit field
    Pump();
    notes_.clear();
  }
  ~SearchBox() override {
    box_->Connect(nullptr);
    box_.reset();
    model_.reset();
    ::DestroyWindow(parent_);
    Pump();
    g_notes = nullptr;
    ::OleUninitialize();
  }

  HWND combo() const { return box_->hwnd(); }
  HWND edit() const { return box_->edit(); }
  DropListWindow* drop() const { return box_->dropDown(); }
  void Add(std::initializer_list<const wchar_t*> newestFirst) {
    std::vector<const wchar_t*> entries(newestFirst);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
      ::SendMessageW(combo(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*it));
    }
  }
  void Type(const std::wstring& text) {
    ::SetFocus(edit());
    for (wchar_t c : text) ::SendMessageW(edit(), WM_CHAR, c, 1);
  }
  // The band's filter for a key, as the browser would call it; true when consumed.
  bool BandKey(WPARAM key, UINT message = WM_KEYDOWN) {
    MSG msg{edit(), message, key, 1};
    return box_->TranslateAccelerator(msg);
  }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const Note& note : notes_) codes.push_back(note.code);
    return codes;
  }
  int CountOf(int code) const {
    int count = 0;
    for (const Note& note : notes_) count += note.code == code;
    return count;
  }
  std::pair<DWORD, DWORD> EditSelection() const {
    DWORD start = 0, end = 0;
    ::SendMessageW(edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }
  // The middle of entry `index` of the open list, in the drop-down window's coordinates.
  POINT ItemPoint(int index) const {
    const int height = static_cast<int>(::SendMessageW(drop()->list(), LB_GETITEMHEIGHT, 0, 0));
    return POINT{20, height * index + height / 2};
  }

  HWND parent_ = nullptr;
  std::vector<Note> notes_;
  std::vector<bool> focusReports_;
  std::unique_ptr<SearchBoxWindow> box_;
  std::unique_ptr<search::SearchComboBox> model_;
};

TEST_F(SearchBox, WindowClassStyleAndEditField) {
  wchar_t name[64] = {};
  ::GetClassNameW(combo(), name, 64);
  EXPECT_STREQ(name, L"AdvComboBoxCtrl");
  EXPECT_EQ(::GetClassLongPtrW(combo(), GCL_STYLE), static_cast<ULONG_PTR>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
  EXPECT_EQ(::GetClassLongPtrW(combo(), GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_MENU + 1));
  const LONG style = ::GetWindowLongW(combo(), GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | 3), WS_CHILD | WS_VISIBLE | CBS_DROPDOWN);
  EXPECT_EQ(::GetDlgCtrlID(combo()), kSearchBoxId);

  ASSERT_NE(edit(), nullptr);
  EXPECT_EQ(::GetDlgCtrlID(edit()), kEditFieldId);
  EXPECT_EQ(::GetParent(edit()), combo());
  EXPECT_NE(::GetWindowLongW(edit(), GWL_STYLE) & ES_AUTOHSCROLL, 0);
  EXPECT_EQ(::SendMessageW(edit(), EM_GETLIMITTEXT, 0, 0), 50);
  // The client area less the button, inset by 2, then 1 right and 2 down.
  const int sb = ::GetSystemMetrics(SM_CXVSCROLL);
  const RECT r = ChildRect(edit());
  EXPECT_EQ(r.left, 3);
  EXPECT_EQ(r.top, 4);
  EXPECT_EQ(r.right, 200 - sb - 2 + 1);
  EXPECT_EQ(r.bottom, 22 - 2 + 2);
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(edit(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, 12);

  // Moved with the box, enabled and disabled with it.
  ::MoveWindow(combo(), 10, 0, 150, 22, TRUE);
  EXPECT_EQ(ChildRect(edit()).right, 150 - sb - 2 + 1);
  ::EnableWindow(combo(), FALSE);
  EXPECT_FALSE(::IsWindowEnabled(edit()));
  ::EnableWindow(combo(), TRUE);
  EXPECT_TRUE(::IsWindowEnabled(edit()));
}

TEST_F(SearchBox, TextIsLimitedToFifty) {
  Type(std::wstring(51, L'x'));
  EXPECT_EQ(TextOf(edit()), std::u16string(50, u'x')) << "the 51st character is refused";
  model_->SetText(std::u16string(60, u'y'));
  EXPECT_EQ(TextOf(edit()), std::u16string(50, u'y'));
  EXPECT_EQ(model_->GetText(), std::u16string(50, u'y'));
}

TEST_F(SearchBox, ComboBoxMessages) {
  Add({L"abc", L"ABC", L"xyz"});
  EXPECT_EQ(::SendMessageW(combo(), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(::SendMessageW(combo(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"abc")), 0)
      << "a listed text keeps its place";
  wchar_t text[16] = {};
  EXPECT_EQ(::SendMessageW(combo(), CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text)), 3);
  EXPECT_STREQ(text, L"ABC");
  EXPECT_EQ(::SendMessageW(combo(), CB_GETLBTEXTLEN, 2, 0), 3);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETLBTEXTLEN, 3, 0), CB_ERR);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETLBTEXT, 9, reinterpret_cast<LPARAM>(text)), CB_ERR);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETCURSEL, 0, 0), CB_ERR);

  // Selecting shows the item in the edit field, and the parent hears of the shown text.
  EXPECT_EQ(::SendMessageW(combo(), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(L"ABC")), 1);
  EXPECT_EQ(TextOf(edit()), u"ABC");
  EXPECT_EQ(::SendMessageW(combo(), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(L"Abc")), CB_ERR) << "case matters";
  Pump();
  notes_.clear();
  EXPECT_EQ(::SendMessageW(combo(), CB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(TextOf(edit()), u"xyz");
  EXPECT_EQ(::SendMessageW(combo(), CB_GETCURSEL, 0, 0), 2);
  Pump();
  EXPECT_EQ(CountOf(kCbnEditUpdate), 1);
  EXPECT_EQ(drop(), nullptr) << "a selection by message opens no autocomplete";

  EXPECT_EQ(::SendMessageW(combo(), CB_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(combo(), CB_SETTOPINDEX, 1, 0), CB_ERR) << "closed";
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  EXPECT_EQ(::SendMessageW(combo(), CB_SETTOPINDEX, 1, 0), 0);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETTOPINDEX, 0, 0), 1);

  EXPECT_EQ(::SendMessageW(combo(), CB_RESETCONTENT, 0, 0), CB_OKAY);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(TextOf(edit()), u"");
  EXPECT_EQ(::SendMessageW(drop()->list(), LB_GETCOUNT, 0, 0), 0);
}

TEST_F(SearchBox, TypingFiltersTheHistoryIntoTheDropDown) {
  Add({L"abc", L"abd", L"xyz"});
  ::SetFocus(edit());
  Pump();
  notes_.clear();
  Type(L"a");
  ASSERT_NE(drop(), nullptr);
  EXPECT_EQ(ListTexts(drop()->list()), (std::vector<std::u16string>{u"abc", u"abd"}));
  EXPECT_EQ(::FindWindowW(kDropListClass, nullptr), drop()->hwnd());
  Pump();
  // The field's update opens the drop-down before its change arrives: no edit change then.
  EXPECT_EQ(notes_, (std::vector<Note>{{kCbnDropDown, true}, {kCbnEditUpdate, false}}))
      << "the update is posted, the drop-down sent";
  Type(L"A");  // "aA"
  EXPECT_EQ(drop(), nullptr);
  ::SendMessageW(edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"A"));
  EXPECT_EQ(drop(), nullptr) << "case matters";
  ::SendMessageW(edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
  ASSERT_NE(drop(), nullptr);
  ::SendMessageW(edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  EXPECT_EQ(drop(), nullptr) << "clearing the box closes it";
  Pump();
  notes_.clear();
  Type(L"q");
  Pump();
  EXPECT_EQ(notes_, (std::vector<Note>{{kCbnEditChange, true}, {kCbnEditUpdate, false}}))
      << "no match: the drop-down stays closed and the change is reported";
}

TEST_F(SearchBox, ChoosingShowsTheItemAndDoesNotReopen) {
  Add({L"abc", L"abd"});
  Type(L"a");
  ASSERT_NE(drop(), nullptr);
  Pump();
  notes_.clear();
  ::SendMessageW(combo(), WM_USER + 1, 1, 0);
  EXPECT_EQ(TextOf(edit()), u"abd");
  EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{0, 3})) << "all of it selected";
  EXPECT_EQ(::GetFocus(), edit());
  EXPECT_EQ(::SendMessageW(combo(), CB_GETCURSEL, 0, 0), 1);
  Pump();
  EXPECT_EQ(CountOf(kCbnDropDown), 0) << "the chosen text is not filtered again";
  EXPECT_EQ(CountOf(kCbnSelEndOk), 1);
  EXPECT_EQ(CountOf(kCbnSelChange), 1);
  ::SendMessageW(combo(), WM_USER + 2, 0, 0);
  EXPECT_EQ(drop(), nullptr);
  EXPECT_EQ(CountOf(kCbnSelEndCancel), 0) << "an item was just chosen";
  EXPECT_EQ(CountOf(kCbnCloseUp), 1);
}

TEST_F(SearchBox, BandKeyFilter) {
  Add({L"abc", L"abd"});
  Type(L"ab");
  ASSERT_NE(drop(), nullptr);
  Pump();
  notes_.clear();
  // Enter submits even with the filtered matches shown.
  EXPECT_FALSE(BandKey(VK_RETURN));
  Pump();
  EXPECT_EQ(Codes(), std::vector<int>{kNotifySubmit});
  // Escape only closes.
  notes_.clear();
  EXPECT_FALSE(BandKey(VK_ESCAPE));
  EXPECT_EQ(drop(), nullptr);
  Pump();
  EXPECT_EQ(CountOf(kNotifySubmit), 0);
  // F4 and Alt+Down open and close with the whole list.
  EXPECT_TRUE(BandKey(VK_F4));
  ASSERT_NE(drop(), nullptr);
  EXPECT_EQ(ListTexts(drop()->list()).size(), 2u);
  EXPECT_TRUE(BandKey(VK_F4));
  EXPECT_EQ(drop(), nullptr);
  EXPECT_FALSE(BandKey(VK_DOWN, WM_SYSKEYDOWN));
  EXPECT_NE(drop(), nullptr);
  EXPECT_FALSE(BandKey(VK_UP, WM_SYSKEYDOWN));
  EXPECT_EQ(drop(), nullptr);
  // Letters are the browser's; Backspace is the edit field's.
  EXPECT_FALSE(BandKey('Q'));
  EXPECT_TRUE(BandKey(VK_BACK));
  Pump();
  EXPECT_EQ(TextOf(edit()), u"a");
}

// The real edit field's caret: Home and Left move it, the model follows, and Right decides
// from where it really is.
TEST_F(SearchBox, CaretKeysAgainstTheRealEditField) {
  Add({L"abc", L"abd"});
  Type(L"ab");
  ::SendMessageW(combo(), WM_USER + 2, 0, 0);
  EXPECT_TRUE(BandKey(VK_HOME));
  EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{0, 0}));
  EXPECT_EQ(model_->selectionEnd(), 0u);
  EXPECT_TRUE(BandKey(VK_RIGHT)) << "inside the text: the edit field's";
  EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{1, 1}));
  EXPECT_TRUE(BandKey(VK_END));
  EXPECT_TRUE(BandKey(VK_LEFT));
  EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{1, 1}));
  EXPECT_EQ(model_->selectionEnd(), 1u);
  // A click puts the caret at the end without telling anyone: Right then completes.
  ::SendMessageW(edit(), EM_SETSEL, 2, 2);
  EXPECT_FALSE(BandKey(VK_RIGHT));
  EXPECT_NE(drop(), nullptr);
}

// Which filter a key goes through, and that it is filtered once, is the routing's
// (search/key_routing_test.cpp); here, that a key dispatched straight to the real edit field
// reaches the box's own filter: Enter with the drop-down open chooses instead of submitting.
TEST_F(SearchBox, KeysDispatchedToTheEditFieldAreFiltered) {
  Add({L"abc", L"abd"});
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  model_->HoverDropDownItem(1);
  Pump();
  notes_.clear();
  ::SendMessageW(edit(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(TextOf(edit()), u"abd");
  Pump();
  EXPECT_EQ(CountOf(kNotifySubmit), 0);
  EXPECT_EQ(CountOf(kCbnSelEndOk), 1);
}

TEST_F(SearchBox, DropDownWindowAndLayout) {
  Add({L"abc", L"abd"});
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  HWND window = drop()->hwnd();
  EXPECT_EQ(::GetAncestor(window, GA_PARENT), ::GetDesktopWindow());
  EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE) & (WS_CHILD | WS_BORDER), WS_CHILD | WS_BORDER);
  EXPECT_NE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_ID), kDropListWindowId);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(::GetCapture(), window) << "it takes the mouse capture";
  // Below the box, left edges aligned, 200 x 50 without a stored size.
  RECT box{}, rect{};
  ::GetWindowRect(combo(), &box);
  ::GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, box.left);
  EXPECT_EQ(rect.top, box.bottom);
  EXPECT_EQ(rect.right - rect.left, 200);
  EXPECT_EQ(rect.bottom - rect.top, 50);

  RECT client{};
  ::GetClientRect(window, &client);
  const search::DropDownLayout layout = search::LayoutDropDown(
      client.right, client.bottom, ::GetSystemMetrics(SM_CXVSCROLL), ::GetSystemMetrics(SM_CYVSCROLL));
  HWND list = ::GetDlgItem(window, kDropListBoxId);
  HWND bar = ::GetDlgItem(window, kDropScrollBarId);
  HWND button = ::GetDlgItem(window, kDeleteHistoryId);
  ASSERT_TRUE(list && bar && button);
  EXPECT_TRUE(Same(ChildRect(list), layout.list));
  EXPECT_TRUE(Same(ChildRect(bar), layout.scrollBar));
  EXPECT_TRUE(Same(ChildRect(button), layout.deleteButton));
  const LONG listStyle = ::GetWindowLongW(list, GWL_STYLE);
  EXPECT_NE(listStyle & LBS_OWNERDRAWFIXED, 0);
  EXPECT_NE(listStyle & LBS_HASSTRINGS, 0);
  EXPECT_EQ(TextOf(button), u"履歴の削除");
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, 12);
  EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)), box_->font());
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)), box_->font());
  // Each entry's text, and a copy of the entry as its data.
  EXPECT_EQ(ListTexts(list), (std::vector<std::u16string>{u"abc", u"abd"}));
  const auto* copy = reinterpret_cast<const search::ComboItem*>(::SendMessageW(list, LB_GETITEMDATA, 1, 0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->text, u"abd");
  // The focus in the drop-down counts as the box's.
  EXPECT_TRUE(box_->HoldsDropDownWindow(list));
}

TEST_F(SearchBox, DropDownOpensAtTheStoredSizeAndResizesNoSmallerThan200By50) {
  Add({L"abc"});
  storage::WriteWindowDimension(u"dropwidth", 300);
  storage::WriteWindowDimension(u"dropheight", 120);
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  HWND window = drop()->hwnd();
  RECT rect{};
  ::GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 300);
  EXPECT_EQ(rect.bottom - rect.top, 120);

  // Press in the grip, then drag: to 150 x 40 (held at 200 x 50), then to 320 x 140.
  const search::DropDownLayout layout = drop()->Layout();
  const POINT press{(layout.sizeGrip.left + layout.sizeGrip.right) / 2,
                    (layout.sizeGrip.top + layout.sizeGrip.bottom) / 2};
  POINT pressScreen = press;
  ::ClientToScreen(window, &pressScreen);
  const POINT grab{rect.right - pressScreen.x, rect.bottom - pressScreen.y};
  ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(press.x, press.y));
  EXPECT_TRUE(drop()->resizing());
  auto dragTo = [&](int width, int height) {
    POINT p{rect.left + width - grab.x, rect.top + height - grab.y};
    ::ScreenToClient(window, &p);
    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(p.x, p.y));
    RECT now{};
    ::GetWindowRect(window, &now);
    return std::pair<LONG, LONG>{now.right - now.left, now.bottom - now.top};
  };
  EXPECT_EQ(dragTo(150, 40), (std::pair<LONG, LONG>{200, 50}));
  EXPECT_EQ(dragTo(320, 140), (std::pair<LONG, LONG>{320, 140}));
  ::SendMessageW(window, WM_LBUTTONUP, 0, 0);
  EXPECT_FALSE(drop()->resizing());
  // The parts follow the new size.
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_TRUE(Same(ChildRect(drop()->list()),
                   search::LayoutDropDown(client.right, client.bottom, ::GetSystemMetrics(SM_CXVSCROLL),
                                          ::GetSystemMetrics(SM_CYVSCROLL)).list));

  ::SendMessageW(combo(), WM_USER + 2, 0, 0);
  EXPECT_EQ(storage::ReadWindowDimension(u"dropwidth"), 320);
  EXPECT_EQ(storage::ReadWindowDimension(u"dropheight"), 140);
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ::GetWindowRect(drop()->hwnd(), &rect);
  EXPECT_EQ(rect.right - rect.left, 320);
}

TEST_F(SearchBox, HotTrackingAndChoosingInTheList) {
  Add({L"one", L"two", L"three"});
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  HWND window = drop()->hwnd();
  HWND list = drop()->list();
  const POINT second = ItemPoint(1);
  ::SendMessageW(window, WM_MOUSEMOVE, 0, At(second.x, second.y));
  EXPECT_EQ(::GetCapture(), list) << "over the list, the list takes the capture";
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(model_->dropDownSelection(), 1);
  EXPECT_EQ(::SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0) << "a partly shown entry does not scroll";
  // Leaving the list gives the capture back.
  RECT listClient{};
  ::GetClientRect(list, &listClient);
  ::SendMessageW(list, WM_MOUSEMOVE, 0, At(5, listClient.bottom + 3));
  EXPECT_EQ(::GetCapture(), window);
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "the last one under the pointer stays";

  // A release over the list chooses, submits and closes.
  ::SendMessageW(window, WM_MOUSEMOVE, 0, At(second.x, second.y));
  Pump();
  notes_.clear();
  ::SendMessageW(list, WM_LBUTTONUP, 0, At(second.x, second.y));
  EXPECT_NE(drop(), nullptr) << "posted, not done inside the list's handler";
  Pump();
  EXPECT_EQ(drop(), nullptr);
  EXPECT_EQ(TextOf(edit()), u"two");
  // The list's three posted messages: choose (the edit field takes the focus, the shown text
  // is posted as an update), submit (posted), close.
  EXPECT_EQ(Codes(), (std::vector<int>{kCbnSetFocus, kCbnSelEndOk, kCbnSelChange, kCbnCloseUp,
                                       kCbnEditUpdate, kNotifySubmit}));
}

TEST_F(SearchBox, PressOutsideClosesAndDeleteButtonEmptiesTheList) {
  Add({L"one", L"two"});
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  Pump();
  notes_.clear();
  const search::DropDownLayout layout = drop()->Layout();
  ::SendMessageW(drop()->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON,
                 At((layout.deleteButton.left + layout.deleteButton.right) / 2,
                    (layout.deleteButton.top + layout.deleteButton.bottom) / 2));
  ASSERT_NE(drop(), nullptr) << "the drop-down stays open";
  EXPECT_EQ(::SendMessageW(drop()->list(), LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETCOUNT, 0, 0), 0);

  ::SendMessageW(drop()->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(-40, -40));
  Pump();
  EXPECT_EQ(drop(), nullptr);
  EXPECT_EQ(Codes(), (std::vector<int>{kCbnSelEndCancel, kCbnCloseUp}));
}

TEST_F(SearchBox, DeactivationClosesAndWheelAndScrollBarScroll) {
  for (int i = 9; i >= 0; --i) {
    const std::wstring text = L"q" + std::to_wstring(i);
    ::SendMessageW(combo(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  storage::WriteWindowDimension(u"dropwidth", 200);
  storage::WriteWindowDimension(u"dropheight", 60);
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  ASSERT_NE(drop(), nullptr);
  ::SetFocus(edit());
  ::SendMessageW(edit(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
  EXPECT_EQ(::SendMessageW(drop()->list(), LB_GETTOPINDEX, 0, 0), 3);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETTOPINDEX, 0, 0), 3);
  ::SendMessageW(drop()->hwnd(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(drop()->scrollBar()));
  EXPECT_EQ(::SendMessageW(drop()->list(), LB_GETTOPINDEX, 0, 0), 4);
  EXPECT_EQ(::GetScrollPos(drop()->scrollBar(), SB_CTL), 4);
  EXPECT_EQ(::SendMessageW(combo(), CB_GETTOPINDEX, 0, 0), 4) << "the wheel goes on from here";

  ::SendMessageW(drop()->hwnd(), WM_ACTIVATEAPP, FALSE, 0);
  Pump();
  EXPECT_EQ(drop(), nullptr);
}

TEST_F(SearchBox, ButtonClickTogglesAndHotTracking) {
  Add({L"one"});
  const int sb = ::GetSystemMetrics(SM_CXVSCROLL);
  ::SetCursorPos(0, 0);  // the pointer is elsewhere
  ::SendMessageW(combo(), WM_MOUSEMOVE, 0, At(200 - sb / 2, 10));
  EXPECT_TRUE(box_->buttonHot());
  ::SendMessageW(combo(), WM_TIMER, kHotButtonTimer, 0);
  EXPECT_FALSE(box_->buttonHot()) << "the timer sees that the pointer has left";
  ::SendMessageW(combo(), WM_MOUSEMOVE, 0, At(200 - sb / 2, 10));
  EXPECT_TRUE(::KillTimer(combo(), kHotButtonTimer)) << "the watching timer runs";

  ::SetFocus(parent_);
  notes_.clear();
  ::SendMessageW(combo(), WM_LBUTTONDOWN, MK_LBUTTON, At(200 - sb / 2, 10));
  EXPECT_EQ(::GetFocus(), edit());
  EXPECT_NE(drop(), nullptr);
  EXPECT_EQ(CountOf(kCbnSetFocus), 1);
  ::SendMessageW(combo(), WM_LBUTTONDOWN, MK_LBUTTON, At(200 - sb / 2, 10));
  EXPECT_EQ(drop(), nullptr);
  ::SendMessageW(combo(), WM_LBUTTONDOWN, MK_LBUTTON, At(20, 10));
  EXPECT_EQ(drop(), nullptr) << "in the drop-down style only the button opens it";
}

TEST_F(SearchBox, FocusNotificationsAndReports) {
  ::SetFocus(parent_);
  focusReports_.clear();
  notes_.clear();
  ::SetFocus(combo());
  EXPECT_EQ(::GetFocus(), edit()) << "the combo window hands the focus to its edit field";
  EXPECT_EQ(Codes(), std::vector<int>{kCbnSetFocus});
  EXPECT_EQ(focusReports_, std::vector<bool>{true});
  Type(L"abc");
  notes_.clear();
  ::SetFocus(parent_);
  EXPECT_EQ(Codes(), (std::vector<int>{kCbnSelEndCancel, kCbnKillFocus}));
  EXPECT_EQ(focusReports_, (std::vector<bool>{true, false}));
  EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{0, 0}));
}

// The focus in the open drop-down is still the box's; leaving for another window closes the
// drop-down first and reports the loss, also when the application was deactivated just before
// (the drop-down then has only posted its close).
TEST_F(SearchBox, FocusLeavingWithTheDropDownOpen) {
  Add({L"abc", L"abd"});
  Type(L"a");
  ASSERT_NE(drop(), nullptr);
  Pump();
  notes_.clear();
  focusReports_.clear();
  ::SetFocus(drop()->list());
  EXPECT_NE(drop(), nullptr);
  EXPECT_TRUE(notes_.empty()) << "into the drop-down: still the box's";
  ::SetFocus(edit());
  Pump();
  notes_.clear();
  focusReports_.clear();

  ::SendMessageW(drop()->hwnd(), WM_ACTIVATEAPP, FALSE, 0);
  ::SetFocus(parent_);
  EXPECT_EQ(drop(), nullptr);
  EXPECT_EQ(Codes(),
            (std::vector<int>{kCbnSelEndCancel, kCbnCloseUp, kCbnSelEndCancel, kCbnKillFocus}));
  EXPECT_EQ(focusReports_, std::vector<bool>{false});
  EXPECT_EQ(EditSelection(), (std::pair<DWORD, DWORD>{0, 0}));
  Pump();
  EXPECT_EQ(notes_.size(), 4u) << "the posted close finds nothing to close";
}

// A drop-down whose window cannot be made leaves no window behind and the box closed.
TEST_F(SearchBox, DropDownWindowThatCannotBeMade) {
  Add({L"abc"});
  ASSERT_TRUE(::UnregisterClassW(kDropListClass, ModuleInstance()) ||
              ::GetLastError() == ERROR_CLASS_DOES_NOT_EXIST);
  box_->SetDropListRegistrar([](const WNDCLASSEXW*) -> ATOM {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  });
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  EXPECT_EQ(drop(), nullptr);
  EXPECT_EQ(::FindWindowW(kDropListClass, nullptr), nullptr);
  EXPECT_FALSE(model_->dropDownOpen());
  EXPECT_EQ(CountOf(kCbnDropDown), 0);
  box_->SetDropListRegistrar(&::RegisterClassExW);
  ::SendMessageW(combo(), WM_USER + 101, 0, 0);
  EXPECT_NE(drop(), nullptr);
}

// An IDataObject holding one text, or none.
class TextData final : public IDataObject {
 public:
  explicit TextData(std::wstring text, bool unicode = true) : text_(std::move(text)), unicode_(unicode) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    *object = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) noexcept override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    const size_t bytes = (text_.size() + 1) * sizeof(wchar_t);
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(::GlobalLock(global), text_.c_str(), bytes);
    ::GlobalUnlock(global);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = global;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) noexcept override {
    return unicode_ && format->cfFormat == CF_UNICODETEXT && (format->tymed & TYMED_HGLOBAL)
               ? S_OK
               : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) noexcept override { return E_NOTIMPL; }

 private:
  std::wstring text_;
  bool unicode_;
};

TEST_F(SearchBox, DroppedTextIsSetButNotSubmitted) {
  IDropTarget* target = box_->dropTarget();
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(::RegisterDragDrop(combo(), target), DRAGDROP_E_ALREADYREGISTERED)
      << "the box is registered as a drop target";
  TextData text(std::wstring(80, L'z'));
  TextData other(L"files", false);
  const POINTL point{0, 0};
  const struct {
    IDataObject* data;
    DWORD keys;
    DWORD effect;
  } cases[] = {{&text, MK_CONTROL, DROPEFFECT_COPY}, {&text, 0, DROPEFFECT_MOVE},
               {&other, MK_CONTROL, DROPEFFECT_NONE}};
  for (const auto& c : cases) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragEnter(c.data, c.keys, point, &effect), S_OK);
    EXPECT_EQ(effect, c.effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragOver(c.keys, point, &effect), S_OK);
    EXPECT_EQ(effect, c.effect);
    target->DragLeave();
  }
  ::SetFocus(parent_);
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  target->DragEnter(&other, 0, point, &effect);
  EXPECT_EQ(target->Drop(&other, 0, point, &effect), S_OK);
  EXPECT_EQ(TextOf(edit()), u"") << "other formats are ignored";
  target->DragEnter(&text, 0, point, &effect);
  EXPECT_EQ(target->Drop(&text, 0, point, &effect), S_OK);
  EXPECT_EQ(TextOf(edit()), std::u16string(50, u'z'));
  EXPECT_EQ(::GetFocus(), edit());
  Pump();
  EXPECT_EQ(CountOf(kNotifySubmit), 0);
}

// ---- Creation failures -------------------------------------------------------------------------

ATOM WINAPI FailingRegistrar(const WNDCLASSEXW*) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return 0;
}

class Creation : public ::testing::Test, protected test::TestInstallation {};

TEST_F(Creation, UnregistrableClassRaisesTheResourceExceptionThatTheToolbarCatches) {
  ::UnregisterClassW(kSearchBoxClass, ModuleInstance());
  EXPECT_THROW(SearchBoxWindow([](bool) {}, &FailingRegistrar), ResourceException);

  HWND parent = ::CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 60, nullptr,
                                  nullptr, nullptr, nullptr);
  test::NullToolbarActions actions;
  Win32ToolbarWindow toolbar(actions);
  toolbar.SetSearchBoxRegistrar(&FailingRegistrar);
  ASSERT_TRUE(toolbar.Create(parent));
  search::SearchComboHost* host = nullptr;
  EXPECT_NO_THROW(host = toolbar.CreateSearchBox(Rect{2, 0, 202, 22}));
  EXPECT_EQ(host, nullptr) << "the toolbar goes on without a search box";
  EXPECT_EQ(::GetDlgItem(toolbar.hwnd(), kSearchBoxId), nullptr);

  toolbar.SetSearchBoxRegistrar(&::RegisterClassExW);
  EXPECT_NE(toolbar.CreateSearchBox(Rect{2, 0, 202, 22}), nullptr);
  toolbar.Destroy();
  ::DestroyWindow(parent);
}

// Each window class of the toolbar runs its object's code: a window of it made without the
// object (a host calling CreateWindowExW with the class name) is refused, not run on nothing.
TEST_F(Creation, WindowsOfTheToolbarsClassesNeedTheirObject) {
  HWND parent = ::CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 60, nullptr,
                                  nullptr, nullptr, nullptr);
  // Each class is registered by its object's first window.
  test::NullToolbarActions actions;
  Win32ToolbarWindow toolbar(actions);
  ASSERT_TRUE(toolbar.Create(parent));
  SearchBoxWindow box([](bool) {});
  ASSERT_TRUE(box.Create(parent, RECT{2, 0, 202, 22}));
  GripWindow grip;
  ASSERT_TRUE(grip.Create(parent, RECT{210, 0, 225, 24}));
  DropListWindow drop(box);
  ASSERT_TRUE(drop.Create(search::Rect{0, 30, 200, 80}, nullptr));
  ::ReleaseCapture();

  // The system swallows a fault inside WM_NCCREATE and fails the creation all the same: the
  // faults are counted before anybody handles them.
  static std::atomic<int> faults{0};
  PVOID watcher = ::AddVectoredExceptionHandler(1, [](EXCEPTION_POINTERS* e) -> LONG {
    if (e->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) ++faults;
    return EXCEPTION_CONTINUE_SEARCH;
  });
  for (const wchar_t* name :
       {kToolbarWindowClass, kSearchBoxClass, kResizeGripClass, kDropListClass}) {
    WNDCLASSEXW registered{sizeof registered};
    EXPECT_TRUE(::GetClassInfoExW(ModuleInstance(), name, &registered)) << name;
    faults = 0;
    HWND window = ::CreateWindowExW(0, name, L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                    ModuleInstance(), nullptr);
    EXPECT_EQ(window, nullptr) << name << ": refused at WM_NCCREATE";
    EXPECT_EQ(faults.load(), 0) << name << ": nothing ran on a null object";
    if (window) ::DestroyWindow(window);
  }
  ::RemoveVectoredExceptionHandler(watcher);
  ::DestroyWindow(parent);
}

}  // namespace
}  // namespace norvex::toolbar::win32
