#include "tools/host_commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include <cstdio>
#include <string>
#include <vector>

#include "common/text.h"
#include "search/search_combo_box.h"

namespace norvex::tools {
namespace {

// ---- ParseInt and key names ------------------------------------------------------------------

TEST(HostParseInt, AcceptsWholeDecimalWordsOnly) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"0", true, 0},          {"12", true, 12},         {"-3", true, -3},
      {"+4", true, 4},         {"2147483647", true, 2147483647},
      {"", false},             {"+", false},             {"-", false},
      {"1x", false},           {"x1", false},            {" 1", false},
      {"+-1", false},          {"2147483648", false},    {"99999999999", false},
      {"1.5", false},
  };
  for (const Case& c : cases) {
    int value = -77;
    EXPECT_EQ(ParseInt(c.text, value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : -77) << c.text;
  }
}

TEST(HostKeys, NamesGiveTheirVirtualKeys) {
  EXPECT_EQ(VirtualKeyByName("Enter"), search::kVkReturn);
  EXPECT_EQ(VirtualKeyByName("Escape"), search::kVkEscape);
  EXPECT_EQ(VirtualKeyByName("Up"), search::kVkUp);
  EXPECT_EQ(VirtualKeyByName("Down"), search::kVkDown);
  EXPECT_EQ(VirtualKeyByName("F4"), search::kVkF4);
  EXPECT_EQ(VirtualKeyByName("Backspace"), search::kVkBack);
  EXPECT_EQ(VirtualKeyByName("Delete"), search::kVkDelete);
  EXPECT_EQ(VirtualKeyByName("enter"), 0);  // names are exact
  EXPECT_EQ(VirtualKeyByName(""), 0);
}

// ---- Program paths in "start" lines ----------------------------------------------------------

TEST(HostProgramPath, InstallationFolderIsShownAsGivenWithSlashes) {
  struct Case {
    const char16_t* program;
    const char16_t* installFolder;
    const char16_t* shownFolder;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"Z:\\tmp\\s1\\sample\\install\\NorvexHelper.exe", u"Z:\\tmp\\s1\\sample\\install",
       u"sample/install", u"sample/install/NorvexHelper.exe"},
      // The system may spell the folder in another case; a trailing separator changes nothing.
      {u"z:\\TMP\\s1\\Sample\\install\\NorvexHelper.exe", u"Z:\\tmp\\s1\\sample\\install\\",
       u"sample/install/", u"sample/install/NorvexHelper.exe"},
      {u"Z:\\a\\bin\\x.exe", u"Z:\\a", u"C:\\b", u"C:/b/bin/x.exe"},
      // Only a whole folder is replaced.
      {u"Z:\\tmp\\install2\\x.exe", u"Z:\\tmp\\install", u"sample/install",
       u"Z:/tmp/install2/x.exe"},
      {u"C:\\Other\\x.exe", u"Z:\\tmp\\install", u"sample/install", u"C:/Other/x.exe"},
      {u"Z:\\tmp\\install", u"Z:\\tmp\\install", u"sample/install", u"Z:/tmp/install"},
      {u"Z:\\x.exe", u"", u"sample/install", u"Z:/x.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShownProgramPath(c.program, c.installFolder, c.shownFolder), c.expected)
        << Utf16ToUtf8(c.program);
  }
}

// ---- Output lines ----------------------------------------------------------------------------

TEST(HostLayout, ItemsSortedByLeftEdgeKeepingTheOrderOfEqualOnes) {
  Layout layout;
  layout.items = {
      {2025, "button", {74, 0, 134, 24}, true, true, u"検索"},
      {2027, "button", {202, 0, 258, 24}, false, true, u"辞書"},
      {5025, "search", {2, 0, 72, 22}, true, true, u"a b"},
      {5024, "grip", {203, 0, 218, 24}, true, true, u""},
      {2031, "button", {202, 0, 302, 24}, false, false, u"x"},
      {0, "chevron", {244, 0, 264, 24}, true, true, u""},
  };
  layout.overflow = {{2027, u"辞書", {{2027, u"辞書", {}}, {8400, u"英和辞典", {}}}},
                     {2028, u"ハイライト", {}}};
  const std::vector<std::string> expected = {
      "item 5025 search 2 0 70 22 1 1 a b",
      "item 2025 button 74 0 60 24 1 1 検索",
      "item 2027 button 202 0 56 24 0 1 辞書",
      "item 2031 button 202 0 100 24 0 0 x",
      "item 5024 grip 203 0 15 24 1 1 ",
      "item 0 chevron 244 0 20 24 1 1 ",
      "overflow 2027 辞書",
      "  child 2027 辞書",
      "  child 8400 英和辞典",
      "overflow 2028 ハイライト",
  };
  EXPECT_EQ(FormatLayout(layout), expected);
}

