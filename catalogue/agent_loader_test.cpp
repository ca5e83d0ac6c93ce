#include "catalogue/agent_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/text.h"
#include "storage/data_folders.h"
#include "tests/test_installation.h"

namespace norvex::catalogue {
namespace {

using test::WriteBytes;

// A toolbar that records what the loader asks of it. Buttons fit until `fitCount` ordinary
// buttons are placed.
class RecordingToolbar final : public AgentToolbar {
 public:
  AgentSet agents;
  std::vector<AgentButtonSpec> buttons;
  std::set<int> hidden;
  std::vector<OverflowEntry> overflow;
  std::vector<std::string> calls;
  int fitCount = 1000;
  bool searchBoxWorks = true;
  bool searchBox = false, grip = false, chevron = false, chevronMenuBuilt = false;
  int placed = 0;

  AgentSet& Agents() override { return agents; }
  void ResetLayoutCursor() override { calls.push_back("reset"); }
  Placement PlaceAgentButton(int width, BuildRole role) override {
    if (role == BuildRole::kSettings) return {{600 - width, 0, 600, 24}, true};
    const int left = 2 + placed * 100;
    return {{left, 0, left + width, 24}, ++placed <= fitCount};
  }
  bool CreateSearchBox() override {
    calls.push_back("searchbox");
    return searchBox = searchBoxWorks;
  }
  bool HasSearchBox() const override { return searchBox; }
  void CreateResizeGrip() override {
    calls.push_back("grip");
    grip = true;
  }
  bool HasResizeGrip() const override { return grip; }
  void CreateAgentButton(const AgentButtonSpec& spec) override { buttons.push_back(spec); }
  void HideAgentButton(int id) override { hidden.insert(id); }
  OverflowEntry MakeOverflowEntry(int id) override {
    OverflowEntry entry;
    entry.id = id;
    for (const auto& b : buttons) {
      if (b.id == id) entry.caption = b.caption;
    }
    return entry;
  }
  void AddOverflow(OverflowEntry entry) override {
    chevron = true;
    overflow.push_back(std::move(entry));
  }
  bool HasChevron() const override { return chevron; }
  void BuildChevronMenu() override { chevronMenuBuilt = true; }

