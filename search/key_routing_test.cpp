#include "search/key_routing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::search {
namespace {

constexpr unsigned kCharMessage = 0x0102;  // WM_CHAR

// The box's window without a window: the model's host, whose edit field is the routing's, and
// which plays the window procedure of the field: a key dispatched or sent to the field arrives
// there, and what the field handles is logged as "field KEY".
class Box final : public SearchComboHost, public KeyRouting::EditField {
 public:
  Box() : model(*this), routing(*this) { routing.SetModel(&model); }

  SearchComboBox model;
  KeyRouting routing;
  std::vector<std::string> log;

  // A key message arrives at the field's window procedure.
  void Arrive(const KeyMessage& key, bool ctrl = false) {
    switch (routing.AtEditField(key, ctrl)) {
      case KeyRouting::Arrival::kToField:
        log.push_back("field " + std::to_string(key.wParam));
        break;
      case KeyRouting::Arrival::kFilteredToField:
        log.push_back("field " + std::to_string(key.wParam));
        log.push_back("selection");
        break;
      case KeyRouting::Arrival::kConsumed:
        log.push_back("consumed " + std::to_string(key.wParam));
        break;
    }
  }

  // KeyRouting::EditField
  void Dispatch(const KeyMessage& key) override {
    log.push_back("dispatch " + std::to_string(key.wParam));
    Arrive(key);
  }
  void SendKeyDown(int virtualKey) override {
    log.push_back("send " + std::to_string(virtualKey));
    Arrive(KeyMessage{kKeyDownMessage, static_cast<uint64_t>(virtualKey), 1, true});
  }
  void ReportSelection() override { log.push_back("selection"); }