TEST(HostDropDown, SelectedEntryIsMarkedAndClosedListSaysSo) {
  EXPECT_EQ(FormatDropDown({}), std::vector<std::string>{"dropdown closed"});
  const DropDown open{true, {u"kyoto", u"東京"}, 1};
  EXPECT_EQ(FormatDropDown(open), (std::vector<std::string>{"dropdown kyoto", "dropdown* 東京"}));
  const DropDown none{true, {u"a"}, -1};
  EXPECT_EQ(FormatDropDown(none), std::vector<std::string>{"dropdown a"});
}

// ---- The interpreter -------------------------------------------------------------------------

// Records every call; refuses what it is told to refuse.
class RecordingDriver final : public HostDriver {
 public:
  std::vector<std::string> calls;
  bool searchBox = true;
  bool grip = true;
  std::string pressRefusal, menuRefusal, loadRefusal;
  int settled = 0;
  std::function<void()> onPress;  // what a press opens (a dialog)

  bool HasSearchBox() override { return searchBox; }
  bool HasGrip() override { return grip; }
  void Type(const std::u16string& text) override { calls.push_back("type[" + Utf16ToUtf8(text) + "]"); }
  void Key(int virtualKey) override { calls.push_back("key " + std::to_string(virtualKey)); }
  std::string Press(int commandId) override {
    calls.push_back("press " + std::to_string(commandId));
    if (onPress) onPress();
    return pressRefusal;
  }
  std::string Menu(int commandId, int item) override {
    calls.push_back("menu " + std::to_string(commandId) + " " + std::to_string(item));
    return menuRefusal;
  }
  void SetWidth(int width) override { calls.push_back("width " + std::to_string(width)); }
  void DragGrip(int x) override { calls.push_back("grip " + std::to_string(x)); }
  void ShowPage(const std::u16string& url, const std::u16string& charset,
                const std::u16string& language) override {
    calls.push_back("page " + Utf16ToUtf8(url) + "|" + Utf16ToUtf8(charset) + "|" +
                    Utf16ToUtf8(language));
  }
  std::string LoadPage(const std::string& path, const std::u16string& url) override {
    calls.push_back("load " + path + "|" + Utf16ToUtf8(url));
    return loadRefusal;
  }
  std::string ReadSelection() override {
    calls.push_back("selection");
    return "selection top fish";
  }
  std::string SavePage(const std::string& folder) override {
    calls.push_back("save " + folder);
    return {};
  }
  void Refresh() override { calls.push_back("refresh"); }
  Layout ReadLayout() override {
    calls.push_back("layout");
    Layout layout;
    layout.items.push_back({2024, "settings", {267, 0, 323, 24}, true, true, u"設定"});
    return layout;
  }
  DropDown ReadDropDown() override {
    calls.push_back("dropdown");
    return {};
  }
  void Wait(int milliseconds) override { calls.push_back("wait " + std::to_string(milliseconds)); }
  std::string Screenshot(const std::string& path, std::optional<int> menuOf) override {
    calls.push_back("screenshot " + path + (menuOf ? " menu " + std::to_string(*menuOf) : ""));
    return {};
  }
  void Settle() override { ++settled; }
};

// An interpreter over a recording driver, with its two output streams in temporary files.
class InterpreterTest : public ::testing::Test {
 protected:
  InterpreterTest() : out_(std::tmpfile()), err_(std::tmpfile()), output_("test-host", out_, err_) {}
  ~InterpreterTest() override {
    std::fclose(out_);
    std::fclose(err_);
  }

