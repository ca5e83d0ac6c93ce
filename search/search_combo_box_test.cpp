#include "search/search_combo_box.h"

#include "search/drop_down_layout.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"
#include "storage/settings.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::search {
namespace {

// A headless window: records what the model asks, in order, and plays a simple edit field for
// the keys passed to it.
class RecordingHost final : public SearchComboHost {
 public:
  std::vector<std::string> log;
  std::vector<std::string> notifications;  // "send N" / "post N", in order
  Rect rect{100, 10, 300, 32};
  std::vector<ComboItem> dropItems;
  Rect dropRect;
  SearchComboBox* box = nullptr;
  // Like a real edit field, report a text that the model sets as an update and a change.
  bool echo = false;

  void SendNotification(int code) override { Note("send " + std::to_string(code)); }
  void PostNotification(int code) override { Note("post " + std::to_string(code)); }
  Rect ScreenRect() const override { return rect; }
  void Repaint() override { log.push_back("repaint"); }
  void ShowEditText(const std::u16string& text) override {
    log.push_back("edit " + Utf16ToUtf8(text));
    if (echo && box) {
      box->OnEditUpdate(text, 0, 0);
      box->OnEditChange();
    }
  }
  void SetEditSelection(size_t start, size_t end) override {
    log.push_back("select " + std::to_string(start) + "," + std::to_string(end));
  }
  void FocusEditField() override { log.push_back("focus edit"); }
  void PassKeyToEditField(int key) override {
    log.push_back("key " + std::to_string(key));
    // Backspace in the played edit field: remove the character before the caret.
    if (key == kVkBack && box && !box->GetText().empty()) {
      std::u16string text = box->GetText();
      text.pop_back();
      box->OnEditUpdate(text, text.size(), text.size());
    }
  }
  // The drop-down's window cannot be made.
  bool dropFails = false;

  bool ShowDropDown(const Rect& r, const std::vector<ComboItem>& items, int selected) override {
    if (dropFails) {
      log.push_back("no drop-down");
      return false;
    }
    dropRect = r;
    dropItems = items;
    log.push_back("open " + std::to_string(items.size()) + " sel " + std::to_string(selected));
    return true;
  }
  void HideDropDown() override {
    dropItems.clear();
    log.push_back("close");
  }
  void ReplaceDropDownItems(const std::vector<ComboItem>& items) override { dropItems = items; }
  void SelectDropDownItem(int index) override { log.push_back("hilite " + std::to_string(index)); }
  void ScrollDropDown(int top) override { log.push_back("scroll " + std::to_string(top)); }
  void ReportFocusToBrowser(bool focused) override {
    Note(focused ? "band focus" : "band blur");
  }

  std::vector<std::u16string> DropTexts() const {
    std::vector<std::u16string> texts;
    for (const auto& item : dropItems) texts.push_back(item.text);
    return texts;
  }

 private:
  void Note(const std::string& what) {
    log.push_back(what);
    notifications.push_back(what);
  }
};

class ComboBox : public ::testing::Test {
 protected:
  ComboBox() : seams_({nullptr, nullptr, &system_}), box_(host_) {
    system_.module = temp_.File("install/NorvexToolbar.dll");
    system_.appData = temp_.File("appdata");
    storage::ResetVersionCacheForTesting();
    host_.box = &box_;
    box_.LoadHistory(u"Toolbar", u"TB_");
  }
  ~ComboBox() override { storage::ResetVersionCacheForTesting(); }

  // The box with these entries (the first the newest), its edit field created and focused.
  void Prepare(std::vector<std::u16string> entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) box_.AddHistory(*it, false);
    box_.OnEditCreated();
    box_.OnEditSetFocus();
    Clear();
  }
  void Type(std::u16string_view text) {
    for (char16_t c : text) box_.TypeCharacter(c);
  }
  void Clear() {
    host_.log.clear();
    host_.notifications.clear();
  }
  using Notes = std::vector<std::string>;

  test::TempFolder temp_;
  test::FakeSystemInfo system_;
  platform::ScopedSeams seams_;
  RecordingHost host_;
  SearchComboBox box_;
};

TEST_F(ComboBox, TextIsLimitedToFiftyCharacters) {
  box_.SetText(std::u16string(60, u'x'));
  EXPECT_EQ(box_.GetText(), std::u16string(50, u'x'));  // kept, no edit field yet
  box_.OnEditCreated();
  EXPECT_EQ(box_.GetText(), std::u16string(50, u'x'));
  box_.SetText(u"");
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(box_.TypeCharacter(u'a'));
  EXPECT_FALSE(box_.TypeCharacter(u'b'));  // the 51st
  EXPECT_EQ(box_.GetText(), std::u16string(50, u'a'));
}

TEST_F(ComboBox, GetTextIsTheEditTextOnceItExists) {
  box_.SetText(u"kept");
  EXPECT_EQ(box_.GetText(), u"kept");
  box_.OnEditCreated();
  box_.OnEditUpdate(u"typed", 5, 5);
  EXPECT_EQ(box_.GetText(), u"typed");
}

