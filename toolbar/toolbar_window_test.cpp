#include "toolbar/toolbar_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text.h"
#include "storage/data_folders.h"
#include "tests/test_installation.h"
#include "toolbar/headless_surface.h"

namespace norvex::toolbar {
namespace {

using test::WriteBytes;

class RecordingActions final : public ToolbarActions {
 public:
  std::vector<std::string> log;
  bool optionsResult = false;

  void OpenTemplateUrl(const std::u16string& t, const std::u16string& e) override {
    log.push_back("open " + Utf16ToUtf8(t) + " [" + Utf16ToUtf8(e) + "]");
  }
  void Highlight() override { log.push_back("highlight"); }
  void FindInPage() override { log.push_back("searchinpage"); }
  bool ShowOptions() override {
    log.push_back("options");
    return optionsResult;
  }
  void ShowAbout() override { log.push_back("about"); }
  void StartUninstall() override { log.push_back("uninstall"); }
  void OpenWindow(const std::u16string& url, int w, int h) override {
    log.push_back("window " + Utf16ToUtf8(url) + " " + std::to_string(w) + "x" +
                  std::to_string(h));
  }
  void BroadcastRefresh() override { log.push_back("refresh"); }
  void DailyUsageCheck() override { log.push_back("daily"); }
};

std::string Entry(const std::string& type, const std::string& xml) {
  return "<agent><type>" + type + "</type><id>" + xml + "</id><xml>" + xml + ".xml</xml></agent>";
}

std::string Plain(const std::string& caption, int size, const std::string& onclick) {
  return "<ui><caption>" + caption + "</caption><size>" + std::to_string(size) +
         "</size></ui><onclick>" + onclick + "</onclick>";
}

class Toolbar : public ::testing::Test, protected test::TestInstallation {
 protected:
  Toolbar() {
    surface_.notify = [this](int code) {
      window_.RouteCommand(catalogue::kSearchBoxId, code);
    };
    Catalogue(Entry("settings", "set") + Entry("search", "search") + Entry("custom", "hl") +
              Entry("custom", "find") + Entry("custom", "tr") + Entry("custom", "dict") +
              Entry("resize", "grip") + Entry("custom", "a") + Entry("custom", "b") +
              Entry("custom", "caps") + Entry("custom", "help"));
    Agent("set", "<ui><size>56</size></ui><type>menu</type><menu>"
                 "<item><name>Options</name><action>options</action></item></menu>");
    Agent("search",
          "<ui><caption>Search</caption><size>60</size></ui>"
          "<onclick>http://s.example/?q={query}</onclick><encoding>UTF-8</encoding>"
          "<onclickwithoutkey>http://s.example/</onclickwithoutkey><type>splitmenu</type><menu>"
          "<item><name>Web</name><action>http://s.example/?q={query}</action><type>search</type></item>"
          "<item><name>Images</name><action>http://i.example/?q={query}</action>"
          "<encoding>ShiftJIS</encoding><type>search</type></item>"
          "<item><name>Direct</name><action>http://d.example/</action></item></menu>");
    Agent("hl", Plain("HL", 50, "highlight"));
    Agent("find", Plain("Find", 50, "searchinpage"));
    Agent("tr", "<name>Translation</name>" + Plain("Tr", 50, "http://t.example/?q={query}") +
                    "<onclickwithoutkey>http://t.example/</onclickwithoutkey><type>menu</type>"
                    "<menu><item><name>EJ</name><action>http://t.example/ej?q={query}</action>"
                    "</item></menu>");
    Agent("dict", "<name>Dictionary</name>" + Plain("Dict", 50, "http://d.example/?q={query}") +
                      "<encoding>EUC</encoding>"
                      "<onclickwithoutkey>http://d.example/</onclickwithoutkey><type>splitmenu</type>"
                      "<menu><item><name>JJ</name><action>http://d.example/jj?q={query}</action>"
                      "<encoding>ShiftJIS</encoding></item></menu>");
    Agent("a", Plain("A", 50, "http://a.example/"));
    Agent("b", Plain("B", 50, "http://b.example/{url}"));
    Agent("caps", Plain("Caps", 50, "HTTP://caps.example/"));
    Agent("help", Plain("Help", 50, "help http://help.example/x"));
  }
  void Catalogue(const std::string& agents) { WriteCatalogue(agents); }
  void Agent(const std::string& name, const std::string& body) { WriteAgent(name + ".xml", body); }