  static std::string Read(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    return text;
  }
  std::string Out() { return Read(out_); }
  std::string Err() { return Read(err_); }

  std::FILE* out_;
  std::FILE* err_;
  HostOutput output_;
  RecordingDriver driver_;
  CommandInterpreter interpreter_{driver_, output_};
};

TEST_F(InterpreterTest, EachCommandReachesTheDriverWithItsArguments) {
  const char* lines[] = {
      "type tokyo tower", "type   ", "type", "key Enter", "press 2024", "menu 0 8100",
      "width 640", "grip -5", "page http://a.example/ shift_jis en", "page http://b.example/",
      "refresh", "dropdown", "wait 250", "key F4\r", "load pages/a.html",
      "load pages/b.html http://b.example/", "selection", "save /tmp/out",
      "screenshot a.png", "screenshot b.png 0", "screenshot c.png 2025",
  };
  for (const char* line : lines) EXPECT_TRUE(interpreter_.Run(line)) << line;
  const std::vector<std::string> expected = {
      "type[tokyo tower]", "type[  ]", "type[]", "key 13", "press 2024", "menu 0 8100",
      "width 640", "grip -5", "page http://a.example/|shift_jis|en", "page http://b.example/||",
      "refresh", "dropdown", "wait 250", "key 115", "load pages/a.html|",
      "load pages/b.html|http://b.example/", "selection", "save /tmp/out",
      "screenshot a.png", "screenshot b.png menu 0", "screenshot c.png menu 2025",
  };
  EXPECT_EQ(driver_.calls, expected);
  EXPECT_EQ(driver_.settled, 21);
  EXPECT_EQ(Out(), "dropdown closed\nselection top fish\n");
  EXPECT_EQ(Err(), "");
  EXPECT_FALSE(output_.refused());
  EXPECT_EQ(output_.ExitStatus(), 0);
}

TEST_F(InterpreterTest, LayoutPrintsTheDriversElements) {
  EXPECT_TRUE(interpreter_.Run("layout"));
  EXPECT_EQ(Out(), "item 2024 settings 267 0 56 24 1 1 設定\n");
}

TEST_F(InterpreterTest, BlankLinesAndCommentsDoNothingAndQuitEnds) {
  EXPECT_TRUE(interpreter_.Run(""));
  EXPECT_TRUE(interpreter_.Run("   "));
  EXPECT_TRUE(interpreter_.Run("# press 2024"));
  EXPECT_TRUE(interpreter_.Run("#press 2024"));
  EXPECT_TRUE(driver_.calls.empty());
  EXPECT_EQ(driver_.settled, 0);
  EXPECT_FALSE(interpreter_.Run("quit"));
  EXPECT_FALSE(output_.refused());
}

TEST_F(InterpreterTest, MalformedCommandsAreRefusedWithoutReachingTheDriver) {
  const char* lines[] = {
      "bogus",      "press",       "press x",   "press 1 2",  "menu 1",     "menu 1 x",
      "width -1",   "width",       "grip",      "grip 1.5",   "page",       "page a b c d",
      "refresh 1",  "layout all",  "dropdown 1", "wait",      "wait -1",    "wait soon",
      "key",        "key Enter F4", "Layout",   "load",       "load a b c", "selection x",
      "save",       "save a b",   "screenshot", "screenshot a.png x", "screenshot a 1 2",
  };
  for (const char* line : lines) EXPECT_TRUE(interpreter_.Run(line)) << line;
  EXPECT_TRUE(driver_.calls.empty());
  // Every refused line is named in one message, and what it posted still settles.
  std::string expected;
  for (const char* line : lines) expected += std::string("test-host: unknown command: ") + line + "\n";
  EXPECT_EQ(Err(), expected);
  EXPECT_EQ(driver_.settled, static_cast<int>(std::size(lines)));
  EXPECT_TRUE(output_.refused());
  EXPECT_EQ(output_.ExitStatus(), 1);
}