  const AgentButtonSpec* Button(int id) const {
    for (const auto& b : buttons) {
      if (b.id == id) return &b;
    }
    return nullptr;
  }
};

class AgentLoader : public ::testing::Test, protected test::TestInstallation {
 protected:
  void Catalogue(const std::string& agents) { WriteCatalogue(agents); }
  void Agent(const std::string& file, const std::string& body) { WriteAgent(file, body); }
  void UserSettings(const std::string& lines) {
    std::filesystem::create_directories(temp_.path() / "appdata" / "Norvex");
    WriteBytes(UserFile("UserConfig.ini"), "[user_settings]\r\n" + lines);
  }
  RecordingToolbar Load() {
    RecordingToolbar toolbar;
    LoadAgents(toolbar);
    return toolbar;
  }
};

std::string Entry(const std::string& type, const std::string& id, const std::string& xml) {
  std::string e = "<agent>";
  if (!type.empty()) e += "<type>" + type + "</type>";
  e += "<id>" + id + "</id><xml>" + xml + "</xml></agent>";
  return e;
}

TEST_F(AgentLoader, MissingCatalogueGivesEmptyToolbar) {
  const RecordingToolbar toolbar = Load();
  EXPECT_TRUE(toolbar.buttons.empty());
  EXPECT_TRUE(toolbar.agents.commands.empty());
  EXPECT_EQ(toolbar.calls, std::vector<std::string>{"reset"});
}

TEST_F(AgentLoader, IdentifiersFollowCataloguePositionsWithGaps) {
  Catalogue(Entry("custom", "a", "a.xml") + Entry("", "b", "b.xml") +
            Entry("custom", "c", "missing.xml") + Entry("banner", "d", "d.xml") +
            Entry("custom", "e", "e.xml") + Entry("custom", "f", "f.xml"));
  for (const char* f : {"a.xml", "b.xml", "d.xml", "e.xml", "f.xml"}) {
    Agent(f, std::string("<ui><caption>") + f + "</caption></ui>");
  }
  UserSettings("e=0\r\nd=0\r\nf=true\r\n");
  const RecordingToolbar toolbar = Load();
  std::vector<int> ids;
  for (const auto& b : toolbar.buttons) ids.push_back(b.id);
  // b has no type, c's file is missing, e and f are switched off; the banner ignores settings.
  EXPECT_EQ(ids, (std::vector<int>{2024, 2027}));
  EXPECT_TRUE(toolbar.overflow.empty());
  EXPECT_EQ(toolbar.agents.commands.size(), 2u);
}

TEST_F(AgentLoader, ReadsButtonFieldsWithDefaults) {
  Catalogue(Entry("custom", "a", "a.xml") + Entry("custom", "b", "b.xml") +
            Entry("custom", "c", "c.xml"));
  Agent("a.xml",
        "<name>N</name><ui><caption>\xE5\xA4\xA9\xE6\xB0\x97</caption><tooltip>T</tooltip>"
        "<image>249</image><offimage>0</offimage><colormask>16711935</colormask>"
        "<size> 72px</size></ui><onclick>http://x.example/?q={query}</onclick>"
        "<encoding>EUC</encoding><type>other</type>");
  Agent("b.xml", "<ui><image>242</image><offimage>244</offimage><colormask>1.9</colormask>"
                 "</ui><type>menu</type>");
  Agent("c.xml", "<ui><image>242</image><offimage>-3</offimage><colormask></colormask></ui>"
                 "<type>splitmenu</type>");
  const RecordingToolbar toolbar = Load();
  ASSERT_EQ(toolbar.buttons.size(), 3u);
  const AgentButtonSpec& a = toolbar.buttons[0];
  EXPECT_EQ(a.caption, u"\u5929\u6C17");
  EXPECT_EQ(a.tooltip, u"T");
  EXPECT_EQ(a.name, u"N");
  EXPECT_EQ(a.image, 249);
  EXPECT_EQ(a.offImage, 249);
  EXPECT_EQ(a.pressedImage, 249);
  EXPECT_EQ(a.transparent, 0xFF00FFu);  // magenta
  EXPECT_EQ(a.rect.width(), 72);
  EXPECT_EQ(a.style, MenuStyle::kPlain);
  EXPECT_EQ(*toolbar.agents.Record(2024),
            (AgentRecord{u"http://x.example/?q={query}", u"EUC", u"\u5929\u6C17",
                         AgentKind::kOrdinary}));
  EXPECT_EQ(toolbar.buttons[1].offImage, 244);
  EXPECT_EQ(toolbar.buttons[1].transparent, 1u);
  EXPECT_EQ(toolbar.buttons[1].style, MenuStyle::kMenu);
  EXPECT_EQ(toolbar.buttons[2].offImage, 242);
  EXPECT_EQ(toolbar.buttons[2].transparent, 0u);
  EXPECT_EQ(toolbar.buttons[2].style, MenuStyle::kSplitMenu);
}

TEST_F(AgentLoader, MenusGetBlocksOfIdentifiersAndKinds) {
  Catalogue(Entry("search", "s", "search.xml") + Entry("custom", "t", "tr.xml") +
            Entry("custom", "d", "dict.xml") + Entry("custom", "w", "web.xml"));
  Agent("search.xml",
        "<name>Search</name><onclick>http://s.example/?q={query}</onclick>"
        "<onclickwithoutkey>http://s.example/</onclickwithoutkey><type>splitmenu</type><menu>"
        "<item><name>Web</name><action>http://s.example/w?q={query}</action>"
        "<encoding>UTF-8</encoding><type>search</type><image>236</image>"
        "<colormask>255</colormask></item>"
        "<item><action>nameless</action><type>search</type></item>"
        "<item><name>Share</name><action>http://s.example/share?u={url}</action></item>"
        "</menu>");
  Agent("tr.xml",
        "<name>Translation</name><onclickwithoutkey>http://t.example/</onclickwithoutkey>"
        "<type>menu</type><menu><item><name>EJ</name></item>"
        "<item><name>Engine</name><type>search</type></item></menu>");
  Agent("dict.xml", "<name>Dictionary</name><type>splitmenu</type>"
                    "<menu><item><name>D0</name></item></menu>");
  Agent("web.xml",
        "<name>Web Page Translation</name><type>splitmenu</type><menu>"
        "<item><name>W0</name></item><item><name>W1</name></item></menu>");
  const RecordingToolbar toolbar = Load();
  const AgentSet& agents = toolbar.agents;

  EXPECT_EQ(agents.searchButton, 2024);
  EXPECT_EQ(agents.defaultSearchRecord, 2024);
  EXPECT_EQ(agents.currentSearchRecord, 2024);
  EXPECT_EQ(agents.searchWithoutQueryUrl, u"http://s.example/");
  EXPECT_EQ(agents.translationWithoutQueryUrl, u"http://t.example/");
  EXPECT_EQ(agents.dictionaryWithoutQueryUrl, u"");
  EXPECT_EQ(agents.translationButton, 2025);
  EXPECT_EQ(agents.dictionaryButton, 2026);
  EXPECT_EQ(agents.webTranslationButton, 2027);

  const struct {
    int id;
    AgentKind kind;
  } kinds[] = {
      {2024, AgentKind::kSearchButton},      {8100, AgentKind::kSearchEngine},
      {8102, AgentKind::kOrdinary},          {2025, AgentKind::kTranslationButton},
      {8200, AgentKind::kTranslationItem},   {8201, AgentKind::kSearchEngine},
      {2026, AgentKind::kDictionaryButton},  {8300, AgentKind::kDictionaryItem},
      {2027, AgentKind::kOrdinary},          {8400, AgentKind::kOrdinary},
  };
  for (const auto& k : kinds) {
    ASSERT_NE(agents.Record(k.id), nullptr) << k.id;
    EXPECT_EQ(agents.Record(k.id)->kind, k.kind) << k.id;
  }
  EXPECT_EQ(agents.Record(8101), nullptr);  // the nameless item leaves a gap

  const AgentButtonSpec* search = toolbar.Button(2024);
  ASSERT_NE(search, nullptr);
  ASSERT_EQ(search->menu.size(), 2u);
  EXPECT_EQ(search->menu[0].id, 8100);
  EXPECT_EQ(search->menu[0].bitmap, 236);
  EXPECT_EQ(search->menu[0].transparent, 255u);  // pure red
  EXPECT_EQ(search->menu[1].id, 8102);
  EXPECT_EQ(agents.Record(8102)->onclick, u"http://s.example/share?u={url}");

  ASSERT_EQ(agents.webTranslationItems.size(), 2u);
  EXPECT_EQ(agents.webTranslationItems[1].caption, u"W1");
  EXPECT_EQ(agents.webTranslationItems[1].id, 8401);
}

TEST_F(AgentLoader, SearchAgentNeedsTheSearchBox) {
  Catalogue(Entry("search", "s", "search.xml") + Entry("custom", "a", "a.xml"));
  Agent("search.xml", "<name>Search</name>");
  Agent("a.xml", "<name>A</name>");
  RecordingToolbar toolbar;
  toolbar.searchBoxWorks = false;
  LoadAgents(toolbar);
  ASSERT_EQ(toolbar.buttons.size(), 1u);
  EXPECT_EQ(toolbar.buttons[0].id, 2025);
  EXPECT_EQ(toolbar.agents.searchButton, 0);
}

TEST_F(AgentLoader, OverflowTakesEveryLaterAgentAndSlotsAreGrouped) {
  Catalogue(Entry("settings", "set", "set.xml") + Entry("search", "s", "search.xml") +
            Entry("custom", "a", "a.xml") + Entry("custom", "b", "b.xml") +
            Entry("resize", "", "") + Entry("custom", "c", "c.xml") +
            Entry("custom", "d", "d.xml") + Entry("custom", "h", "h.xml"));
  Agent("set.xml", "<name>Settings</name><ui><size>56</size></ui>");
  Agent("search.xml", "<name>Search</name>");
  Agent("a.xml", "<onclick>highlight</onclick><ui><caption>A</caption></ui>");
  Agent("b.xml", "<onclick>searchinpage</onclick><ui><caption>B</caption></ui>");
  Agent("c.xml", "<ui><caption>C</caption></ui>");
  Agent("d.xml", "<ui><caption>D</caption></ui>");
  Agent("h.xml", "<onclick>highlight</onclick><ui><caption>H</caption></ui>");
  RecordingToolbar toolbar;
  toolbar.fitCount = 4;  // search, a, b, c fit; d does not; h follows it into the chevron
  LoadAgents(toolbar);
  const AgentSet& agents = toolbar.agents;
  EXPECT_EQ(agents.settingsButton, 2024);
  ASSERT_EQ(agents.slots.size(), 7u);
  std::vector<bool> onToolbar;
  for (const auto& s : agents.slots) onToolbar.push_back(s.inToolbar);
  EXPECT_EQ(onToolbar, (std::vector<bool>{true, true, true, true, true, false, false}));
  EXPECT_EQ(toolbar.hidden, (std::set<int>{2030, 2031}));
  ASSERT_EQ(toolbar.overflow.size(), 2u);
  EXPECT_EQ(toolbar.overflow[0].caption, u"D");
  EXPECT_EQ(toolbar.overflow[1].caption, u"H");
  EXPECT_TRUE(toolbar.chevronMenuBuilt);
  // The later "highlight" agent wins.
  EXPECT_EQ(agents.highlightSlot, 6u);
  EXPECT_EQ(agents.searchInPageSlot, 3u);
  // Settings came before the search box: in no group. The search agent is in none either.
  EXPECT_EQ(agents.middleSlots, (std::vector<size_t>{2, 3}));
  EXPECT_EQ(agents.rightSlots, (std::vector<size_t>{4, 5, 6}));
  EXPECT_EQ(toolbar.calls, (std::vector<std::string>{"reset", "searchbox", "grip"}));
}

TEST_F(AgentLoader, AgentFilesOutsideTheAgentsFolderAreSkipped) {
  // Each of these names reaches a readable agent file, but only the last two lie in "Agents".
  WriteBytes(InstallFile("outside.xml"), "<agent><ui><caption>outside</caption></ui></agent>");
  const std::string absolute = test::FsPath(InstallFile("outside.xml")).string();
  std::filesystem::create_directories(temp_.path() / "install" / "Agents" / "sub");
  Agent("sub/inside.xml", "<ui><caption>inside</caption></ui>");
  Agent("plain.xml", "<ui><caption>plain</caption></ui>");
  Catalogue(Entry("banner", "a", "..\\outside.xml") + Entry("banner", "b", "../outside.xml") +
            Entry("banner", "c", "sub/../../outside.xml") + Entry("banner", "d", absolute) +
            Entry("banner", "e", "\\\\localhost\\share\\outside.xml") +
            Entry("banner", "f", "sub/inside.xml") + Entry("banner", "g", "plain.xml"));
  const RecordingToolbar toolbar = Load();
  std::vector<std::u16string> captions;
  for (const auto& b : toolbar.buttons) captions.push_back(b.caption);
  EXPECT_EQ(captions, (std::vector<std::u16string>{u"inside", u"plain"}));
  ASSERT_EQ(toolbar.buttons.size(), 2u);
  EXPECT_EQ(toolbar.buttons[0].id, 2024 + 5);
}

TEST_F(AgentLoader, SampleInstallationLoads) {
  UseSampleInstallation();
  const RecordingToolbar toolbar = Load();
  EXPECT_GE(toolbar.buttons.size(), 10u);
  EXPECT_NE(toolbar.agents.searchButton, 0);
  EXPECT_NE(toolbar.agents.translationButton, 0);
  EXPECT_NE(toolbar.agents.dictionaryButton, 0);
  EXPECT_NE(toolbar.agents.webTranslationButton, 0);
  EXPECT_EQ(toolbar.agents.webTranslationItems.size(), 5u);
  EXPECT_TRUE(toolbar.agents.highlightSlot);
  EXPECT_TRUE(toolbar.agents.searchInPageSlot);
  EXPECT_NE(toolbar.agents.settingsButton, 0);
}

}  // namespace
}  // namespace norvex::catalogue
