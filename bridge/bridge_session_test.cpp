#include "bridge/bridge_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "bridge/framing.h"
#include "common/text.h"
#include "search/search_history.h"
#include "storage/settings.h"
#include "tests/test_installation.h"
#include "toolbar/bench/bench_catalogue.h"
#include "toolbar/toolbar_window.h"

namespace norvex::bridge {
namespace {

using json = nlohmann::json;

class RecordingStarter final : public storage::ProgramStarter {
 public:
  std::vector<std::pair<std::u16string, std::u16string>> started;
  bool Start(const std::u16string& program, const std::u16string& arguments) override {
    started.emplace_back(program, arguments);
    return true;
  }
};

// The bridge on the sample installation, with a per-user folder of its own.
class BridgeSessionTest : public ::testing::Test {
 protected:
  BridgeSessionTest() { install_.UseSampleInstallation(); }

  // Every answer to one request, parsed; each must be JSON within the browsers' limit.
  std::vector<json> AskAll(const json& request) { return AskText(request.dump()); }
  std::vector<json> AskText(const std::string& text) {
    std::vector<std::string> answers;
    Session().Handle(text, answers);
    std::vector<json> parsed;
    for (const std::string& answer : answers) {
      EXPECT_LE(answer.size(), kMaxMessageBytes);
      parsed.push_back(json::parse(answer));
    }
    return parsed;
  }
  json Ask(const json& request) {
    const std::vector<json> answers = AskAll(request);
    EXPECT_EQ(answers.size(), 1u) << request.dump();
    return answers.empty() ? json() : answers.back();
  }
  BridgeSession& Session() {
    if (!session_) session_ = std::make_unique<BridgeSession>(starter_, "test");
    return *session_;
  }
  std::vector<std::u16string> History() {
    search::SearchHistory history;
    history.LoadHistory(toolbar::kHistorySection, toolbar::kHistoryKeyPrefix);
    std::vector<std::u16string> texts;
    for (const auto& item : history.items()) texts.push_back(item.text);
    return texts;
  }

