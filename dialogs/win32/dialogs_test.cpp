// The options and about dialogs as real windows under Wine: their resources (controls,
// identifiers, sizes, font, texts), and the dialogs driven from a timer on their own thread
// while they run modally, as a user would drive them.
#include "dialogs/win32/dialogs_win.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/win32/module_instance.h"
#include "resources/control_ids.h"
#include "tests/test_installation.h"

namespace norvex::dialogs::win32 {
namespace {

using platform::win32::FromW;
using platform::win32::W;

// ---- The dialog templates -------------------------------------------------------------------

struct TemplateItem {
  int id;
  std::u16string windowClass;  // a name, or "#128" for a predefined class
  std::u16string text;
  int x, y, cx, cy;
  uint32_t style;
};

struct Template {
  uint32_t style = 0;
  int cx = 0, cy = 0;
  std::u16string title, font;
  int pointSize = 0;
  std::vector<TemplateItem> items;
};

// Reads a DLGTEMPLATEEX resource of the module.
class TemplateReader {
 public:
  explicit TemplateReader(const uint8_t* data) : p_(data) {}

  Template Read() {
    Template t;
    Word();  // version
    EXPECT_EQ(Word(), 0xFFFF) << "an extended template";
    Dword();  // help id
    Dword();  // extended style
    t.style = Dword();
    const int count = Word();
    Short();
    Short();
    t.cx = Short();
    t.cy = Short();
    NameOrOrdinal();  // menu
    NameOrOrdinal();  // class
    t.title = String();
    if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
      t.pointSize = Word();
      Word();  // weight
      p_ += 2;  // italic, character set
      t.font = String();
    }
    for (int i = 0; i < count; ++i) {
      Align();
      TemplateItem item;
      Dword();  // help id
      Dword();  // extended style
      item.style = Dword();
      item.x = Short();
      item.y = Short();
      item.cx = Short();
      item.cy = Short();
      item.id = static_cast<int32_t>(Dword());
      item.windowClass = NameOrOrdinal();
      item.text = NameOrOrdinal();
      p_ += Word();  // creation data
      t.items.push_back(item);
    }
    return t;
  }