TEST_F(ComboBox, AutocompleteOpensWithPrefixMatchesInListOrder) {
  Prepare({u"abc", u"xyz", u"abd"});
  Type(u"a");
  ASSERT_TRUE(box_.dropDownOpen());
  EXPECT_FALSE(box_.dropDownShowsWholeList());
  EXPECT_EQ(host_.DropTexts(), (std::vector<std::u16string>{u"abc", u"abd"}));
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 7"}));
  Clear();
  box_.TranslateKey(kVkBack, false);  // the box is empty again
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 10", "send 8"}));
}

TEST_F(ComboBox, AutocompleteIsCaseSensitiveAndNeedsFocus) {
  Prepare({u"abc", u"abd"});
  Type(u"A");
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 5"}));  // edit change while closed
  box_.OnEditUpdate(u"", 0, 0);
  box_.OnEditKillFocus(SearchComboBox::FocusTarget::kElsewhere);
  Clear();
  box_.OnEditUpdate(u"a", 1, 1);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, Notes{"post 6"});
}

TEST_F(ComboBox, EnterSubmitsEvenWithFilteredMatchesAndEscapeOnlyCloses) {
  Prepare({u"abc", u"abd"});
  Type(u"a");
  Clear();
  EXPECT_EQ(box_.TranslateKey(kVkReturn, false), 1);
  EXPECT_EQ(host_.notifications, Notes{"post 5025"});
  EXPECT_TRUE(box_.dropDownOpen());
  Clear();
  EXPECT_EQ(box_.TranslateKey(kVkEscape, false), 1);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"send 10", "send 8"}));
  EXPECT_EQ(box_.GetText(), u"a");
}

struct KeyCase {
  const char* name;
  int key;
  bool ctrl;
  int result;
  bool passed;  // handed to the edit field
};

const KeyCase kKeyCases[] = {
    {"Backspace", kVkBack, false, 0, true},   {"Delete", kVkDelete, false, 0, true},
    {"Home", kVkHome, false, 0, true},        {"End", kVkEnd, false, 0, true},
    {"Left", kVkLeft, false, 0, true},        {"CtrlA", 'A', true, 0, true},
    {"CtrlC", 'C', true, 0, true},            {"CtrlV", 'V', true, 0, true},
    {"CtrlX", 'X', true, 0, true},            {"Letter", 'Q', false, 1, false},
    {"CtrlZ", 'Z', true, 1, false},           {"Tab", 0x09, false, 1, false},
    {"F4", kVkF4, false, 0, false},           {"Up", kVkUp, false, 0, false},
    {"Down", kVkDown, false, 0, false},       {"Enter", kVkReturn, false, 1, false},
    {"Escape", kVkEscape, false, 1, false},
};

class KeyFilter : public ComboBox, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyFilter, ConsumesOrLeavesToTheBrowser) {
  Prepare({u"abc"});
  const KeyCase& c = GetParam();
  EXPECT_EQ(box_.TranslateKey(c.key, c.ctrl), c.result);
  const bool passed =
      std::find(host_.log.begin(), host_.log.end(), "key " + std::to_string(c.key)) != host_.log.end();
  EXPECT_EQ(passed, c.passed);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyFilter, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComboBox, EditingKeysWithoutAnEditFieldGoToTheBrowser) {
  for (int key : {kVkHome, kVkEnd, kVkLeft}) EXPECT_EQ(box_.TranslateKey(key, false), 1);
  EXPECT_TRUE(host_.log.empty());
}

TEST_F(ComboBox, RightPassesInsideTheTextAndCompletesAtItsEnd) {
  Prepare({u"abc", u"abd"});
  box_.OnEditUpdate(u"ab", 1, 1);  // caret inside; arrow navigation none: the filter opened
  box_.CloseDropDown();
  Clear();
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 0);
  EXPECT_EQ(host_.log, std::vector<std::string>{"key 39"});
  box_.OnEditUpdate(u"ab", 2, 2);
  box_.CloseDropDown();
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 1);
  EXPECT_TRUE(box_.dropDownOpen());
  EXPECT_EQ(host_.DropTexts(), (std::vector<std::u16string>{u"abc", u"abd"}));
}