  test::TestInstallation install_;
  RecordingStarter starter_;
  std::unique_ptr<BridgeSession> session_;
};

json Navigate(const std::string& url) { return json::array({{{"do", "navigate"}, {"url", url}}}); }

// What the toolbar does for each command and search, as the recorded sessions of norvex-host
// have it on the sample installation.
TEST_F(BridgeSessionTest, CommandsAndSearchesEndAsOnTheToolbar) {
  struct Case {
    const char* name;
    json request;
    json actions;
    json state;  // the fields of the answer's state that the case checks
  };
  const Case cases[] = {
      {"search with the default engine",
       {{"type", "search"}, {"text", "テスト"}},
       Navigate("http://search.norvex.example/"
                "search?q=%E3%83%86%E3%82%B9%E3%83%88&ie=utf-8&oem=nvx0001"),
       {{"engine", 0}}},
      {"an engine from the menu becomes current",
       {{"type", "command"}, {"id", 8201}, {"text", "テスト"}},
       Navigate("http://images.norvex.example/find?kw=%83e%83X%83g&oem=nvx0001"),
       {{"engine", 8201}}},
      {"the search button uses the current engine",
       {{"type", "command"}, {"id", 2025}, {"text", "テスト"}, {"state", {{"engine", 8201}}}},
       Navigate("http://images.norvex.example/find?kw=%83e%83X%83g&oem=nvx0001"),
       {{"engine", 8201}}},
      {"a search without an engine uses the state's",
       {{"type", "search"}, {"text", "テスト"}, {"state", {{"engine", 8202}}}},
       Navigate("http://blog.norvex.example/cgi/find?word=%A5%C6%A5%B9%A5%C8"),
       {{"engine", 8202}}},
      {"a search names its engine",
       {{"type", "search"}, {"text", "テスト"}, {"engine", 8202}},
       Navigate("http://blog.norvex.example/cgi/find?word=%A5%C6%A5%B9%A5%C8"),
       {{"engine", 8202}}},
      {"only spaces: the default engine comes back",
       {{"type", "search"}, {"text", "   "}, {"state", {{"engine", 8202}}}},
       Navigate("http://search.norvex.example/?oem=nvx0001"),
       {{"engine", 0}}},
      {"the tab's address goes into {url}",
       {{"type", "command"}, {"id", 8203}, {"url", "http://www.example.jp/パス?q=1&x=y"}},
       Navigate("http://share.norvex.example/"
                "post?u=http%3A%2F%2Fwww.example.jp%2F%E3%83%91%E3%82%B9%3Fq%3D1%26x%3Dy"),
       {{"engine", 0}}},
      {"a dictionary item with an empty box",
       {{"type", "command"}, {"id", 8402}},
       Navigate("http://dict.norvex.example/"),
       {{"dictionary", 8402}}},
      {"the dictionary button repeats its item",
       {{"type", "command"}, {"id", 2027}, {"text", "neko"}, {"state", {{"dictionary", 8402}}}},
       Navigate("http://dict.norvex.example/search?dic=jj&q=neko"),
       {{"dictionary", 8402}}},
      {"a translation item with text",
       {{"type", "command"}, {"id", 8301}, {"text", "neko"}},
       Navigate("http://translate.norvex.example/text?dir=je&t=neko"),
       {{"translation", 8301}}},
      {"highlight waits for text", {{"type", "command"}, {"id", 2028}}, json::array(), {}},
      {"highlight",
       {{"type", "command"}, {"id", 2028}, {"text", "neko inu"}},
       json::array({{{"do", "highlight"},
                     {"text", "neko inu"},
                     {"words", {"neko", "inu"}},
                     {"colors", {"#FFFF00", "#00FFFF"}}}}),
       {}},
      {"find in the page",
       {{"type", "command"}, {"id", 2029}, {"text", " neko,inu"}},
       json::array({{{"do", "find"}, {"text", " neko,inu"}, {"word", "neko"}}}),
       {}},
      {"options", {{"type", "command"}, {"id", 8100}}, json::array({{{"do", "options"}}}), {}},
      {"help",
       {{"type", "command"}, {"id", 8101}},
       json::array({{{"do", "open-window"},
                     {"url", "http://help.norvex.example/toolbar/"},
                     {"width", 450},
                     {"height", 500}}}),
       {}},
      {"the web page translation follows the page",
       {{"type", "command"},
        {"id", 2031},
        {"url", "http://a.example/"},
        {"state", {{"webtrans", 1}}}},
       Navigate("http://translate.norvex.example/page?dir=je&u=http%3A%2F%2Fa.example%2F"),
       {{"webtrans", 1}}},
      {"a menu button's face opens only its menu",
       {{"type", "command"}, {"id", 2024}},
       json::array(),
       {}},
  };
  for (const Case& c : cases) {
    const json answer = Ask(c.request);
    ASSERT_EQ(answer["type"], c.request["type"]) << c.name << ": " << answer.dump();
    EXPECT_EQ(answer["actions"], c.actions) << c.name;
    for (const auto& [field, value] : c.state.items()) {
      EXPECT_EQ(answer["state"][field], value) << c.name << ": " << field;
    }
  }
}

TEST_F(BridgeSessionTest, ButtonsShowWhatTheStateChose) {
  const json answer = Ask({{"type", "command"}, {"id", 8201}, {"text", "x"}});
  const json expected = {{{"id", 2025}, {"caption", "画像検索 (Shift_JIS)"}, {"command", 2025}},
                         {{"id", 2026}, {"caption", "翻訳"}, {"command", 2026}},
                         {{"id", 2027}, {"caption", "辞書"}, {"command", 2027}},
                         {{"id", 2031}, {"caption", "英語→日本語"}, {"command", 2031}}};
  EXPECT_EQ(answer["buttons"], expected);
  // The state given back restores the same captions in a later request.
  const json model = Ask({{"type", "model"}, {"state", answer["state"]}});
  EXPECT_EQ(model["buttons"], expected);
  // A state from a catalogue that has changed since is dropped, not refused.
  const json stale = Ask(
      {{"type", "model"}, {"state", {{"engine", 8300}, {"translation", 8201}, {"webtrans", 9}}}});
  EXPECT_EQ(stale["state"],
            json({{"engine", 0}, {"translation", 0}, {"dictionary", 0}, {"webtrans", -1}}));
}

TEST_F(BridgeSessionTest, UninstallStartsTheHelperAndSaysSo) {
  const json answer = Ask({{"type", "command"}, {"id", 8103}});
  ASSERT_EQ(starter_.started.size(), 1u);
  EXPECT_EQ(starter_.started[0].second, u"/uninstalltoolbar");
  const std::string program = Utf16ToUtf8(starter_.started[0].first);
  EXPECT_NE(program.find("NorvexHelper.exe"), std::string::npos);
  EXPECT_EQ(answer["actions"], json::array({{{"do", "start"},
                                             {"program", program},
                                             {"arguments", "/uninstalltoolbar"},
                                             {"started", true}}}));
}

TEST_F(BridgeSessionTest, AboutGivesTheBoxsLines) {
  const json command = Ask({{"type", "command"}, {"id", 8102}});
  const json about = Ask({{"type", "about"}});
  ASSERT_EQ(about["lines"].size(), 3u);
  EXPECT_EQ(about["lines"][0], "ノルヴェクスツールバー");
  EXPECT_EQ(about["lines"][1], "バージョン 1.0.3");
  EXPECT_EQ(command["actions"], json::array({{{"do", "about"}, {"lines", about["lines"]}}}));
}

TEST_F(BridgeSessionTest, SearchesWriteTheHistoryExceptFromPrivateWindows) {
  Ask({{"type", "search"}, {"text", "一つ目"}});
  Ask({{"type", "search"}, {"text", "秘密"}, {"private", true}});
  Ask({{"type", "command"}, {"id", 8301}, {"text", "秘密の翻訳"}, {"private", true}});
  Ask({{"type", "command"}, {"id", 8301}, {"text", "二つ目"}});
  EXPECT_EQ(History(), (std::vector<std::u16string>{u"二つ目", u"一つ目"}));
  EXPECT_EQ(Ask({{"type", "history"}})["entries"], json({"二つ目", "一つ目"}));
  EXPECT_EQ(Ask({{"type", "history"}, {"prefix", "一"}})["entries"], json({"一つ目"}));
  EXPECT_EQ(Ask({{"type", "history"}, {"prefix", "三"}})["entries"], json::array());
  EXPECT_EQ(Ask({{"type", "history-delete"}})["deleted"], true);
  EXPECT_TRUE(History().empty());
  EXPECT_EQ(Ask({{"type", "history"}})["entries"], json::array());
}

// The toolbar in the browser writes the same file meanwhile: the bridge adds to the file as it
// is then and never writes an older list back over it.
TEST_F(BridgeSessionTest, HistoryWrittenByTheToolbarMeanwhileIsKept) {
  Ask({{"type", "search"}, {"text", "bridge 1"}});
  {
    search::SearchHistory toolbar;
    toolbar.LoadHistory(toolbar::kHistorySection, toolbar::kHistoryKeyPrefix);
    toolbar.AddHistory(u"toolbar", true);
  }
  Ask({{"type", "model"}});
  Ask({{"type", "search"}, {"text", "bridge 2"}});
  session_.reset();  // the bridge ends
  EXPECT_EQ(History(), (std::vector<std::u16string>{u"bridge 2", u"toolbar", u"bridge 1"}));
}

TEST_F(BridgeSessionTest, ModelListsTheAgentsInCatalogueOrder) {
  const json model = Ask({{"type", "model"}, {"seq", 7}});
  EXPECT_EQ(model["seq"], 7);
  EXPECT_EQ(model["searchBox"], true);
  std::vector<int> ids;
  std::map<int, json> byId;
  for (const json& agent : model["agents"]) {
    ids.push_back(agent["id"]);
    byId[agent["id"]] = agent;
  }
  EXPECT_EQ(ids, (std::vector<int>{2024, 2025, 2026, 2027, 2028, 2029, 2031, 2033, 2034, 2035, 2036,
                                   2037}));
  struct Expected {
    int id;
    const char* kind;
    json role;
    const char* place;
    bool enabled;
  };
  const Expected expected[] = {
      {2024, "menu", "settings", "end", true},
      {2025, "split", "search", "left", true},
      {2026, "split", "translation", "middle", true},
      {2027, "split", "dictionary", "middle", true},
      {2028, "button", "highlight", "middle", false},
      {2029, "button", "searchinpage", "middle", false},
      {2031, "split", "webtrans", "right", true},
      {2033, "button", nullptr, "right", true},
  };
  for (const Expected& e : expected) {
    const json& agent = byId[e.id];
    EXPECT_EQ(agent["kind"], e.kind) << e.id;
    EXPECT_EQ(agent["role"], e.role) << e.id;
    EXPECT_EQ(agent["place"], e.place) << e.id;
    EXPECT_EQ(agent["enabled"], e.enabled) << e.id;
  }
  EXPECT_EQ(byId[2028]["needsText"], true);
  EXPECT_EQ(byId[2025]["menu"][1], json({{"id", 8201},
                                         {"caption", "画像検索 (Shift_JIS)"},
                                         {"image", byId[2025]["menu"][1]["image"]},
                                         {"grayed", false},
                                         {"engine", true}}));
  EXPECT_FALSE(byId[2025]["menu"][3].contains("engine"));
  EXPECT_EQ(model["engines"],
            json::array({{{"id", 2025}, {"caption", "検索"}, {"default", true}},
                         {{"id", 8200}, {"caption", "ウェブ検索"}, {"default", false}},
                         {{"id", 8201}, {"caption", "画像検索 (Shift_JIS)"}, {"default", false}},
                         {{"id", 8202}, {"caption", "ブログ検索 (EUC-JP)"}, {"default", false}}}));
  // Every image the model names is listed for the images request.
  std::set<std::string> listed(model["images"].begin(), model["images"].end());
  for (const json& agent : model["agents"]) {
    if (!agent["image"].is_null()) {
      EXPECT_TRUE(listed.count(agent["image"])) << agent["image"];
    }
    for (const json& item : agent["menu"]) {
      if (!item["image"].is_null()) {
        EXPECT_TRUE(listed.count(item["image"])) << item["image"];
      }
    }
  }
  // With text in the box the page tools are enabled, as on the toolbar.
  const json typed = Ask({{"type", "model"}, {"text", "neko"}});
  EXPECT_EQ(typed["agents"][4]["enabled"], true);
  EXPECT_EQ(typed["catalogue"], model["catalogue"]);
}

TEST_F(BridgeSessionTest, OptionsRowsAndTheirWriteShapeTheModel) {
  const json options = Ask({{"type", "options"}});
  EXPECT_EQ(options["label"], "ボタンの表示");
  ASSERT_EQ(options["rows"].size(), 9u);
  EXPECT_EQ(options["rows"][5]["id"], "news");
  EXPECT_EQ(options["rows"][5]["shown"], true);
  EXPECT_EQ(options["dailyReport"]["last"], 0);

  const json write =
      Ask({{"type", "options-write"}, {"rows", {{{"id", "news"}, {"shown", false}}}}});
  EXPECT_EQ(write["written"], 9);
  EXPECT_FALSE(storage::IsAgentShown(u"news"));
  EXPECT_TRUE(storage::IsAgentShown(u"maps"));
  const json model = Ask({{"type", "model"}});
  for (const json& agent : model["agents"]) EXPECT_NE(agent["id"], 2034);
  EXPECT_EQ(Ask({{"type", "options"}})["rows"][5]["shown"], false);

  // An id that is no row writes nothing at all.
  const json refused =
      Ask({{"type", "options-write"},
           {"rows", {{{"id", "news"}, {"shown", true}}, {{"id", "nothere"}, {"shown", true}}}}});
  EXPECT_EQ(refused["code"], "unknown-id");
  EXPECT_FALSE(storage::IsAgentShown(u"news"));
}

TEST_F(BridgeSessionTest, PageLanguageChoosesTheTranslationItem) {
  struct Case {
    const char* charset;
    const char* lang;
    int position;
    int item;
    const char* caption;
  };
  const Case cases[] = {
      {"Shift_JIS", "", 1, 8501, "日本語→英語"}, {"UTF-8", "ja-JP", 1, 8501, "日本語→英語"},
      {"UTF-8", "en", 0, 8500, "英語→日本語"},   {"GB2312", "", 2, 8502, "中国語→日本語"},
      {"EUC-KR", "", 4, 8504, "韓国語→日本語"},  {"", "", 0, 8500, "英語→日本語"},
  };
  for (const Case& c : cases) {
    const json answer = Ask({{"type", "language"}, {"charset", c.charset}, {"lang", c.lang}});
    EXPECT_EQ(answer["position"], c.position) << c.charset << c.lang;
    EXPECT_EQ(answer["item"], json({{"id", c.item}, {"caption", c.caption}}))
        << c.charset << c.lang;
    EXPECT_EQ(answer["state"]["webtrans"], c.position);
    EXPECT_EQ(answer["buttons"][3],
              json({{"id", 2031}, {"caption", c.caption}, {"command", c.item}}));
  }
}

TEST_F(BridgeSessionTest, WordsAsThePageToolsSplitThem) {
  struct Case {
    const char* text;
    json words;
    json colors;
    const char* first;
  };
  const Case cases[] = {
      {"a.b c", {"a", "b", "c"}, {"#FFFF00", "#00FFFF", "#FF00FF"}, "a"},
      {"東京　大阪,京都 名古屋 札幌 福岡",
       {"東京", "大阪", "京都", "名古屋", "札幌", "福岡"},
       {"#FFFF00", "#00FFFF", "#FF00FF", "#7FFF00", "#1E90FF", "#FFFF00"},
       "東京"},
      {"ab abc", {"abc"}, {"#FFFF00"}, "abc"},
      {" ., ", json::array(), json::array(), ""},
      {"", json::array(), json::array(), ""},
  };
  for (const Case& c : cases) {
    const json answer = Ask({{"type", "words"}, {"seq", 1}, {"text", c.text}});
    EXPECT_EQ(answer, json({{"type", "words"},
                            {"seq", 1},
                            {"words", c.words},
                            {"colors", c.colors},
                            {"first", c.first}}))
        << c.text;
  }
}

TEST_F(BridgeSessionTest, VersionHandshake) {
  const json hello =
      Ask({{"type", "hello"}, {"seq", "a"}, {"protocol", 1}, {"extension", "1.0.0"}});
  EXPECT_EQ(hello, json({{"type", "hello"},
                         {"seq", "a"},
                         {"protocol", 1},
                         {"minProtocol", 1},
                         {"maxProtocol", 1},
                         {"bridge", "1.0.3"},
                         {"platform", "test"}}));

  const json newer = Ask({{"type", "hello"}, {"protocol", 2}});
  EXPECT_EQ(newer["code"], "protocol");
  EXPECT_EQ(newer["update"], "bridge");
  EXPECT_EQ(newer["request"], "hello");
  // Every later request is refused the same way, until a hello that fits.
  const json refused = Ask({{"type", "model"}, {"seq", 3}});
  EXPECT_EQ(refused["code"], "protocol");
  EXPECT_EQ(refused["seq"], 3);
  EXPECT_EQ(Ask({{"type", "hello"}, {"protocol", 0}})["update"], "extension");
  EXPECT_EQ(Ask({{"type", "hello"}, {"protocol", 1}})["type"], "hello");
  EXPECT_EQ(Ask({{"type", "about"}})["type"], "about");
  // A request may name its own version.
  EXPECT_EQ(Ask({{"type", "about"}, {"protocol", 9}})["code"], "protocol");
}

TEST_F(BridgeSessionTest, BadContentGetsAnErrorAndTheSessionGoesOn) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "bad-json"},
      {"not json", "bad-json"},
      {"{\"type\":\"model\"", "bad-json"},
      {"[1,2]", "bad-json"},
      {"\"model\"", "bad-json"},
      {std::string("{\"type\":\"hello\",\"x\":\"\xff\"}"), "bad-json"},
      {"{}", "bad-request"},
      {"{\"type\":5}", "bad-request"},
      {"{\"type\":\"model\",\"seq\":{}}", "bad-request"},
      {"{\"type\":\"nope\"}", "unknown-type"},
      {"{\"type\":\"hello\"}", "bad-request"},
      {"{\"type\":\"hello\",\"protocol\":\"1\"}", "bad-request"},
      {"{\"type\":\"command\"}", "bad-request"},
      {"{\"type\":\"command\",\"id\":\"2025\"}", "bad-request"},
      {"{\"type\":\"command\",\"id\":1.5}", "bad-request"},
      {"{\"type\":\"command\",\"id\":99999999999}", "bad-request"},
      {"{\"type\":\"command\",\"id\":9999}", "unknown-id"},
      {"{\"type\":\"command\",\"id\":2025,\"private\":1}", "bad-request"},
      {"{\"type\":\"command\",\"id\":2025,\"state\":[]}", "bad-request"},
      {"{\"type\":\"command\",\"id\":2025,\"state\":{\"engine\":\"x\"}}", "bad-request"},
      {"{\"type\":\"search\"}", "bad-request"},
      {"{\"type\":\"search\",\"text\":3}", "bad-request"},
      {"{\"type\":\"search\",\"text\":\"a\",\"engine\":8300}", "unknown-id"},
      {"{\"type\":\"history\",\"prefix\":[]}", "bad-request"},
      {"{\"type\":\"images\",\"keys\":\"249:0\"}", "bad-request"},
      {"{\"type\":\"images\",\"keys\":[249]}", "bad-request"},
      {"{\"type\":\"options-write\"}", "bad-request"},
      {"{\"type\":\"options-write\",\"rows\":[{\"id\":\"news\"}]}", "bad-request"},
      {"{\"type\":\"options-write\",\"rows\":[5]}", "bad-request"},
      {"{\"type\":\"language\",\"charset\":false}", "bad-request"},
      {"{\"type\":\"words\"}", "bad-request"},
  };
  for (const auto& [text, code] : cases) {
    const std::vector<json> answers = AskText(text);
    ASSERT_EQ(answers.size(), 1u) << text;
    EXPECT_EQ(answers[0]["type"], "error") << text;
    EXPECT_EQ(answers[0]["code"], code) << text;
    EXPECT_FALSE(answers[0]["message"].get<std::string>().empty()) << text;
  }
  const std::vector<json> error = AskText("{\"type\":\"command\",\"seq\":12,\"id\":9999}");
  EXPECT_EQ(error[0]["seq"], 12);
  EXPECT_EQ(error[0]["request"], "command");
  EXPECT_EQ(Ask({{"type", "about"}})["type"], "about");
}