TEST_F(InterpreterTest, SearchBoxAndGripCommandsNeedThem) {
  driver_.searchBox = false;
  driver_.grip = false;
  interpreter_.Run("type abc");
  interpreter_.Run("key Enter");
  interpreter_.Run("grip 10");
  EXPECT_TRUE(driver_.calls.empty());
  EXPECT_EQ(Err(),
            "test-host: the toolbar has no search box\n"
            "test-host: the toolbar has no search box\n"
            "test-host: the toolbar has no grip\n");
  EXPECT_EQ(output_.ExitStatus(), 1);
}

TEST_F(InterpreterTest, UnknownKeyIsRefused) {
  interpreter_.Run("key Tab");
  EXPECT_TRUE(driver_.calls.empty());
  EXPECT_EQ(Err(), "test-host: unknown key: Tab\n");
}

TEST_F(InterpreterTest, DriverRefusalsArePrintedAndCounted) {
  driver_.pressRefusal = refusal::NoVisibleButton(2030);
  driver_.menuRefusal = refusal::NoMenuItem(9999, 2027);
  driver_.loadRefusal = "cannot read nowhere.html";
  interpreter_.Run("press 2030");
  interpreter_.Run("menu 2027 9999");
  interpreter_.Run("load nowhere.html");
  EXPECT_EQ(driver_.calls,
            (std::vector<std::string>{"press 2030", "menu 2027 9999", "load nowhere.html|"}));
  EXPECT_EQ(Err(),
            "test-host: no visible button with command 2030\n"
            "test-host: no item 9999 in the menu of 2027\n"
            "test-host: cannot read nowhere.html\n");
  EXPECT_EQ(output_.ExitStatus(), 1);
}

TEST_F(InterpreterTest, EventLinesHaveTheirFixedForms) {
  output_.Navigate(u"http://a.example/?q=%E3");
  output_.OpenWindow(u"http://help.example/", 450, 500);
  output_.Start(u"sample/install/NorvexHelper.exe", u"/uninstalltoolbar");
  output_.Dialog("options");
  EXPECT_EQ(Out(),
            "navigate http://a.example/?q=%E3\n"
            "open-window http://help.example/ 450 500\n"
            "start sample/install/NorvexHelper.exe /uninstalltoolbar\n"
            "dialog options\n");
  EXPECT_FALSE(output_.refused());
}

// The interactive host's window hears every printed line, refusals with the program's name, and
// the addresses the browser goes to.
TEST_F(InterpreterTest, AListenerHearsEveryLineAndEveryNavigation) {
  struct Listener final : HostOutputListener {
    std::vector<std::string> heard;
    void OnLine(const std::string& line) override { heard.push_back(line); }
    void OnNavigate(const std::u16string& url) override { heard.push_back("@" + Utf16ToUtf8(url)); }
  } listener;
  output_.SetListener(&listener);
  output_.Navigate(u"http://a.example/");
  output_.Start(u"x.exe", u"/y");
  output_.Refuse("no such button");
  output_.SetListener(nullptr);
  output_.Line("unheard");
  const std::vector<std::string> expected = {"navigate http://a.example/", "@http://a.example/",
                                             "start x.exe /y", "test-host: no such button"};
  EXPECT_EQ(listener.heard, expected);
  EXPECT_EQ(Err(), "test-host: no such button\n");
}

// A dialog that records what is done to it.
class FakeDialog final : public HostDialog {
 public:
  std::string name = "options";
  std::vector<std::pair<std::u16string, bool>> rows = {{u"news", true}, {u"maps", false}};
  std::vector<std::string> done;

  std::string Name() override { return name; }
  std::vector<std::string> Lines() override {
    std::vector<std::string> lines;
    for (const auto& [id, ticked] : rows) lines.push_back(OptionLine(id, ticked, u"＜" + id + u"＞"));
    return lines;
  }
  bool Check(const std::u16string& id, bool ticked) override {
    for (auto& row : rows) {
      if (row.first == id) {
        row.second = ticked;
        done.push_back("check " + Utf16ToUtf8(id) + (ticked ? " 1" : " 0"));
        return true;
      }
    }
    return false;
  }
  void Ok() override { done.push_back("ok"); }
  void Cancel() override { done.push_back("cancel"); }
};