 private:
  uint16_t Word() {
    uint16_t v;
    std::memcpy(&v, p_, 2);
    p_ += 2;
    return v;
  }
  int16_t Short() { return static_cast<int16_t>(Word()); }
  uint32_t Dword() {
    uint32_t v;
    std::memcpy(&v, p_, 4);
    p_ += 4;
    return v;
  }
  std::u16string String() {
    std::u16string s;
    for (uint16_t c = Word(); c != 0; c = Word()) s += static_cast<char16_t>(c);
    return s;
  }
  std::u16string NameOrOrdinal() {
    uint16_t first;
    std::memcpy(&first, p_, 2);
    if (first == 0) {
      p_ += 2;
      return u"";
    }
    if (first == 0xFFFF) {
      p_ += 2;
      return u"#" + FormatInt(Word());
    }
    return String();
  }
  void Align() {
    while (reinterpret_cast<uintptr_t>(p_) % 4) ++p_;
  }
  const uint8_t* p_;
};

Template LoadTemplate(int id) {
  const HMODULE module = platform::win32::ModuleInstance();
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  if (!found) return {};
  return TemplateReader(static_cast<const uint8_t*>(::LockResource(::LoadResource(module, found))))
      .Read();
}

void ExpectItems(const Template& t, const std::vector<TemplateItem>& expected) {
  ASSERT_EQ(t.items.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const TemplateItem& got = t.items[i];
    const TemplateItem& want = expected[i];
    EXPECT_EQ(got.id, want.id) << i;
    // Class names compare without regard to case (the resource compiler writes capitals).
    EXPECT_TRUE(EqualsIgnoreCaseAscii(got.windowClass, want.windowClass))
        << i << " " << Utf16ToUtf8(got.windowClass);
    EXPECT_EQ(got.text, want.text) << i;
    EXPECT_EQ((std::vector<int>{got.x, got.y, got.cx, got.cy}),
              (std::vector<int>{want.x, want.y, want.cx, want.cy}))
        << i;
    EXPECT_EQ(got.style & want.style, want.style) << i;
  }
}

TEST(DialogTemplates, Options) {
  const Template t = LoadTemplate(kOptionsDialogId);
  EXPECT_EQ(t.title, u"ノルヴェクスツールバーオプション");
  EXPECT_EQ(t.font, u"MS Shell Dlg");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ((std::vector<int>{t.cx, t.cy}), (std::vector<int>{256, 246}));
  const uint32_t frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(t.style & frame, frame);
  ExpectItems(t, {
                     {IDOK, u"#128", u"OK", 123, 221, 50, 14, BS_DEFPUSHBUTTON},
                     {IDCANCEL, u"#128", u"キャンセル", 185, 220, 50, 14, 0},
                     {kOptionsTabId, u"SysTabControl32", u"", 22, 16, 211, 192, 0},
                 });
}

TEST(DialogTemplates, AgentPage) {
  const Template t = LoadTemplate(kAgentSelectPageId);
  EXPECT_EQ(t.style & (WS_CHILD | WS_CAPTION), static_cast<uint32_t>(WS_CHILD)) << "no caption";
  EXPECT_EQ(t.font, u"MS Shell Dlg");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ((std::vector<int>{t.cx, t.cy}), (std::vector<int>{210, 179}));
  ExpectItems(t, {{kAgentListId, u"SysListView32", u"", 0, 0, 210, 179,
                   LVS_LIST | WS_BORDER | WS_TABSTOP}});
}

TEST(DialogTemplates, About) {
  const Template t = LoadTemplate(kAboutDialogId);
  EXPECT_EQ(t.title, u"ノルヴェクスツールバーについて");
  EXPECT_EQ(t.font, u"MS Shell Dlg");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ((std::vector<int>{t.cx, t.cy}), (std::vector<int>{217, 110}));
  const uint32_t frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(t.style & frame, frame);
  ExpectItems(t, {
                     {-1, u"#130", u"ノルヴェクスツールバー", 31, 19, 146, 15, SS_CENTER},
                     {kAboutVersionId, u"#130", u"バージョン: 1.0", 17, 40, 164, 12, SS_CENTER},
                     {kAboutCopyrightId, u"#130", t.items.size() > 2 ? t.items[2].text : u"", 29, 60,
                      154, 20, SS_CENTER},
                     {IDOK, u"#128", u"OK", 79, 89, 50, 14, BS_DEFPUSHBUTTON},
                 });
}

// ---- Driving the dialogs --------------------------------------------------------------------

std::function<void(HWND)> g_drive;
HWND g_owner = nullptr;

HWND FindDialog() {
  struct Search {
    HWND found = nullptr;
  } search;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM p) -> BOOL {
        wchar_t name[32] = {};
        ::GetClassNameW(window, name, 32);
        if (std::wstring(name) == L"#32770" && ::GetWindow(window, GW_OWNER) == g_owner) {
          reinterpret_cast<Search*>(p)->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CALLBACK DriveOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  HWND dialog = FindDialog();
  auto drive = std::move(g_drive);
  g_drive = nullptr;
  if (drive) drive(dialog);
}

// Shows a dialog and, once it runs, hands it to `drive` on this thread (from the modal loop).
template <typename Show>
auto RunDriven(Show show, std::function<void(HWND)> drive) {
  g_drive = std::move(drive);
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 1, &DriveOnTimer);
  auto result = show();
  ::KillTimer(nullptr, timer);
  return result;
}

std::u16string WindowText(HWND window) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(window, buffer, 512);
  return FromW(buffer);
}

struct Row {
  std::u16string id;
  std::u16string caption;
  bool ticked;
  int image;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << "{" << Utf16ToUtf8(row.id) << ", " << Utf16ToUtf8(row.caption) << ", " << row.ticked
       << ", " << row.image << "}";
}

std::vector<Row> ReadRows(HWND list) {
  std::vector<Row> rows;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = i;
    item.pszText = text;
    item.cchTextMax = 256;
    ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    const UINT state =
        static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
    rows.push_back({item.lParam ? FromW(reinterpret_cast<const wchar_t*>(item.lParam)) : u"",
                    FromW(text), (state >> 12) == 2, item.iImage});
  }
  return rows;
}