TEST_F(BridgeSessionTest, ImagesComeInMessagesOfTheirOwn) {
  const json model = Ask({{"type", "model"}});
  const std::vector<json> answers = AskAll({{"type", "images"}, {"seq", 4}});
  ASSERT_EQ(answers.size(), model["images"].size() + 1);
  std::set<std::string> keys;
  for (size_t i = 0; i + 1 < answers.size(); ++i) {
    EXPECT_EQ(answers[i]["type"], "image");
    EXPECT_EQ(answers[i]["seq"], 4);
    EXPECT_EQ(answers[i]["png1x"].get<std::string>().substr(0, 8), "iVBORw0K");
    EXPECT_GT(answers[i]["png2x"].get<std::string>().size(),
              answers[i]["png1x"].get<std::string>().size());
    keys.insert(answers[i]["key"]);
  }
  EXPECT_EQ(keys, std::set<std::string>(model["images"].begin(), model["images"].end()));
  EXPECT_EQ(
      answers.back(),
      json({{"type", "images"}, {"seq", 4}, {"count", keys.size()}, {"missing", json::array()}}));

  const std::vector<json> some =
      AskAll({{"type", "images"}, {"keys", {"249:16711935", "250:0", "x"}}});
  ASSERT_EQ(some.size(), 2u);
  EXPECT_EQ(some[0]["key"], "249:16711935");
  EXPECT_EQ(some[1]["missing"], json({"250:0", "x"}));
}