TEST_F(ComboBox, ArrowKeysChooseInTheOpenDropDown) {
  Prepare({u"one", u"two", u"three"});
  box_.TranslateKey(kVkF4, false);
  ASSERT_TRUE(box_.dropDownShowsWholeList());
  Clear();
  EXPECT_EQ(box_.TranslateKey(kVkDown, false), 0);
  EXPECT_EQ(box_.GetText(), u"one");
  EXPECT_EQ(box_.GetCurSel(), 0);
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 9", "send 1"}));
  box_.TranslateKey(kVkDown, false);
  box_.TranslateKey(kVkDown, false);
  box_.TranslateKey(kVkDown, false);  // no item below the last
  EXPECT_EQ(box_.GetText(), u"three");
  box_.TranslateKey(kVkUp, false);
  EXPECT_EQ(box_.GetText(), u"two");
  EXPECT_EQ(box_.selectionStart(), 0u);
  EXPECT_EQ(box_.selectionEnd(), 3u);
  // A chosen item suppresses one cancel notification on closing.
  Clear();
  box_.TranslateKey(kVkF4, false);
  EXPECT_EQ(host_.notifications, Notes{"send 8"});
}

TEST_F(ComboBox, ArrowNavigationDoesNotRefilter) {
  host_.echo = true;
  Prepare({u"abc", u"abd"});
  Type(u"a");
  box_.TranslateKey(kVkDown, false);  // chooses abc; its edit update must not close the list
  EXPECT_TRUE(box_.dropDownOpen());
  EXPECT_EQ(host_.DropTexts(), (std::vector<std::u16string>{u"abc", u"abd"}));
  box_.OnEditUpdate(u"abd", 3, 3);  // the mark is gone: this one filters
  EXPECT_EQ(host_.DropTexts(), std::vector<std::u16string>{u"abd"});
}

// The mark belongs to one choice: after it (or after an arrow key that chose nothing) typing
// filters again.
TEST_F(ComboBox, ArrowMarkDoesNotOutliveItsChoice) {
  for (const bool echo : {false, true}) {
    SCOPED_TRACE(echo ? "echoing edit field" : "silent edit field");
    SearchComboBox box(host_);
    host_.box = &box;
    host_.echo = echo;
    for (const char16_t* entry : {u"bcd", u"abd", u"abc"}) box.AddHistory(entry, false);
    box.OnEditCreated();
    box.OnEditSetFocus();
    box.TranslateKey(kVkDown, false);  // nothing open: nothing chosen
    box.TypeCharacter(u'a');
    ASSERT_TRUE(box.dropDownOpen());
    box.TranslateKey(kVkDown, false);
    EXPECT_EQ(box.GetText(), u"abc");
    box.TranslateKey(kVkEscape, false);
    EXPECT_FALSE(box.dropDownOpen());
    box.TypeCharacter(u'b');  // replaces the chosen text, which is selected
    EXPECT_EQ(box.GetText(), u"b");
    EXPECT_TRUE(box.dropDownOpen());
    EXPECT_EQ(host_.DropTexts(), std::vector<std::u16string>{u"bcd"});
    box.CloseDropDown();
  }
  host_.box = &box_;
}

// Whether or not the host's edit field reports the text that the model shows in it, the parent
// hears the same notifications and the model ends in the same state.
TEST_F(ComboBox, NotificationsDoNotDependOnTheHostsEcho) {
  std::vector<Notes> heard;
  for (const bool echo : {false, true}) {
    SearchComboBox box(host_);
    host_.box = &box;
    host_.echo = echo;
    for (const char16_t* entry : {u"x", u"abd", u"abc"}) box.AddHistory(entry, false);
    box.OnEditCreated();
    box.OnEditSetFocus();
    Clear();
    box.TranslateKey(kVkF4, false);   // the whole list
    box.TranslateKey(kVkDown, false);  // chooses abc
    box.TranslateKey(kVkF4, false);   // closes
    box.TypeCharacter(u'a');          // replaces the selection: the filter opens
    box.OnMouseWheel(-120);           // chooses abc as Down would
    box.ClickDropDownItem(1);         // abd: chosen, submitted, closed
    box.SetText(u"dropped");
    box.SetCurSel(2);
    heard.push_back(host_.notifications);
    EXPECT_EQ(box.GetText(), u"x");
    EXPECT_FALSE(box.dropDownOpen());
  }
  host_.box = &box_;
  EXPECT_EQ(heard[0], heard[1]);
  EXPECT_EQ(heard[0], (Notes{"send 7",                                // F4
                             "post 6", "send 9", "send 1",            // Down
                             "send 8",                                // F4 closes
                             "post 6", "send 7",                      // a: the filter opens
                             "post 6", "send 9", "send 1",            // wheel
                             "post 6", "send 9", "send 1", "post 5025", "send 8",  // click
                             "post 6", "send 5",                      // SetText
                             "post 6", "send 5"}));                   // CB_SETCURSEL
}