void Tick(HWND list, int row, bool ticked) {
  LVITEMW state{};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
  ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

class Dialogs : public ::testing::Test, protected test::TestInstallation {
 protected:
  Dialogs() {
    ::InitCommonControls();
    owner_ = ::CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
    g_owner = owner_;
    clock_.now = clock_.At(2011, 6, 1, 12);
  }
  ~Dialogs() override { ::DestroyWindow(owner_); }

  void WriteUserConfig(const std::string& lines) {
    std::filesystem::create_directories(test::FsPath(UserFile("")));
    test::WriteBytes(UserFile("UserConfig.ini"), "[user_settings]\r\n" + lines);
  }
  std::string UserConfig() { return test::ReadBytes(UserFile("UserConfig.ini")); }
  void WriteStrings(const std::u16string& lines) {
    test::WriteBytes(InstallFile("strings.ini"), test::Utf16LeWithBom(u"[data]\r\n" + lines));
  }
  // search, news (no image), banner, maps (bitmap 249, magenta transparent).
  void WriteAgents() {
    WriteCatalogue(
        "<agent><type>search</type><id>search</id><xml>search.xml</xml></agent>"
        "<agent><type>custom</type><id>news</id><xml>news.xml</xml></agent>"
        "<agent><type>banner</type><id>sale</id><xml>sale.xml</xml></agent>"
        "<agent><type>custom</type><id>maps</id><xml>maps.xml</xml></agent>");
    WriteAgent("search.xml", "<name>Search</name>");
    WriteAgent("news.xml", "<name>News</name><ui><caption> </caption></ui>");
    WriteAgent("sale.xml", "<name>Sale</name>");
    WriteAgent("maps.xml",
               "<name>Maps</name><ui><caption>地図</caption><image>249</image>"
               "<colormask>16711935</colormask></ui>");
  }
  INT_PTR RunOptions(std::function<void(HWND)> drive) {
    return RunDriven([this] { return ShowOptionsDialog(owner_); }, std::move(drive));
  }

  HWND owner_ = nullptr;
  test::FakeClock clock_;

 private:
  platform::ScopedSeams clockSeam_{{.clock = &clock_}};
};

// The label of the options dialog's one tab.
std::u16string TabLabel(HWND dialog) {
  wchar_t text[64] = {L'?'};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 64;
  ::SendMessageW(::GetDlgItem(dialog, kOptionsTabId), TCM_GETITEMW, 0,
                 reinterpret_cast<LPARAM>(&item));
  return FromW(text);
}

HWND PageOf(HWND dialog) { return ::FindWindowExW(dialog, nullptr, L"#32770", nullptr); }
HWND ListOf(HWND dialog) { return ::GetDlgItem(PageOf(dialog), kAgentListId); }

TEST_F(Dialogs, OptionsListsTheCustomAgentsAndOkWritesEveryTick) {
  WriteAgents();
  WriteStrings(u"buttonoptions=表示するボタン\r\n");
  WriteUserConfig("maps=0\r\n");
  bool driven = false;
  const INT_PTR result = RunOptions([&](HWND dialog) {
    driven = true;
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), u"ノルヴェクスツールバーオプション");
    // The tab and its one label.
    HWND tab = ::GetDlgItem(dialog, kOptionsTabId);
    EXPECT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(TabLabel(dialog), u"表示するボタン");
    // The page at (33, 46) of the dialog's client area, as large as the tab control.
    HWND page = PageOf(dialog);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(::GetWindowLongW(page, GWL_STYLE) & WS_VISIBLE) << "shown";
    RECT pageRect{}, tabRect{};
    ::GetWindowRect(page, &pageRect);
    ::GetWindowRect(tab, &tabRect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&pageRect), 2);
    EXPECT_EQ((std::vector<LONG>{pageRect.left, pageRect.top, pageRect.right - pageRect.left,
                                 pageRect.bottom - pageRect.top}),
              (std::vector<LONG>{33, 46, tabRect.right - tabRect.left,
                                 tabRect.bottom - tabRect.top}));
    // The list: check boxes and full-row selection, one image for the one agent that has one.
    HWND list = ListOf(dialog);
    EXPECT_EQ(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x24, 0x24);
    const auto images = reinterpret_cast<HIMAGELIST>(
        ::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(images), 1);
    int cx = 0, cy = 0;
    ::ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ((std::vector<int>{cx, cy}), (std::vector<int>{16, 16}));
    EXPECT_EQ(ReadRows(list), (std::vector<Row>{{u"news", u"News", true, I_IMAGENONE},
                                                {u"maps", u"地図", false, 0}}));
    Tick(list, 0, false);
    Tick(list, 1, true);
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_TRUE(driven);
  EXPECT_EQ(result, IDOK);
  const std::string config = UserConfig();
  EXPECT_NE(config.find("news=0"), std::string::npos) << config;
  EXPECT_NE(config.find("maps=1"), std::string::npos) << config;
  EXPECT_EQ(config.find("sale"), std::string::npos) << config;
}