  // SearchComboHost
  void SendNotification(int code) override { log.push_back("notify " + std::to_string(code)); }
  void PostNotification(int code) override { log.push_back("notify " + std::to_string(code)); }
  Rect ScreenRect() const override { return {0, 0, 200, 22}; }
  void Repaint() override {}
  void ShowEditText(const std::u16string&) override {}
  void SetEditSelection(size_t, size_t) override {}
  void FocusEditField() override {}
  void PassKeyToEditField(int virtualKey) override { routing.PassToEditField(virtualKey); }
  bool ShowDropDown(const Rect&, const std::vector<ComboItem>&, int) override { return true; }
  void HideDropDown() override {}
  void ReplaceDropDownItems(const std::vector<ComboItem>&) override {}
  void SelectDropDownItem(int) override {}
  void ScrollDropDown(int) override {}
  void ReportFocusToBrowser(bool) override {}
};

KeyMessage Down(int key, bool toEditField = true) {
  return {kKeyDownMessage, static_cast<uint64_t>(key), 1, toEditField};
}

class Routing : public ::testing::Test {
 protected:
  Routing() : seams_({nullptr, nullptr, &system_}) {
    system_.module = temp_.File("install/NorvexToolbar.dll");
    system_.appData = temp_.File("appdata");
    box_.model.LoadHistory(u"Toolbar", u"TB_");
    box_.model.AddHistory(u"abd", false);
    box_.model.AddHistory(u"abc", false);  // the newest first: abc, abd
    box_.model.OnEditCreated();
    box_.model.OnEditSetFocus();
  }
  test::TempFolder temp_;
  test::FakeSystemInfo system_;
  platform::ScopedSeams seams_;
  Box box_;
};

using Log = std::vector<std::string>;

// Keys through the band's filter: what it consumes, and how a key it hands to the field gets
// there (the band's own message when it is the field's, else a key-down of its own), never
// filtered a second time.
TEST_F(Routing, TheBandsFilter) {
  const struct {
    const char* name;
    KeyMessage key;
    bool consumed;
    Log log;
  } cases[] = {
      {"Backspace: dispatched as it came",
       Down(0x08),
       true,
       {"selection", "dispatch 8", "field 8", "selection"}},
      {"Delete for another window: sent to the field",
       Down(0x2E, false),
       true,
       {"selection", "send 46", "field 46", "selection"}},
      {"Enter: the browser's, after the submit", Down(0x0D), false, {"selection", "notify 5025"}},
      {"a letter: the browser's", Down('Q'), false, {"selection"}},
      {"Alt+Down: opens, and is the browser's",
       {kSysKeyDownMessage, 0x28, 1, true},
       false,
       {"selection", "notify 7"}},
      {"a character: not a key-down", {kCharMessage, 'q', 1, true}, false, {}},
  };
  for (const auto& c : cases) {
    box_.log.clear();
    EXPECT_EQ(box_.routing.FromBand(c.key, false), c.consumed) << c.name;
    EXPECT_EQ(box_.log, c.log) << c.name;
    box_.model.CloseDropDown();
  }
}

// Keys that arrive at the edit field without the band's filter go through the box's own filter;
// a key the band's filter left to the browser arrives unfiltered, once.
TEST_F(Routing, TheFieldsOwnFilter) {
  enum class Open { kNo, kYes, kWithSelection };
  const struct {
    const char* name;
    Open open;
    KeyMessage key;
    Log log;
    bool openAfter;
  } cases[] = {
      {"Enter, closed: submits, and the field has it",
       Open::kNo,
       Down(0x0D),
       {"selection", "notify 5025", "field 13", "selection"},
       false},
      {"Enter, open: chooses the selected entry instead",
       Open::kWithSelection,
       Down(0x0D),
       {"selection", "notify 6", "notify 9", "notify 1", "consumed 13"},
       true},
      {"Backspace: handed to the field when the filter returns",
       Open::kNo,
       Down(0x08),
       {"selection", "field 8", "selection"},
       false},
      {"Alt+Down: opens, and the field has it",
       Open::kNo,
       {kSysKeyDownMessage, 0x28, 1, true},
       {"selection", "notify 7", "field 40", "selection"},
       true},
      {"Down, open: chooses the next entry",
       Open::kYes,
       Down(0x28),
       {"selection", "notify 6", "notify 9", "notify 1", "consumed 40"},
       true},
  };
  for (const auto& c : cases) {
    if (c.open != Open::kNo) box_.model.ToggleDropDown();
    if (c.open == Open::kWithSelection) box_.model.HoverDropDownItem(0);
    box_.log.clear();
    box_.Arrive(c.key);
    EXPECT_EQ(box_.log, c.log) << c.name;
    EXPECT_EQ(box_.model.dropDownOpen(), c.openAfter) << c.name;
    box_.model.CloseDropDown();
  }
}

TEST_F(Routing, AKeyTheBandLeftToTheBrowserIsFilteredOnce) {
  EXPECT_FALSE(box_.routing.FromBand(Down(0x0D), false));
  box_.log.clear();
  box_.Arrive(Down(0x0D));  // the browser dispatches it to the field
  EXPECT_EQ(box_.log, (Log{"field 13"})) << "one submit, not two";
  box_.log.clear();
  box_.Arrive(Down(0x0D));  // the next Enter is a key of its own
  EXPECT_EQ(box_.log, (Log{"selection", "notify 5025", "field 13", "selection"}));

  // The browser kept the band's key: the next one to arrive is filtered.
  EXPECT_FALSE(box_.routing.FromBand(Down('Q'), false));
  box_.log.clear();
  box_.Arrive(Down('R'));
  EXPECT_EQ(box_.log, (Log{"selection", "field 82", "selection"}));
}

TEST_F(Routing, WithoutAModelKeysAreTheFieldsAndTheBrowsers) {
  box_.routing.SetModel(nullptr);
  box_.log.clear();
  EXPECT_FALSE(box_.routing.FromBand(Down(0x08), false));
  box_.Arrive(Down(0x0D));
  EXPECT_EQ(box_.log, (Log{"field 13"}));
}

}  // namespace
}  // namespace norvex::search