// With an edit field that reports every text set in it (as a real one does), a choice must not
// run the filter: the drop-down neither closes nor reopens with fewer entries.
TEST_F(ComboBox, ChoosingDoesNotReopenTheAutocomplete) {
  host_.echo = true;
  Prepare({u"abc", u"abd", u"x"});
  Type(u"a");
  box_.OnMouseWheel(-120);
  EXPECT_EQ(box_.GetText(), u"abc");
  EXPECT_EQ(host_.DropTexts(), (std::vector<std::u16string>{u"abc", u"abd"}));
  box_.OnMouseWheel(-120);
  EXPECT_EQ(box_.GetText(), u"abd");
  box_.HoverDropDownItem(0);
  Clear();
  EXPECT_EQ(box_.FilterKey(kVkReturn, false), 0);  // Enter in the combo's own filter
  EXPECT_EQ(box_.GetText(), u"abc");
  EXPECT_TRUE(box_.dropDownOpen());
  EXPECT_EQ(host_.DropTexts(), (std::vector<std::u16string>{u"abc", u"abd"}));
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 9", "send 1"}));
  Clear();
  box_.ClickDropDownItem(1);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 9", "send 1", "post 5025", "send 8"}));
}

TEST_F(ComboBox, RightPostsTheEditUpdateBeforeFiltering) {
  Prepare({u"abc", u"abd"});
  box_.OnEditUpdate(u"ab", 2, 2);
  box_.CloseDropDown();
  Clear();
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 1);
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 7"}));
}

// Home, End and Left move the caret as the edit field does, so that Right then knows whether
// it stands at the end of the text.
TEST_F(ComboBox, CaretKeysMoveTheModelsCaret) {
  Prepare({u"abc", u"abd"});
  box_.OnEditUpdate(u"ab", 2, 2);
  box_.CloseDropDown();
  box_.TranslateKey(kVkHome, false);
  EXPECT_EQ(box_.selectionStart(), 0u);
  EXPECT_EQ(box_.selectionEnd(), 0u);
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 0);  // inside the text: the edit field's
  EXPECT_EQ(box_.selectionEnd(), 1u);
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 0);
  EXPECT_EQ(box_.selectionEnd(), 2u);
  EXPECT_FALSE(box_.dropDownOpen());
  box_.TranslateKey(kVkLeft, false);
  EXPECT_EQ(box_.selectionEnd(), 1u);
  box_.TranslateKey(kVkEnd, false);
  EXPECT_EQ(box_.selectionEnd(), 2u);
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 1);  // at the end: the filter
  EXPECT_TRUE(box_.dropDownOpen());
  // Left with all selected: the caret (the selection's end) moves one back, the selection goes.
  box_.TranslateKey('A', true);
  box_.TranslateKey(kVkLeft, false);
  EXPECT_EQ(box_.selectionStart(), 1u);
  EXPECT_EQ(box_.selectionEnd(), 1u);
}

// A click in the edit field moves its caret without a notification; the host reports where
// it is, and Right decides from that.
TEST_F(ComboBox, ReportedSelectionDecidesRight) {
  Prepare({u"abc", u"abd"});
  box_.OnEditUpdate(u"ab", 2, 2);
  box_.CloseDropDown();
  box_.OnEditSelection(0, 0);
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 0) << "inside the text: the edit field's";
  box_.OnEditSelection(2, 2);
  EXPECT_EQ(box_.TranslateKey(kVkRight, false), 1) << "at the end: the filter";
  EXPECT_TRUE(box_.dropDownOpen());
  box_.OnEditSelection(7, 9);  // beyond the text: held to its end
  EXPECT_EQ(box_.selectionStart(), 2u);
  EXPECT_EQ(box_.selectionEnd(), 2u);
}

// Scrolling the list with its scroll bar moves the first shown entry the wheel starts from.
TEST_F(ComboBox, ScrollBarScrollingMovesTheTopIndex) {
  std::vector<std::u16string> entries;
  for (int i = 0; i < 8; ++i) entries.push_back(u"q" + FormatInt(i));
  Prepare(entries);
  box_.OnDropDownScrolled(4);
  EXPECT_EQ(box_.GetTopIndex(), 0) << "closed";
  box_.ToggleDropDown();
  box_.OnDropDownScrolled(4);
  EXPECT_EQ(box_.GetTopIndex(), 4);
  box_.OnDropDownScrolled(8);
  EXPECT_EQ(box_.GetTopIndex(), 4) << "not an entry";
  Clear();
  box_.OnMouseWheel(-120);
  EXPECT_EQ(host_.log, (std::vector<std::string>{"scroll 7"}));
}

TEST_F(ComboBox, DropDownTogglesWithF4AltArrowsAndTheButton) {
  Prepare({u"abc"});
  EXPECT_EQ(box_.TranslateSysKey(kVkDown), 1);
  EXPECT_TRUE(box_.dropDownShowsWholeList());
  EXPECT_EQ(box_.TranslateSysKey(kVkUp), 1);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(box_.TranslateSysKey('Q'), 1);
  EXPECT_FALSE(box_.dropDownOpen());
  box_.ToggleDropDown();
  EXPECT_TRUE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"send 7", "send 10", "send 8", "send 7"}));
}

TEST_F(ComboBox, ButtonClickFocusesThenToggles) {
  Prepare({u"abc"});
  box_.OnDropButtonClick();
  EXPECT_EQ(host_.log.front(), "focus edit");
  EXPECT_TRUE(box_.dropDownShowsWholeList());
  box_.OnDropButtonClick();
  EXPECT_FALSE(box_.dropDownOpen());
}