// The 30-agent catalogue of the benchmarks: every answer stays well under the browsers' limit.
TEST(BridgeSessionSize, AnswersOnThirtyAgentsStayUnderHalfAMebibyte) {
  test::TestInstallation install;
  test::WriteBenchCatalogue(install.temp_.path() / "install");
  RecordingStarter starter;
  BridgeSession session(starter, "test");
  for (const char* request :
       {R"({"type":"model","text":"検索語"})", R"({"type":"images"})", R"({"type":"options"})",
        R"({"type":"command","id":2027,"text":"x"})"}) {
    std::vector<std::string> answers;
    session.Handle(request, answers);
    ASSERT_FALSE(answers.empty());
    for (const std::string& answer : answers) {
      EXPECT_LT(answer.size(), 512u * 1024) << request;
      EXPECT_NE(json::parse(answer)["type"], "error") << answer;
    }
  }
  std::vector<std::string> answers;
  session.Handle(R"({"type":"model"})", answers);
  EXPECT_EQ(json::parse(answers[0])["agents"].size(), size_t(test::kBenchAgents));
}

// The stamp tells the extension when its cached model is out of date.
TEST(BridgeSessionCatalogue, StampChangesWithTheCatalogueFiles) {
  test::TestInstallation install;
  install.WriteCatalogue(R"(<agent><type>custom</type><id>a</id><xml>a.xml</xml></agent>)");
  install.WriteAgent("a.xml", "<name>A</name><ui><caption>一</caption><size>40</size></ui>");
  RecordingStarter starter;
  BridgeSession session(starter, "test");
  auto stamp = [&] {
    std::vector<std::string> answers;
    session.Handle(R"({"type":"model"})", answers);
    return json::parse(answers.at(0))["catalogue"].get<std::string>();
  };
  const std::string first = stamp();
  EXPECT_EQ(stamp(), first);
  install.WriteAgent("a.xml", "<name>A</name><ui><caption>二</caption><size>40</size></ui>");
  const std::string second = stamp();
  EXPECT_NE(second, first);
  std::vector<std::string> answers;
  session.Handle(R"({"type":"model"})", answers);
  EXPECT_EQ(json::parse(answers.at(0))["agents"][0]["caption"], "二");
  EXPECT_EQ(json::parse(answers.at(0))["searchBox"], false);
}

}  // namespace
}  // namespace norvex::bridge