class DialogSession : public InterpreterTest {
 protected:
  DialogSession() {
    driver_.onPress = [this] { driver_.RunDialog(dialog_, output_); };
  }
  void RunAll(const std::string& text) {
    std::istringstream input(text);
    interpreter_.RunAll(input);
  }
  FakeDialog dialog_;
};

TEST_F(DialogSession, TheDialogIsPrintedAndDrivenUntilOk) {
  RunAll("press 2024\n# a comment\n\ncheck news 0\ncheck maps 1\r\nok\nlayout\n");
  EXPECT_EQ(dialog_.done, (std::vector<std::string>{"check news 0", "check maps 1", "ok"}));
  EXPECT_EQ(Out(),
            "dialog options\n"
            "option news 1 ＜news＞\n"
            "option maps 0 ＜maps＞\n"
            "item 2024 settings 267 0 56 24 1 1 設定\n");
  EXPECT_EQ(driver_.calls, (std::vector<std::string>{"press 2024", "layout"}));
  EXPECT_EQ(driver_.settled, 2) << "the press settles after its dialog has closed";
  EXPECT_FALSE(output_.refused());
}

TEST_F(DialogSession, CancelClosesIt) {
  RunAll("press 2024\ncheck news 0\ncancel\npress 2025\ncancel\n");
  EXPECT_EQ(dialog_.done,
            (std::vector<std::string>{"check news 0", "cancel", "cancel"}));
  EXPECT_EQ(driver_.calls, (std::vector<std::string>{"press 2024", "press 2025"}));
}

TEST_F(DialogSession, AnyOtherCommandClosesItWithCancelAndThenRuns) {
  dialog_.name = "about";
  dialog_.rows.clear();
  RunAll("press 2024\nwidth 640\nquit\nlayout\n");
  EXPECT_EQ(dialog_.done, std::vector<std::string>{"cancel"});
  EXPECT_EQ(driver_.calls, (std::vector<std::string>{"press 2024", "width 640"}));
  EXPECT_EQ(Out(), "dialog about\n") << "nothing after quit";
}

TEST_F(DialogSession, MalformedDialogCommandsAreOtherCommands) {
  RunAll("press 2024\ncheck news 2\n");
  EXPECT_EQ(dialog_.done, std::vector<std::string>{"cancel"});
  EXPECT_EQ(Err(), "test-host: unknown command: check news 2\n");
}

TEST_F(DialogSession, AnUnknownRowIsRefusedAndTheDialogStaysOpen) {
  RunAll("press 2024\ncheck weather 1\nok\n");
  EXPECT_EQ(dialog_.done, std::vector<std::string>{"ok"});
  EXPECT_EQ(Err(), "test-host: no option weather in the dialog\n");
  EXPECT_EQ(output_.ExitStatus(), 1);
}

TEST_F(DialogSession, TheEndOfInputClosesItWithCancel) {
  RunAll("press 2024\ncheck maps 1\n");
  EXPECT_EQ(dialog_.done, (std::vector<std::string>{"check maps 1", "cancel"}));
}

TEST_F(DialogSession, WithoutInputADialogIsNamedAndCancelled) {
  interpreter_.Run("press 2024");
  EXPECT_EQ(dialog_.done, std::vector<std::string>{"cancel"});
  EXPECT_EQ(Out(), "dialog options\noption news 1 ＜news＞\noption maps 0 ＜maps＞\n");
}

TEST_F(DialogSession, DialogCommandsWithoutADialogAreUnknown) {
  RunAll("ok\ncancel\ncheck news 1\n");
  EXPECT_EQ(Err(),
            "test-host: unknown command: ok\n"
            "test-host: unknown command: cancel\n"
            "test-host: unknown command: check news 1\n");
}

TEST(HostDriverWithoutRunner, NamesAndCancelsTheDialog) {
  std::FILE* out = std::tmpfile();
  HostOutput output("test-host", out, stderr);
  RecordingDriver driver;
  FakeDialog dialog;
  driver.RunDialog(dialog, output);
  EXPECT_EQ(dialog.done, std::vector<std::string>{"cancel"});
  std::fclose(out);
}

}  // namespace
}  // namespace norvex::tools