  // Creates the toolbar at a width, as the band does: create, then the first size.
  void Create(int width) {
    surface_.width = surface_.parentWidth = width;
    window_.OnCreate();
    window_.OnSize(width);
  }
  void Resize(int width) {
    surface_.width = surface_.parentWidth = width;
    window_.OnSize(width);
  }
  void Type(const std::u16string& text) {
    surface_.TypeText(text);
    surface_.DeliverPosted();
  }
  std::u16string BoxText() { return window_.searchBox()->GetText(); }
  std::vector<int> OverflowIds() const {
    std::vector<int> ids;
    for (const auto& e : window_.overflow()) ids.push_back(e.id);
    return ids;
  }
  bool Visible(int id) const { return window_.Button(id) && window_.Button(id)->visible; }

  HeadlessSurface surface_;
  RecordingActions actions_;
  ToolbarWindow window_{surface_, actions_};
};

// Identifiers of the fixture: settings 2024, search 2025, hl 2026, find 2027, tr 2028,
// dict 2029, a 2031, b 2032, caps 2033, help 2034.

TEST_F(Toolbar, SearchBoxWidthAtCreationFollowsTheClientWidth) {
  for (const auto& [width, box] : {std::pair{499, 70}, std::pair{500, 200}}) {
    HeadlessSurface surface;
    surface.width = surface.parentWidth = width;
    ToolbarWindow window(surface, actions_);
    // (No notifications are wired: nothing here sends any.)
    window.OnCreate();
    ASSERT_TRUE(window.searchBoxRect());
    EXPECT_EQ(window.searchBoxRect()->width(), box) << width;
    EXPECT_EQ(window.searchBoxRect()->left, 2);
    EXPECT_EQ(window.searchBoxRect()->height(), 22);
  }
}

TEST_F(Toolbar, SettingsButtonRightEdgeIsAtLeast323) {
  Create(300);
  const AgentButton* settings = window_.Button(2024);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->rect.right, 323);
  EXPECT_EQ(settings->rect.width(), 56);
  EXPECT_EQ(window_.settingsLeft(), 267);
}

// The daily check runs five seconds after the toolbar is made, once.
TEST_F(Toolbar, CreationStartsTheUsageTimerOnce) {
  Create(800);
  EXPECT_TRUE(surface_.timers.Running(kUsageTimerId));
  auto advance = [this](int milliseconds) {
    surface_.timers.Advance(milliseconds, [this](int id) { window_.OnTimer(id); });
  };
  advance(4999);
  EXPECT_TRUE(actions_.log.empty());
  advance(1);
  EXPECT_EQ(actions_.log, std::vector<std::string>{"daily"});
  EXPECT_FALSE(surface_.timers.Running(kUsageTimerId));
  advance(60000);
  EXPECT_EQ(actions_.log, std::vector<std::string>{"daily"});
}

TEST_F(Toolbar, NarrowingSendsAgentsToTheChevronAndWideningBringsThemBack) {
  Create(1000);
  EXPECT_FALSE(window_.chevron());
  for (int id : {2025, 2026, 2027, 2028, 2029, 2031, 2032, 2033, 2034}) {
    EXPECT_TRUE(Visible(id)) << id;
  }

  Resize(600);  // limit 600 - 56 - 50 = 494
  ASSERT_TRUE(window_.chevron());
  // Made by the relayout: right of it lies the settings button; the next size change moves it.
  EXPECT_EQ(window_.chevron()->rect, (Rect{600 - 56 - 20, 0, 600 - 56, 24}));
  Resize(600);
  EXPECT_EQ(window_.chevron()->rect, (Rect{600 - 56 - 23, 0, 600 - 56 - 3, 24}));
  const std::vector<int> hidden = OverflowIds();
  ASSERT_FALSE(hidden.empty());
  for (int id : hidden) EXPECT_FALSE(Visible(id)) << id;
  // Everything still shown ends left of the limit.
  for (const auto& [id, button] : window_.buttons()) {
    if (button.visible && id != 2024) {
      EXPECT_LE(button.rect.right, 494) << id;
    }
  }

  Resize(1000);
  EXPECT_TRUE(OverflowIds().empty());
  EXPECT_FALSE(window_.chevron());
  for (int id : hidden) EXPECT_TRUE(Visible(id)) << id;
}

// Without a settings agent the right end of the toolbar is the client width (at least 323): the
// agents right of the grip that fit come back from the chevron, and the search box narrows.
TEST_F(Toolbar, WithoutSettingsTheRightEdgeIsTheClientWidth) {
  Catalogue(Entry("search", "search") + Entry("custom", "hl") + Entry("resize", "grip") +
            Entry("custom", "a") + Entry("custom", "b"));
  Agent("a", Plain("A", 200, "http://a.example/"));
  Agent("b", Plain("B", 200, "http://b.example/"));
  // Identifiers: search 2024, hl 2025, a 2027, b 2028.
  Create(1000);
  EXPECT_EQ(window_.settingsLeft(), 1000);
  EXPECT_FALSE(window_.chevron());
  for (int id : {2024, 2025, 2027, 2028}) EXPECT_TRUE(Visible(id)) << id;
  EXPECT_EQ(window_.searchBoxWidth(), 70);  // the first size change, as with a settings button

  Resize(1200);
  EXPECT_EQ(window_.searchBoxWidth(), 200);
  Resize(600);  // limit 550: b leaves
  EXPECT_EQ(window_.searchBoxWidth(), 70);
  EXPECT_EQ(OverflowIds(), (std::vector<int>{2028}));
  Resize(600);
  ASSERT_TRUE(window_.chevron());
  EXPECT_EQ(window_.chevron()->rect, (Rect{600 - 23, 0, 600 - 3, 24}));

  Resize(1000);
  EXPECT_FALSE(window_.chevron());
  for (int id : {2027, 2028}) EXPECT_TRUE(Visible(id)) << id;
}

TEST_F(Toolbar, ChevronIsTwentyPixelsLeftOfSettingsWhenCreated) {
  Create(420);  // narrow enough that the agents after the grip overflow while loading
  // After the first size change the chevron sits 3 pixels further left.
  ASSERT_TRUE(window_.chevron());
  EXPECT_EQ(window_.chevron()->rect.width(), 20);
  EXPECT_EQ(window_.chevron()->rect.right, window_.settingsLeft() - 3);

  HeadlessSurface surface;
  surface.width = surface.parentWidth = 420;
  ToolbarWindow fresh(surface, actions_);
  fresh.OnCreate();
  ASSERT_TRUE(fresh.chevron());
  EXPECT_EQ(fresh.chevron()->rect, (Rect{fresh.settingsLeft() - 20, 0, fresh.settingsLeft(), 24}));
}

TEST_F(Toolbar, GripDragIsBoundedOnBothSides) {
  Create(1000);
  const int limit = window_.settingsLeft() - 50;
  window_.OnGripDragged(5000, 0);  // far right
  EXPECT_LE(window_.searchBoxRect()->right, limit);
  window_.OnGripDragged(0, 0);  // far left
  EXPECT_EQ(window_.searchBoxWidth(), 70);
  // y in the high word does not disturb x.
  window_.OnGripDragged(400, 5);
  EXPECT_GT(window_.searchBoxWidth(), 70);
}

TEST_F(Toolbar, RebuildKeepsTheTypedQuery) {
  Create(800);
  Type(u"abc");
  window_.OnInRefresh();
  EXPECT_EQ(BoxText(), u"abc");
  EXPECT_TRUE(window_.Button(2025));
  // A second refresh without typing keeps it too.
  window_.OnInRefresh();
  EXPECT_EQ(BoxText(), u"abc");
}

TEST_F(Toolbar, EngineSwitchingAndReset) {
  Create(1000);
  Type(u"tokyo");
  window_.RouteCommand(catalogue::kSearchBoxId, search::kNotifySubmit);
  window_.RouteCommand(8201, 0);  // Images: becomes the engine, then searches
  EXPECT_EQ(window_.Button(2025)->text, u"Images");
  window_.RouteCommand(catalogue::kSearchBoxId, search::kNotifySubmit);
  window_.RouteCommand(8202, 0);  // Direct: opened, engine unchanged
  Type(u"   ");
  window_.RouteCommand(2025, 0);  // only spaces: like an empty box
  EXPECT_EQ(window_.Button(2025)->text, u"Search");
  Type(u"x");
  window_.RouteCommand(catalogue::kSearchBoxId, search::kNotifySubmit);
  EXPECT_EQ(actions_.log, (std::vector<std::string>{
                              "open http://s.example/?q={query} [UTF-8]",
                              "open http://i.example/?q={query} [ShiftJIS]",
                              "open http://i.example/?q={query} [ShiftJIS]",
                              "open http://d.example/ []",
                              "open http://s.example/ []",
                              "open http://s.example/?q={query} [UTF-8]",
                          }));
}

// An ideographic space is white space as the Windows runtime counts it: a box holding only that
// is an empty box for the search, for the language buttons and for the page tools.
TEST_F(Toolbar, IdeographicSpaceCountsAsAnEmptyBox) {
  Create(1000);
  Type(u"\u3000");
  EXPECT_FALSE(window_.Button(2026)->enabled);
  EXPECT_FALSE(window_.Button(2027)->enabled);
  window_.RouteCommand(catalogue::kSearchBoxId, search::kNotifySubmit);
  window_.RouteCommand(2029, 0);  // Dictionary button
  window_.RouteCommand(2028, 0);  // Translation button
  window_.RouteCommand(8400, 0);  // a Dictionary item
  Type(u"\u3000\u732B");
  EXPECT_TRUE(window_.Button(2026)->enabled);
  window_.RouteCommand(2029, 0);
  EXPECT_EQ(actions_.log, (std::vector<std::string>{
                              "open http://s.example/ []",
                              "open http://d.example/ []",
                              "open http://t.example/ []",
                              "open http://d.example/ []",
                              "open http://d.example/jj?q={query} [ShiftJIS]",
                          }));
}

TEST_F(Toolbar, LanguageItemsAreAdoptedByTheirButtons) {
  Create(1000);
  window_.RouteCommand(8400, 0);  // the Dictionary menu is the fourth menu built
  EXPECT_EQ(window_.Button(2029)->text, u"JJ");
  Type(u"neko");
  window_.RouteCommand(2029, 0);  // the button now repeats the item
  Type(u"");
  window_.RouteCommand(2029, 0);
  window_.RouteCommand(8300, 0);  // Translation item with an empty box
  EXPECT_EQ(actions_.log, (std::vector<std::string>{
                              "open http://d.example/ []",
                              "open http://d.example/jj?q={query} [ShiftJIS]",
                              "open http://d.example/ []",
                              "open http://t.example/ []",
                          }));
  EXPECT_EQ(window_.agents().Record(2029)->kind, catalogue::AgentKind::kDictionaryButton);
}

TEST_F(Toolbar, WithoutSearchBoxLanguageItemsOnlyChangeTheCaption) {
  surface_.searchBoxFails = true;
  Create(1000);
  window_.RouteCommand(8200, 0);  // no search agent: Translation's is the second menu
  EXPECT_EQ(window_.Button(2028)->text, u"EJ");
  EXPECT_TRUE(actions_.log.empty());
  EXPECT_EQ(window_.agents().Record(2028)->onclick, u"http://t.example/?q={query}");
}

TEST_F(Toolbar, TypingEnablesThePageTools) {
  Create(1000);
  EXPECT_TRUE(window_.Button(2026)->enabled);  // buttons start enabled
  Type(u"x");
  Type(u"");  // deleting the last character disables them
  EXPECT_FALSE(window_.Button(2026)->enabled);
  EXPECT_FALSE(window_.Button(2027)->enabled);
  Type(u"a");
  EXPECT_TRUE(window_.Button(2026)->enabled);
  EXPECT_TRUE(window_.Button(2027)->enabled);

  Resize(300);  // find-in-page now sits in the chevron: its entry follows its state
  const auto findEntry = [&]() -> const catalogue::OverflowEntry* {
    for (const auto& entry : window_.overflow()) {
      if (entry.id == 2027) return &entry;
    }
    return nullptr;
  };
  ASSERT_NE(findEntry(), nullptr);
  EXPECT_FALSE(findEntry()->grayed);
  Type(u"");
  ASSERT_NE(findEntry(), nullptr);
  EXPECT_TRUE(findEntry()->grayed);
  Type(u"b");
  EXPECT_FALSE(findEntry()->grayed);
}

// A history entry chosen into an empty box is text like any other: the page tools follow.
TEST_F(Toolbar, AChosenEntryEnablesThePageTools) {
  Create(1000);
  window_.searchBox()->AddHistory(u"neko", false);
  Type(u"x");
  Type(u"");
  ASSERT_FALSE(window_.Button(2026)->enabled);
  surface_.PressKey(search::kVkF4);
  surface_.PressKey(search::kVkDown);
  surface_.DeliverPosted();
  EXPECT_EQ(BoxText(), u"neko");
  EXPECT_EQ(surface_.editText(), u"neko");
  EXPECT_TRUE(window_.Button(2026)->enabled);
  EXPECT_TRUE(window_.Button(2027)->enabled);
}

TEST_F(Toolbar, KeywordsAndAddresses) {
  Create(1000);
  window_.RouteCommand(2026, 0);
  window_.RouteCommand(2027, 0);
  window_.RouteCommand(2031, 0);
  window_.RouteCommand(2033, 0);  // "HTTP://" is a keyword, and unknown: nothing
  window_.RouteCommand(2034, 0);
  window_.RouteCommand(8100, 0);  // options, cancelled: no refresh
  actions_.optionsResult = true;
  window_.RouteCommand(8100, 0);
  EXPECT_FALSE(window_.RouteCommand(4242, 0));  // not ours
  EXPECT_EQ(actions_.log, (std::vector<std::string>{
                              "highlight", "searchinpage", "open http://a.example/ []",
                              "window http://help.example/x 450x500", "options", "options",
                              "refresh"}));
}

TEST_F(Toolbar, ButtonPressesOpenMenusOrSendCommands) {
  Create(1000);
  EXPECT_TRUE(window_.PressButton(2024, 5));    // menu style: anywhere
  EXPECT_FALSE(window_.PressButton(2024, 5));   // a second press closes
  const int searchWidth = window_.Button(2025)->rect.width();
  EXPECT_TRUE(window_.PressButton(2025, searchWidth - 3));  // split arrow
  window_.CloseButtonMenu(2025, 8201);
  EXPECT_FALSE(window_.PressButton(2031, 5));   // plain: the command
  EXPECT_EQ(actions_.log.back(), "open http://a.example/ []");
}

TEST_F(Toolbar, CaptionWidthsFollowTheText) {
  Create(1000);
  window_.SetButtonCaption(2031, u"abc");  // plain, no bitmap
  EXPECT_EQ(window_.Button(2031)->rect.width(), 3 * HeadlessSurface::kNarrowChar + 8);
  window_.SetButtonCaption(2029, u"\u8F9E\u66F8");  // split menu
  EXPECT_EQ(window_.Button(2029)->rect.width(), 2 * HeadlessSurface::kWideChar + 8 + 15);
}

TEST_F(Toolbar, SavedQueryDoesNotOutliveARebuildWithoutSearchBox) {
  Create(1000);
  Type(u"abc");
  surface_.searchBoxFails = true;
  window_.OnInRefresh();  // no search box this time: the query is dropped
  surface_.searchBoxFails = false;
  window_.OnInRefresh();
  EXPECT_EQ(BoxText(), u"");
}

TEST_F(Toolbar, TeardownLeavesNoControls) {
  Create(420);
  window_.OnDestroy();
  EXPECT_TRUE(surface_.liveButtons.empty());
  EXPECT_EQ(window_.searchBox(), nullptr);
  EXPECT_TRUE(window_.buttons().empty());
  EXPECT_TRUE(window_.overflow().empty());
  EXPECT_FALSE(window_.chevron());
}

// A face's pressed look from the button's style, its menu and the mouse.
TEST(FacePress, FollowsTheStyleTheMenuAndTheMouse) {
  using catalogue::MenuStyle;
  const struct {
    const char* name;
    MenuStyle style;
    int id;
    bool menuShowing, held;
    FacePress face;
  } cases[] = {
      {"plain, idle", MenuStyle::kPlain, 2026, false, false, {false, false, true}},
      {"plain, held", MenuStyle::kPlain, 2026, false, true, {true, false, true}},
      {"menu, held without its menu", MenuStyle::kMenu, 2028, false, true, {false, false, true}},
      {"menu, its menu shows", MenuStyle::kMenu, 2028, true, false, {true, false, true}},
      {"split, face held", MenuStyle::kSplitMenu, 2025, false, true, {true, false, true}},
      {"split, its menu shows", MenuStyle::kSplitMenu, 2025, true, true, {false, true, true}},
      {"chevron, its menu shows",
       MenuStyle::kMenu,
       catalogue::kChevronId,
       true,
       false,
       {true, false, false}},
  };
  for (const auto& c : cases) {
    AgentButton button;
    button.id = c.id;
    button.style = c.style;
    EXPECT_EQ(FacePressOf(button, c.menuShowing, c.held), c.face) << c.name;
  }
}

}  // namespace
}  // namespace norvex::toolbar