TEST_F(ComboBox, FilterDropDownIsTakenOverByTheButton) {
  Prepare({u"abc", u"xyz"});
  Type(u"a");
  box_.ToggleDropDown();
  EXPECT_TRUE(box_.dropDownShowsWholeList());
  EXPECT_EQ(host_.DropTexts(), std::vector<std::u16string>{u"abc"});
  box_.ToggleDropDown();
  EXPECT_FALSE(box_.dropDownOpen());
}

TEST_F(ComboBox, EmptyListOpensNothing) {
  Prepare({});
  box_.TranslateKey(kVkF4, false);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_TRUE(host_.notifications.empty());
}

TEST_F(ComboBox, DropDownSizeStartsAt200By50AndIsKept) {
  Prepare({u"abc"});
  box_.ToggleDropDown();
  EXPECT_EQ(host_.dropRect, (Rect{100, 32, 300, 82}));
  EXPECT_EQ(box_.ResizeDropDown(150, 40), (std::pair<int, int>{200, 50}));
  EXPECT_EQ(box_.ResizeDropDown(320, 140), (std::pair<int, int>{320, 140}));
  box_.ToggleDropDown();
  EXPECT_EQ(storage::ReadWindowDimension(u"dropwidth"), 320);
  EXPECT_EQ(storage::ReadWindowDimension(u"dropheight"), 140);
  box_.ToggleDropDown();
  EXPECT_EQ(host_.dropRect, (Rect{100, 32, 420, 172}));
}

struct SizeCase {
  int width, height;  // stored; 0 for missing
  int openWidth, openHeight;
};

const SizeCase kSizeCases[] = {
    {0, 0, 200, 50},     {0, 300, 200, 50},   {300, -5, 200, 50}, {150, 40, 200, 50},
    {200, 50, 200, 50},  {201, 51, 201, 51},  {640, 480, 640, 480},
};

class StoredSize : public ComboBox, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(StoredSize, OpensAtTheStoredSizeWithMinimum) {
  const SizeCase& c = GetParam();
  if (c.width) storage::WriteWindowDimension(u"dropwidth", c.width);
  if (c.height) storage::WriteWindowDimension(u"dropheight", c.height);
  Prepare({u"abc"});
  box_.ToggleDropDown();
  EXPECT_EQ(box_.dropDownSize(), (std::pair<int, int>{c.openWidth, c.openHeight}));
  EXPECT_EQ(host_.dropRect.right - host_.dropRect.left, c.openWidth);
  EXPECT_EQ(host_.dropRect.bottom - host_.dropRect.top, c.openHeight);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StoredSize, ::testing::ValuesIn(kSizeCases));

TEST_F(ComboBox, ClickingAnEntryFillsTheBoxAndSubmits) {
  Prepare({u"abc", u"xyz"});
  box_.ToggleDropDown();
  Clear();
  box_.ClickDropDownItem(1);
  EXPECT_EQ(box_.GetText(), u"xyz");
  EXPECT_EQ(box_.GetCurSel(), 1);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 9", "send 1", "post 5025", "send 8"}));
}

TEST_F(ComboBox, DisabledItemsAreNeitherHoveredNorChosen) {
  Prepare({u"abc", u"xyz"});
  box_.ToggleDropDown();
  const_cast<std::vector<ComboItem>&>(box_.dropDownItems())[1].disabled = 1;
  box_.HoverDropDownItem(0);
  box_.HoverDropDownItem(1);
  EXPECT_EQ(box_.dropDownSelection(), 0);
  Clear();
  box_.ClickDropDownItem(1);
  EXPECT_TRUE(host_.notifications.empty());
  EXPECT_TRUE(box_.dropDownOpen());
}

TEST_F(ComboBox, ComboFilterEnterChoosesTheSelectedItem) {
  Prepare({u"abc", u"xyz"});
  box_.ToggleDropDown();
  box_.HoverDropDownItem(1);
  Clear();
  EXPECT_EQ(box_.FilterKey(kVkReturn, false), 0);
  EXPECT_EQ(box_.GetText(), u"xyz");
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 9", "send 1"}));
  box_.CloseDropDown();
  Clear();
  EXPECT_EQ(box_.FilterKey(kVkReturn, false), 1);  // closed: a submit as usual
  EXPECT_EQ(host_.notifications, Notes{"post 5025"});
}