TEST_F(Dialogs, OkWritesUnchangedTicksToo) {
  WriteAgents();
  EXPECT_EQ(RunOptions([](HWND dialog) { ::SendMessageW(dialog, WM_COMMAND, IDOK, 0); }), IDOK);
  EXPECT_NE(UserConfig().find("news=1"), std::string::npos);
  EXPECT_NE(UserConfig().find("maps=1"), std::string::npos);
}

TEST_F(Dialogs, CancelAndTheCloseBoxWriteNothing) {
  WriteAgents();
  WriteUserConfig("maps=0\r\n");
  const std::string before = UserConfig();
  EXPECT_EQ(RunOptions([](HWND dialog) {
              Tick(ListOf(dialog), 0, false);
              Tick(ListOf(dialog), 1, true);
              ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }),
            IDCANCEL);
  EXPECT_EQ(UserConfig(), before);
  EXPECT_EQ(RunOptions([](HWND dialog) {
              Tick(ListOf(dialog), 0, false);
              ::SendMessageW(dialog, WM_CLOSE, 0, 0);
            }),
            IDCANCEL);
  EXPECT_EQ(UserConfig(), before);
}

TEST_F(Dialogs, WithoutCatalogueOrLabelTheDialogIsEmptyAndOkWritesNothing) {
  std::u16string label = u"x";
  const INT_PTR result = RunOptions([&](HWND dialog) {
    label = TabLabel(dialog);
    EXPECT_TRUE(ReadRows(ListOf(dialog)).empty());
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(label, u"");
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(UserFile("UserConfig.ini"))));
}

// The static texts of the about box, top to bottom.
std::vector<std::u16string> StaticTexts(HWND dialog) {
  std::vector<std::pair<LONG, std::u16string>> found;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (std::wstring(name) != L"Static") continue;
    RECT rect{};
    ::GetWindowRect(child, &rect);
    found.emplace_back(rect.top, WindowText(child));
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::u16string> texts;
  for (const auto& [top, text] : found) texts.push_back(text);
  return texts;
}

TEST_F(Dialogs, AboutShowsNameVersionAndCopyright) {
  const struct {
    const char* what;
    std::string version;  // "-" for no version.ini
    std::u16string strings;
    std::u16string line;
  } cases[] = {
      {"label and version", "1.0.0.5", u"version=バージョン: \r\n", u"バージョン:1.0.0.5"},
      {"a quoted label keeps its blank", "1.0.0.5", u"version=\"バージョン \"\r\n",
       u"バージョン 1.0.0.5"},
      {"no label", "1.0.0.5", u"", u"1.0.0.5"},
      {"no version.ini", "-", u"version=Version \r\n", u"バージョン: 1.0"},
      {"an empty version", "", u"version=Version \r\n", u"バージョン: 1.0"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(test::FsPath(InstallFile("version.ini")));
    if (c.version != "-") {
      test::WriteBytes(InstallFile("version.ini"), "[COMMON]\r\nVERSION=" + c.version + "\r\n");
    }
    WriteStrings(c.strings);
    std::vector<std::u16string> texts;
    std::u16string caption;
    RunDriven(
        [this] {
          ShowAboutDialog(owner_);
          return 0;
        },
        [&](HWND dialog) {
          caption = WindowText(dialog);
          texts = StaticTexts(dialog);
          ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
    EXPECT_EQ(caption, u"ノルヴェクスツールバーについて") << c.what;
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"ノルヴェクスツールバー", c.line,
                                                   u"Copyright (C) Norvex 2005-2011"}))
        << c.what;
  }
}

TEST_F(Dialogs, TheAboutBoxClosesWithItsCloseBox) {
  bool driven = false;
  RunDriven(
      [this] {
        ShowAboutDialog(owner_);
        return 0;
      },
      [&](HWND dialog) {
        driven = dialog != nullptr;
        ::SendMessageW(dialog, WM_CLOSE, 0, 0);
      });
  EXPECT_TRUE(driven);
}

}  // namespace
}  // namespace norvex::dialogs::win32