TEST_F(ComboBox, WheelScrollsTheWholeListByThree) {
  std::vector<std::u16string> entries;
  for (int i = 0; i < 8; ++i) entries.push_back(u"q" + FormatInt(i));
  Prepare(entries);
  box_.OnMouseWheel(-120);  // closed: nothing
  EXPECT_TRUE(host_.log.empty());
  box_.ToggleDropDown();
  Clear();
  box_.OnMouseWheel(-60);
  EXPECT_TRUE(host_.log.empty());
  box_.OnMouseWheel(-60);
  box_.OnMouseWheel(-120);
  box_.OnMouseWheel(-120);
  box_.OnMouseWheel(-120);
  box_.OnMouseWheel(120);
  EXPECT_EQ(host_.log, (std::vector<std::string>{"scroll 3", "scroll 6", "scroll 7", "scroll 7",
                                                 "scroll 4"}));
  box_.OnMouseWheel(120);
  box_.OnMouseWheel(120);
  EXPECT_EQ(box_.dropDownTopIndex(), 0);
}

TEST_F(ComboBox, WheelInAFilteredListChoosesNextAndPrevious) {
  Prepare({u"abc", u"abd", u"x"});
  Type(u"a");
  box_.OnMouseWheel(-120);
  EXPECT_EQ(box_.GetText(), u"abc");
  box_.OnMouseWheel(-120);
  EXPECT_EQ(box_.GetText(), u"abd");
  box_.OnMouseWheel(120);
  EXPECT_EQ(box_.GetText(), u"abc");
}

TEST_F(ComboBox, FocusNotifications) {
  Prepare({u"abc"});
  box_.OnEditKillFocus(SearchComboBox::FocusTarget::kElsewhere);
  box_.OnSetFocus();
  box_.OnEditSetFocus();
  EXPECT_EQ(host_.notifications, (Notes{"send 10", "send 4", "band blur", "send 3", "band focus"}));
  EXPECT_EQ(std::count(host_.log.begin(), host_.log.end(), "select 0,0"), 1);
  EXPECT_TRUE(box_.focused());
  box_.ToggleDropDown();
  Clear();
  box_.OnKillFocus();  // the combo window's own loss closes the drop-down
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(host_.notifications, (Notes{"send 10", "send 8"}));
}

// The edit field loses the focus with the drop-down closed, opened by the button or by the
// filter (Tab out of a filtered drop-down, or the application deactivated, whose drop-down only
// posts its close): to the combo window or into the drop-down it stays the box's; away from the
// box an open drop-down closes first, then the loss is reported in full.
TEST_F(ComboBox, FocusLeavingTheBox) {
  Prepare({u"abc"});
  using Target = SearchComboBox::FocusTarget;
  enum class Open { kNo, kByButton, kByFilter };
  const Notes lost = {"send 10", "send 4", "band blur"};
  const Notes closedThenLost = {"send 10", "send 8", "send 10", "send 4", "band blur"};
  const struct {
    const char* name;
    Open open;
    Target target;
    Notes notes;
    bool stillOpen;
  } cases[] = {
      {"closed, away", Open::kNo, Target::kElsewhere, lost, false},
      {"closed, to the combo window", Open::kNo, Target::kComboWindow, {}, false},
      {"open, into the drop-down", Open::kByButton, Target::kDropDown, {}, true},
      {"open, to the combo window", Open::kByButton, Target::kComboWindow, {}, true},
      {"open, away", Open::kByButton, Target::kElsewhere, closedThenLost, false},
      {"filtered, away", Open::kByFilter, Target::kElsewhere, closedThenLost, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    box_.OnEditSetFocus();
    box_.SetText(u"");
    if (c.open == Open::kByButton) box_.ToggleDropDown();
    if (c.open == Open::kByFilter) Type(u"a");
    ASSERT_EQ(box_.dropDownOpen(), c.open != Open::kNo);
    Clear();
    box_.OnEditKillFocus(c.target);
    EXPECT_EQ(host_.notifications, c.notes);
    EXPECT_EQ(box_.dropDownOpen(), c.stillOpen);
    EXPECT_EQ(box_.focused(), c.target != Target::kElsewhere);
    const bool reset = std::count(host_.log.begin(), host_.log.end(), "select 0,0") == 1;
    EXPECT_EQ(reset, c.target == Target::kElsewhere) << "the selection collapses to the start";
    if (box_.dropDownOpen()) box_.CloseDropDown();
  }
}

// A drop-down whose window cannot be made is not open: nothing is reported for it, keys choose
// nothing in it, and the focus loss that follows is reported.
TEST_F(ComboBox, DropDownThatCannotBeMadeIsNotOpen) {
  Prepare({u"abc", u"abd"});
  host_.dropFails = true;
  Type(u"a");
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(box_.TranslateKey(kVkDown, false), 0);
  EXPECT_EQ(box_.TranslateKey(kVkF4, false), 0);
  EXPECT_EQ(box_.TranslateSysKey(kVkDown), 1);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(box_.GetText(), u"a") << "nothing was chosen";
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 5"})) << "no CBN_DROPDOWN";
  Clear();
  box_.OnEditKillFocus(SearchComboBox::FocusTarget::kElsewhere);
  EXPECT_EQ(host_.notifications, (Notes{"send 10", "send 4", "band blur"}));
  host_.dropFails = false;
  box_.OnEditSetFocus();
  box_.ToggleDropDown();
  EXPECT_TRUE(box_.dropDownOpen()) << "the next one that can be made opens";
}

TEST_F(ComboBox, DeactivationClosesTheDropDown) {
  Prepare({u"abc"});
  box_.ToggleDropDown();
  box_.OnAppDeactivated();
  EXPECT_FALSE(box_.dropDownOpen());
}

TEST_F(ComboBox, DroppedTextIsSetButNotSubmitted) {
  Prepare({});
  box_.OnDropText(std::u16string(80, u'd'), true);
  EXPECT_EQ(box_.GetText(), std::u16string(50, u'd'));
  EXPECT_EQ(host_.log.back(), "focus edit");
  // The parent hears of the new text as of any edit, and nothing is submitted.
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 5"}));
  box_.OnDropText(u"other", false);
  EXPECT_EQ(box_.GetText(), std::u16string(50, u'd'));
  EXPECT_EQ(SearchComboBox::DragEffect(true), DropEffect::kCopy);
  EXPECT_EQ(SearchComboBox::DragEffect(false), DropEffect::kMove);
  // Lines of dropped text become one line.
  box_.OnDropText(u"first line\r\nsecond\nthird", true);
  EXPECT_EQ(box_.GetText(), u"first line  second third");
}

TEST_F(ComboBox, AddingHistoryClosesTheDropDown) {
  Prepare({u"abc"});
  box_.ToggleDropDown();
  box_.AddHistory(u"new", true);
  EXPECT_FALSE(box_.dropDownOpen());
  EXPECT_EQ(box_.GetLBText(0), u"new");
  // Added to what the file holds ("abc" was never written to it): its first key.
  EXPECT_EQ(ReadHistoryEntry(u"Toolbar", u"TB_0"), u"new");
}

TEST_F(ComboBox, DeleteHistoryEmptiesTheOpenDropDownAndTheFile) {
  Prepare({});
  box_.AddHistory(u"abc", true);
  box_.OnEditUpdate(u"typed", 5, 5);
  box_.CloseDropDown();
  box_.ToggleDropDown();
  box_.DeleteHistory();
  EXPECT_TRUE(box_.dropDownOpen());
  EXPECT_TRUE(box_.dropDownItems().empty());
  EXPECT_TRUE(host_.dropItems.empty());
  EXPECT_EQ(box_.GetCount(), 0);
  EXPECT_EQ(box_.GetText(), u"typed");  // the edit field keeps its text
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "appdata" / "Norvex" / "NorvexHistory.ini"));
  box_.OnDestroy();
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "appdata" / "Norvex" / "NorvexHistory.ini"));
}

TEST_F(ComboBox, ComboBoxMessages) {
  EXPECT_EQ(box_.AddString(u"abc"), 0);
  EXPECT_EQ(box_.AddString(u"xyz"), 0);
  EXPECT_EQ(box_.GetCount(), 2);
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "appdata" / "Norvex" / "NorvexHistory.ini"));
  EXPECT_EQ(box_.GetCurSel(), -1);
  EXPECT_EQ(box_.SelectString(u"abc"), 1);
  EXPECT_EQ(box_.GetCurSel(), 1);
  EXPECT_EQ(box_.SelectString(u"ABC"), -1);
  EXPECT_EQ(box_.SetCurSel(5), -1);
  EXPECT_EQ(box_.GetCurSel(), -1);
  EXPECT_EQ(box_.SetCurSel(0), 0);
  EXPECT_EQ(box_.GetLBText(1), u"abc");
  EXPECT_EQ(box_.GetLBTextLen(1), 3);
  EXPECT_EQ(box_.GetLBTextLen(2), -1);
  box_.ResetContent();
  EXPECT_EQ(box_.GetCount(), 0);
  EXPECT_EQ(box_.GetCurSel(), -1);
}

// As in a standard combo box, a selection by message shows the item's text in the box (and the
// parent hears of it as of any edit); none (-1, or an index out of range) empties the box.
TEST_F(ComboBox, SelectingByMessageShowsTheText) {
  Prepare({u"xyz", u"abc"});
  EXPECT_EQ(box_.SetCurSel(1), 1);
  EXPECT_EQ(box_.GetText(), u"abc");
  EXPECT_EQ(host_.notifications, (Notes{"post 6", "send 5"}));
  EXPECT_FALSE(box_.dropDownOpen());  // a selection is not typing: no filter
  EXPECT_EQ(box_.SelectString(u"xyz"), 0);
  EXPECT_EQ(box_.GetText(), u"xyz");
  EXPECT_EQ(box_.SelectString(u"nothing"), -1);
  EXPECT_EQ(box_.GetText(), u"xyz");
  EXPECT_EQ(box_.GetCurSel(), 0);
  EXPECT_EQ(box_.SetCurSel(-1), -1);
  EXPECT_EQ(box_.GetText(), u"");
  box_.SetText(u"typed");
  EXPECT_EQ(box_.SetCurSel(7), -1);
  EXPECT_EQ(box_.GetText(), u"");
}

TEST_F(ComboBox, ResetContentEmptiesTheBoxAndTheOpenDropDown) {
  Prepare({u"abc", u"xyz"});
  box_.SetCurSel(0);
  box_.ToggleDropDown();
  Clear();
  box_.ResetContent();
  EXPECT_EQ(box_.GetCount(), 0);
  EXPECT_EQ(box_.GetText(), u"");
  EXPECT_TRUE(box_.dropDownOpen());
  EXPECT_TRUE(box_.dropDownItems().empty());
  EXPECT_TRUE(host_.dropItems.empty());
  EXPECT_EQ(box_.dropDownSelection(), -1);
  EXPECT_EQ(host_.notifications, (Notes{"post 6"}));  // open drop-down: no edit change
}

// The top index is the first entry the drop-down shows; without a drop-down there is none.
TEST_F(ComboBox, TopIndexIsTheDropDownsFirstVisibleEntry) {
  std::vector<std::u16string> entries;
  for (int i = 0; i < 8; ++i) entries.push_back(u"q" + FormatInt(i));
  Prepare(entries);
  EXPECT_EQ(box_.GetTopIndex(), 0);
  EXPECT_EQ(box_.SetTopIndex(1), -1);
  box_.ToggleDropDown();
  Clear();
  EXPECT_EQ(box_.SetTopIndex(5), 0);
  EXPECT_EQ(box_.GetTopIndex(), 5);
  EXPECT_EQ(box_.dropDownTopIndex(), 5);
  EXPECT_EQ(box_.SetTopIndex(8), -1);
  EXPECT_EQ(box_.GetTopIndex(), 5);
  box_.OnMouseWheel(-120);  // the wheel goes on from there
  EXPECT_EQ(box_.GetTopIndex(), 7);
  EXPECT_EQ(host_.log, (std::vector<std::string>{"scroll 5", "scroll 7"}));
  box_.ToggleDropDown();
  EXPECT_EQ(box_.GetTopIndex(), 0);
}

TEST_F(ComboBox, HistoryIsWrittenBackOnDestroy) {
  box_.AddHistory(u"one", false);
  box_.AddHistory(u"two", false);
  box_.OnDestroy();
  EXPECT_EQ(ReadHistoryEntry(u"Toolbar", u"TB_0"), u"one");
  EXPECT_EQ(ReadHistoryEntry(u"Toolbar", u"TB_1"), u"two");
}

TEST(DropDownLayout, PartsForAClientArea) {
  const struct {
    int w, h, sb, sbh;
    DropDownLayout expected;
  } cases[] = {
      {198, 48, 17, 17,
       {{0, 0, 181, 28}, {181, 0, 198, 31}, {181, 31, 198, 48}, {118, 28, 181, 48}, {0, 28, 178, 48}}},
      {300, 150, 16, 16,
       {{0, 0, 284, 130}, {284, 0, 300, 134}, {284, 134, 300, 150}, {220, 130, 284, 150},
        {0, 130, 280, 150}}},
  };
  for (const auto& c : cases) EXPECT_EQ(LayoutDropDown(c.w, c.h, c.sb, c.sbh), c.expected);
}

// The scroll bar's requests on a list of 10 entries, 4 shown.
TEST(DropDownLayout, ScrollBarRequestsMoveTheTopWithinTheList) {
  const struct {
    ScrollRequest request;
    int top, thumb, expected;
  } cases[] = {
      {ScrollRequest::kLineDown, 0, 0, 1}, {ScrollRequest::kLineDown, 6, 0, 6},
      {ScrollRequest::kLineUp, 3, 0, 2},   {ScrollRequest::kLineUp, 0, 0, 0},
      {ScrollRequest::kPageDown, 1, 0, 5}, {ScrollRequest::kPageDown, 4, 0, 6},
      {ScrollRequest::kPageUp, 5, 0, 1},   {ScrollRequest::kPageUp, 2, 0, 0},
      {ScrollRequest::kTop, 5, 0, 0},      {ScrollRequest::kBottom, 0, 0, 6},
      {ScrollRequest::kThumb, 0, 3, 3},    {ScrollRequest::kThumb, 0, 9, 6},
      {ScrollRequest::kThumb, 4, -2, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScrolledTop(c.request, c.top, 10, 4, c.thumb), c.expected)
        << static_cast<int>(c.request) << " from " << c.top;
  }
  EXPECT_EQ(ScrolledTop(ScrollRequest::kLineDown, 0, 3, 4), 0) << "all shown: nothing to scroll";
  EXPECT_EQ(ScrolledTop(ScrollRequest::kBottom, 0, 0, 4), 0) << "an empty list";
}

}  // namespace
}  // namespace norvex::search
