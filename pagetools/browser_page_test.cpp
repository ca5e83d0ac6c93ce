#include "pagetools/browser_page.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>

#include "common/text.h"
#include "pagetools/model_document.h"
#include "search/search_box_access.h"

namespace norvex::pagetools {
namespace {

using model::Document;

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::vector<std::string> U8(const std::vector<std::u16string>& words) {
  std::vector<std::string> out;
  for (const auto& w : words) out.push_back(U8(w));
  return out;
}

// A new browser window that writes down what it is told.
class RecordingWindow final : public NewBrowserWindow {
 public:
  RecordingWindow(std::vector<std::string>& calls, bool navigates)
      : calls_(calls), navigates_(navigates) {}
  void SetHeight(long v) override { calls_.push_back("Height " + std::to_string(v)); }
  void SetLeft(long v) override { calls_.push_back("Left " + std::to_string(v)); }
  void SetTop(long v) override { calls_.push_back("Top " + std::to_string(v)); }
  void SetWidth(long v) override { calls_.push_back("Width " + std::to_string(v)); }
  void SetAddressBar(bool v) override { calls_.push_back(std::string("AddressBar ") + (v ? "1" : "0")); }
  void SetFullScreen(bool v) override { calls_.push_back(std::string("FullScreen ") + (v ? "1" : "0")); }
  void SetMenuBar(bool v) override { calls_.push_back(std::string("MenuBar ") + (v ? "1" : "0")); }
  void SetToolBar(bool v) override { calls_.push_back(std::string("ToolBar ") + (v ? "1" : "0")); }
  void SetVisible(bool v) override { calls_.push_back(std::string("Visible ") + (v ? "1" : "0")); }
  void SetSilent(bool v) override { calls_.push_back(std::string("Silent ") + (v ? "1" : "0")); }
  bool Navigate(const std::u16string& url) override {
    calls_.push_back("Navigate2 " + U8(url));
    return navigates_;
  }

 private:
  std::vector<std::string>& calls_;
  bool navigates_;
};

// A browser that shows a page of our own model.
class PageBrowser final : public Browser {
 public:
  std::shared_ptr<Document> document;
  std::vector<std::string> windowCalls;
  bool canCreateWindows = true;
  bool windowsNavigate = true;

  std::u16string LocationUrl() override { return document ? document->url : u""; }
  void Navigate(const std::u16string&) override {}
  std::shared_ptr<PageDocument> TopDocument() override { return MakeModelDocument(document); }
  std::unique_ptr<NewBrowserWindow> CreateBrowserWindow() override {
    if (!canCreateWindows) return nullptr;
    return std::make_unique<RecordingWindow>(windowCalls, windowsNavigate);
  }
};

class FakeSearchBox final : public search::SearchBoxAccess {
 public:
  std::u16string text;
  std::u16string GetText() const override { return text; }
  void AddHistory(std::u16string_view, bool) override {}
};

std::shared_ptr<Document> Page(const char* html, const char* url = "http://page.example/") {
  auto document = Document::Parse(U16(html));
  document->url = U16(url);
  return document;
}

std::string Body(const std::shared_ptr<Document>& document) {
  return document->Body() ? U8(model::InnerHtml(*document->Body())) : "(no body)";
}

std::string Selected(const std::shared_ptr<Document>& document) {
  return document->selection ? U8(document->selection->Text()) : "(none)";
}

// The text before the selection, so that tests can tell equal words apart.
std::string SelectedAt(const std::shared_ptr<Document>& document) {
  if (!document->selection) return "(none)";
  model::Range before(document);
  before.Set(Document::Begin(document->Body()), document->selection->start());
  return U8(before.Text()) + "[" + U8(document->selection->Text()) + "]";
}

int CountHighlights(const std::shared_ptr<Document>& document) {
  int count = 0;
  for (model::Node* e : document->Elements()) {
    const std::u16string* id = e->FindAttribute(u"id");
    if (e->IsElement(u"span") && id && *id == kHighlightId) ++count;
  }
  return count;
}

class BrowserPageTest : public ::testing::Test {
 protected:
  BrowserPageTest() { Reset(); }
  ~BrowserPageTest() override { Reset(); }
  static void Reset() {
    SharedPageToolState() = PageToolState();
    ThisThreadFramePageObjects() = FramePageObjects();
  }

  PageBrowser browser_;
  BrowserPage page_{&browser_};
  FakeSearchBox box_;
};

// ---- Words and markup -------------------------------------------------------------------------

TEST(SplitSearchWords, ListsDistinctWordsInOrder) {
  const struct {
    std::u16string text;
    std::vector<std::string> words;
  } cases[] = {
      {u"apple app", {"apple"}},
      {u"app apple", {"apple"}},
      {u"ab cd abcd", {"abcd", "abcd"}},
      {u"a.b,c d\u3000e", {"a", "b", "c", "d", "e"}},
      {u"  two words  ", {"two", "words"}},
      {u"tab\tinside", {"tab\tinside"}},
      {u".,. ,", {}},
      {u"", {}},
      {u"Apple apple", {"Apple", "apple"}},
      // Trimmed as the search box's text is everywhere: no-break and other wide spaces too.
      {u"\u00a0apple\u2003", {"apple"}},
      {u"\u3000new\u00a0york\u00a0", {"new\u00a0york"}},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(SplitSearchWords(c.text)), c.words) << U8(c.text);
}

TEST(HighlightColor, FiveColoursInTurn) {
  const char* expected[] = {"#FFFF00", "#00FFFF", "#FF00FF", "#7FFF00", "#1E90FF", "#FFFF00"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(U8(HighlightColor(i)), expected[i]);
}

TEST(HighlightMarkup, WrapsTheEscapedText) {
  EXPECT_EQ(U8(HighlightMarkup(u"#FFFF00", u"Tokyo")),
            "<span id='norvex_toolbar_hi' style='BACKGROUND-COLOR:#FFFF00;color:#000000;'>"
            "Tokyo</span>");
  EXPECT_EQ(U8(HighlightMarkup(u"#00FFFF", u"<img src=x onerror=alert(1)>&")),
            "<span id='norvex_toolbar_hi' style='BACKGROUND-COLOR:#00FFFF;color:#000000;'>"
            "&lt;img src=x onerror=alert(1)&gt;&amp;</span>");
}

// ---- Highlighting ---------------------------------------------------------------------------

TEST_F(BrowserPageTest, HighlightsEveryOccurrenceWithOneColourPerWord) {
  browser_.document = Page("<p>Apple pie and apple tart; a Pear.</p>");
  EXPECT_TRUE(page_.HighlightWords(u"apple pear"));
  EXPECT_EQ(Body(browser_.document),
            "<p><span id=\"norvex_toolbar_hi\" style=\"BACKGROUND-COLOR:#FFFF00;color:#000000;\">"
            "Apple</span> pie and "
            "<span id=\"norvex_toolbar_hi\" style=\"BACKGROUND-COLOR:#FFFF00;color:#000000;\">"
            "apple</span> tart; a "
            "<span id=\"norvex_toolbar_hi\" style=\"BACKGROUND-COLOR:#00FFFF;color:#000000;\">"
            "Pear</span>.</p>");
  EXPECT_EQ(Selected(browser_.document), "Apple");
}

// "highlight" twice with the same text (or a third time after another text) leaves no highlight
// and exactly the page's own markup, whatever the words: matches across inline elements,
// overlapping words, words that differ in case, kana or width, white space inside a match.
TEST_F(BrowserPageTest, HighlightThenRemoveGivesThePageBack) {
  const struct {
    const char* html;
    const char* text;
    int highlights;
    const char* other = nullptr;  // highlighted in between when given
  } cases[] = {
      {"<div><p>Tok<b>yo</b> is big. TOKYO!</p><ul><li>tokyo<li>Kyoto</ul></div>", "tokyo kyoto",
       5},
      {"<p><b>TOK</b>YO and <a href='x'>to</a><i>k<u>y</u></i>o</p>", "tokyo", 6},
      {"<p>\xe6\x9d\xb1\xe4\xba\xac\xe9\x83\xbd\xe3\x81\xae\xe5\xa4\xa9\xe6\xb0\x97\xe3\x81\xa8"
       "\xe4\xba\xac\xe9\x83\xbd\xe3\x81\xae\xe5\xa4\xa9\xe6\xb0\x97</p>",  // 東京都の天気と京都の天気
       "\xe6\x9d\xb1\xe4\xba\xac \xe4\xba\xac\xe9\x83\xbd", 4},  // 東京 京都
      {"<p>ab cd abcd</p>", "ab cd abcd", 2},
      {"<p>\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 \xe3\x81\xa6\xe3\x81\x99\xe3\x81\xa8</p>",
       "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 \xe3\x81\xa6\xe3\x81\x99\xe3\x81\xa8",
       4},  // テスト てすと
      {"<p>\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\xa3 abc</p>",
       "\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\xa3 abc", 4},  // ＡＢＣ abc
      {"<p>Tok<script>var yo;</script>yo<!-- c -->!</p>", "tokyo!", 3},
      {"<p>new\n   york and <i>new</i> <b>york</b></p>", "new\tyork", 4},
      {"<p>apple pie</p>", "apple", 1, "pie apple"},
      {"<p>one <b>two</b> three</p>", "two", 1, "one tw"},
  };
  for (const auto& c : cases) {
    SharedPageToolState() = PageToolState();
    browser_.document = Page(c.html);
    const std::string before = Body(browser_.document);
    const std::u16string text = model::ReaderText(*browser_.document);
    if (c.other) {
      box_.text = U16(c.other);
      page_.ToggleHighlight(&box_);
    }
    box_.text = U16(c.text);
    page_.ToggleHighlight(&box_);
    EXPECT_EQ(CountHighlights(browser_.document), c.highlights) << c.html;
    EXPECT_EQ(model::ReaderText(*browser_.document), text) << c.html;
    page_.ToggleHighlight(&box_);
    EXPECT_EQ(CountHighlights(browser_.document), 0) << c.html;
    EXPECT_EQ(Body(browser_.document), before) << c.html;
  }
}

// A match through inline elements is wrapped in each of them: the page's elements keep their
// own content.
TEST_F(BrowserPageTest, AMatchAcrossElementsIsWrappedPieceByPiece) {
  browser_.document = Page("<p><b>TOK</b>YO</p>");
  EXPECT_TRUE(page_.HighlightWords(u"tokyo"));
  EXPECT_EQ(
      Body(browser_.document),
      "<p><b><span id=\"norvex_toolbar_hi\" style=\"BACKGROUND-COLOR:#FFFF00;color:#000000;\">"
      "TOK</span></b>"
      "<span id=\"norvex_toolbar_hi\" style=\"BACKGROUND-COLOR:#FFFF00;color:#000000;\">"
      "YO</span></p>");
  EXPECT_EQ(Selected(browser_.document), "TOKYO");
}

TEST_F(BrowserPageTest, PageTextThatLooksLikeMarkupStaysText) {
  browser_.document =
      Page("<p>Try &lt;img src=x onerror=alert(1)&gt; here &amp; there</p>");
  EXPECT_TRUE(page_.HighlightWords(u"<img src=x onerror=alert(1)>"));
  // Split at spaces: "<img", "src=x", "onerror=alert(1)>".
  EXPECT_EQ(CountHighlights(browser_.document), 3);
  for (model::Node* e : browser_.document->Elements()) EXPECT_FALSE(e->IsElement(u"img"));
  EXPECT_EQ(U8(model::ReaderText(*browser_.document)),
            "Try <img src=x onerror=alert(1)> here & there");
  EXPECT_TRUE(page_.HighlightWords(u"here & there"));
  EXPECT_EQ(U8(model::ReaderText(*browser_.document)),
            "Try <img src=x onerror=alert(1)> here & there");
  page_.RemoveHighlights();
  EXPECT_EQ(Body(browser_.document),
            "<p>Try &lt;img src=x onerror=alert(1)&gt; here &amp; there</p>");
}

TEST_F(BrowserPageTest, ToggleHighlightsThenRemoves) {
  browser_.document = Page("<p>apple Apple</p>");
  box_.text = u"apple";
  page_.ToggleHighlight(&box_);
  EXPECT_EQ(CountHighlights(browser_.document), 2);
  EXPECT_EQ(U8(SharedPageToolState().lastHighlightText), "apple");
  page_.ToggleHighlight(&box_);
  EXPECT_EQ(CountHighlights(browser_.document), 0);
  EXPECT_EQ(U8(SharedPageToolState().lastHighlightText), "");
  page_.ToggleHighlight(&box_);
  EXPECT_EQ(CountHighlights(browser_.document), 2);
  // Only the letter case differs: highlights again, the same occurrences with the page's case.
  box_.text = u"APPLE";
  page_.ToggleHighlight(&box_);
  EXPECT_EQ(CountHighlights(browser_.document), 2);
  EXPECT_EQ(U8(SharedPageToolState().lastHighlightText), "APPLE");
  EXPECT_EQ(U8(model::ReaderText(*browser_.document)), "apple Apple");
  page_.ToggleHighlight(nullptr);  // no search box: nothing happens
  EXPECT_EQ(CountHighlights(browser_.document), 2);
}

TEST_F(BrowserPageTest, SpacesOnlyRemoveTheHighlights) {
  browser_.document = Page("<p>apple</p>");
  box_.text = u"apple";
  page_.ToggleHighlight(&box_);
  ASSERT_EQ(CountHighlights(browser_.document), 1);
  box_.text = u"   ";
  page_.ToggleHighlight(&box_);
  EXPECT_EQ(CountHighlights(browser_.document), 0);
  EXPECT_EQ(U8(SharedPageToolState().lastHighlightText), "   ");
  page_.ToggleHighlight(&box_);
  EXPECT_EQ(U8(SharedPageToolState().lastHighlightText), "");
}

TEST_F(BrowserPageTest, FramesAreHighlightedAndNeverSelect) {
  browser_.document = Page("<p>word in top, word again</p>");
  auto frame = Page("<p>a word in a frame</p>", "http://frame.example/");
  browser_.document->frames = {frame};
  EXPECT_TRUE(page_.HighlightWords(u"word"));
  EXPECT_EQ(CountHighlights(browser_.document), 2);
  EXPECT_EQ(CountHighlights(frame), 1);
  EXPECT_EQ(SelectedAt(browser_.document), "[word]");
  EXPECT_EQ(Selected(frame), "(none)");
  page_.RemoveHighlights();
  EXPECT_EQ(CountHighlights(frame), 0);
  EXPECT_EQ(CountHighlights(browser_.document), 0);
}

TEST_F(BrowserPageTest, FramesetTopIsNotHighlighted) {
  browser_.document = Page("<frameset cols='50%,50%'><frame src='a'><frame src='b'></frameset>");
  auto a = Page("<p>word</p>", "http://a.example/");
  auto b = Page("<p>no match</p>", "http://b.example/");
  browser_.document->frames = {a, b};
  EXPECT_FALSE(page_.HighlightWords(u"word"));
  EXPECT_EQ(CountHighlights(a), 1);
}

TEST_F(BrowserPageTest, SixthWordIsYellowAgain) {
  browser_.document = Page("<p>a b c d e f</p>");
  page_.HighlightWords(u"a.b,c d\u3000e f");
  std::vector<std::string> colours;
  for (model::Node* e : browser_.document->Elements()) {
    if (const std::u16string* style = e->FindAttribute(u"style")) colours.push_back(U8(*style));
  }
  ASSERT_EQ(colours.size(), 6u);
  EXPECT_EQ(colours[0], "BACKGROUND-COLOR:#FFFF00;color:#000000;");
  EXPECT_EQ(colours[4], "BACKGROUND-COLOR:#1E90FF;color:#000000;");
  EXPECT_EQ(colours[5], "BACKGROUND-COLOR:#FFFF00;color:#000000;");
}

// Removal unwraps the highlights that the toolbar made, moving their content (the same nodes)
// into their place; a page's own element with the highlight's id stays as it is, content and
// all, and a highlight that the page changed into something else is no longer one.
TEST_F(BrowserPageTest, OnlyTheToolbarsOwnHighlightsAreUnwrapped) {
  const char* html =
      "<p><span id='norvex_toolbar_hi'>mine <i>word</i></span> "
      "<span id='norvex_toolbar_hi'>&lt;img src=x onerror=alert(1)&gt;</span> word "
      "<b id='norvex_toolbar_hi'>bold</b> and word</p>";
  browser_.document = Page(html);
  ASSERT_TRUE(page_.HighlightWords(u"word"));
  ASSERT_EQ(CountHighlights(browser_.document), 5);  // two of the page's, three of ours
  std::vector<model::Node*> ours;
  for (model::Node* e : browser_.document->Elements()) {
    const std::u16string* style = e->FindAttribute(u"style");
    if (style && style->find(u"BACKGROUND-COLOR") != std::u16string::npos) ours.push_back(e);
  }
  ASSERT_EQ(ours.size(), 3u);
  model::Node* inner = ours[0]->first;
  ours[2]->attributes[0].value = u"changed";  // the page took the last one over
  page_.RemoveHighlights();
  EXPECT_EQ(CountHighlights(browser_.document), 2);
  EXPECT_EQ(
      Body(browser_.document),
      "<p><span id=\"norvex_toolbar_hi\">mine <i>word</i></span> "
      "<span id=\"norvex_toolbar_hi\">&lt;img src=x onerror=alert(1)&gt;</span> word "
      "<b id=\"norvex_toolbar_hi\">bold</b> and "
      "<span id=\"changed\" style=\"BACKGROUND-COLOR:#FFFF00;color:#000000;\">word</span></p>");
  EXPECT_TRUE(browser_.document->Contains(inner));
  EXPECT_EQ(U8(inner->data), "word");
}

TEST_F(BrowserPageTest, EmptyTextHighlightsNothing) {
  browser_.document = Page("<p>x</p>");
  EXPECT_FALSE(page_.HighlightWords(u""));
  browser_.document.reset();
  EXPECT_FALSE(page_.HighlightWords(u"x"));  // no document
}

// ---- Find in page ---------------------------------------------------------------------------

TEST_F(BrowserPageTest, FindWalksThroughTheOccurrencesAndWraps) {
  browser_.document = Page("<p>one fish</p><p>two fish</p><p>red FISH</p>");
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    page_.FindNext(u"fish", false, 0);
    seen.push_back(SelectedAt(browser_.document));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"one [fish]", "one fish\r\ntwo [fish]",
                                            "one fish\r\ntwo fish\r\nred [FISH]",
                                            "one [fish]"}));
  EXPECT_GT(browser_.document->scrolls, 0);
}

TEST_F(BrowserPageTest, FindTrimsAsTheSearchBoxDoes) {
  browser_.document = Page("<p>apple, apple pie</p>");
  page_.FindNext(u"apple\u00a0", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "[apple]");
}

TEST_F(BrowserPageTest, NoOccurrenceSelectsNothing) {
  browser_.document = Page("<p>nothing here</p>");
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(Selected(browser_.document), "(none)");
  EXPECT_FALSE(SharedPageToolState().findContinuing.has_value());
}

TEST_F(BrowserPageTest, OneOccurrenceRepeatsOnceAndStays) {
  browser_.document = Page("<p>a lonely fish</p>");
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "a lonely [fish]");
  EXPECT_EQ(SharedPageToolState().repeatCount, 0);
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "a lonely [fish]");
  EXPECT_EQ(SharedPageToolState().repeatCount, 1);
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(SharedPageToolState().repeatCount, 2);
}

TEST_F(BrowserPageTest, OnlyTheFirstWordIsSearched) {
  browser_.document = Page("<p>cat dog cat</p>");
  page_.FindNext(u"  dog cat  ", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "cat [dog]");
  page_.FindNext(u"dog bird", false, 0);  // the later words changed: no restart
  EXPECT_EQ(SelectedAt(browser_.document), "cat [dog]");  // wrapped to the only dog
  page_.FindNext(u"cat", false, 0);  // another first word: from the top
  EXPECT_EQ(SelectedAt(browser_.document), "[cat]");
  page_.FindNext(u"cat dog", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "cat dog [cat]");
}

TEST_F(BrowserPageTest, CaseOnlyChangeOnTheFirstMatchMovesToTheSecond) {
  browser_.document = Page("<p>Fish one, fish two, FISH three</p>");
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "[Fish]");
  page_.FindNext(u"FISH", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "Fish one, [fish]");
  EXPECT_EQ(SharedPageToolState().repeatCount, 0);  // the second selection differed
  // On a later match the restart simply selects the first one.
  page_.FindNext(u"Fish", false, 0);
  EXPECT_EQ(SelectedAt(browser_.document), "[Fish]");
}

TEST_F(BrowserPageTest, FramesAreSearchedOneAfterTheOther) {
  browser_.document = Page("<frameset><frame src='1'><frame src='2'></frameset>");
  auto f1 = Page("<p>fish and fish</p>", "http://f1.example/");
  auto f2 = Page("<p>one fish</p>", "http://f2.example/");
  browser_.document->frames = {f1, f2};
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    page_.FindNext(u"fish", false, 0);
    const unsigned long long s1 = f1->selectionStamp, s2 = f2->selectionStamp;
    seen.push_back(s1 > s2 ? "f1 " + SelectedAt(f1) : "f2 " + SelectedAt(f2));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"f1 [fish]", "f1 fish and [fish]", "f2 one [fish]",
                                            "f1 [fish]"}));
}

TEST_F(BrowserPageTest, AFrameWithTheOnlyOccurrenceKeepsIt) {
  browser_.document = Page("<frameset><frame src='1'><frame src='2'></frameset>");
  auto f1 = Page("<p>no match</p>", "http://f1.example/");
  auto f2 = Page("<p>one fish</p>", "http://f2.example/");
  browser_.document->frames = {f1, f2};
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(SelectedAt(f2), "one [fish]");
  const unsigned long long stamp = f2->selectionStamp;
  for (int i = 0; i < 4; ++i) page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(SelectedAt(f2), "one [fish]");
  EXPECT_EQ(Selected(f1), "(none)");
  EXPECT_GE(f2->selectionStamp, stamp);
}

TEST_F(BrowserPageTest, FramesWithTheAddressOfTheLastMatchAreSkipped) {
  browser_.document = Page("<frameset><frame src='1'><frame src='2'></frameset>");
  auto f1 = Page("<p>fish</p>", "http://same.example/");
  auto f2 = Page("<p>fish</p>", "http://same.example/");
  browser_.document->frames = {f1, f2};
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(Selected(f1), "fish");
  page_.FindNext(u"fish", false, 0);
  EXPECT_EQ(Selected(f2), "(none)");
}

// A frame whose every search finds the same match again (as a document that does not move its
// ranges would): the repeated frame search stops after as many repeats as the top-level one.
class SameMatchRange final : public TextRange {
 public:
  explicit SameMatchRange(int& finds) : finds_(finds) {}
  bool FindText(const std::u16string&, long, long) override { return ++finds_ < 1000; }
  std::optional<std::u16string> Text() override { return u"fish"; }
  bool PasteHtml(const std::u16string&) override { return false; }
  bool Select() override { return true; }
  bool MoveStartByCharacters(long) override { return true; }
  bool ScrollIntoView(bool) override { return true; }
  std::optional<std::u16string> Bookmark() override { return u"here"; }
  bool IsEqual(TextRange&) override { return true; }

 private:
  int& finds_;
};

class StillPointer final : public MarkupPointer {
 public:
  bool SetGravity(PointerGravity) override { return true; }
  bool MoveToPointer(MarkupPointer&) override { return true; }
  MarkupStep Right(bool) override { return {}; }
  bool IsEqualTo(MarkupPointer&) override { return true; }
};

class StillMarkup final : public DocumentMarkup {
 public:
  std::shared_ptr<MarkupPointer> CreatePointer() override {
    return std::make_shared<StillPointer>();
  }
  bool MoveToContainer(MarkupPointer&, bool) override { return true; }
  bool MoveRangeToPointers(MarkupPointer&, MarkupPointer&, TextRange&) override { return true; }
  bool MovePointersToRange(TextRange&, MarkupPointer&, MarkupPointer&) override { return true; }
  bool RemoveElement(PageElement&) override { return false; }
};

class SameMatchDocument final : public PageDocument {
 public:
  std::vector<std::shared_ptr<PageDocument>> frames;  // none: a frame; some: a frameset page
  int finds = 0;

  bool SameAs(PageDocument& other) override { return &other == this; }
  std::vector<std::shared_ptr<PageDocument>> FrameDocuments() override { return frames; }
  std::shared_ptr<TextRange> BodyTextRange() override {
    if (!frames.empty()) return nullptr;
    return std::make_shared<SameMatchRange>(finds);
  }
  std::shared_ptr<DocumentMarkup> Markup() override { return std::make_shared<StillMarkup>(); }
  std::shared_ptr<TextRange> SelectionRange() override {
    return std::make_shared<SameMatchRange>(finds);
  }
  std::u16string Url() override { return frames.empty() ? u"http://frame.example/" : u""; }
  std::u16string Charset() override { return {}; }
  std::optional<std::u16string> HtmlAttribute(const std::u16string&) override { return {}; }
};

class FixedBrowser final : public Browser {
 public:
  std::shared_ptr<PageDocument> document;
  std::u16string LocationUrl() override { return {}; }
  void Navigate(const std::u16string&) override {}
  std::shared_ptr<PageDocument> TopDocument() override { return document; }
  std::unique_ptr<NewBrowserWindow> CreateBrowserWindow() override { return nullptr; }
};

TEST_F(BrowserPageTest, FrameSearchRepeatsAtMostAsOftenAsTheTopLevelFind) {
  auto frame = std::make_shared<SameMatchDocument>();
  auto top = std::make_shared<SameMatchDocument>();
  top->frames = {frame};
  FixedBrowser browser;
  browser.document = top;
  BrowserPage page(&browser);
  page.FindNext(u"fish", false, 0);
  EXPECT_EQ(frame->finds, 1);
  page.FindNext(u"fish", false, 0);  // the same selection: a search and 51 repeats
  EXPECT_EQ(frame->finds, 53);
}

// Document and range wrappers that write down the threads that let go of them.
struct ReleaseLog {
  std::mutex lock;
  std::vector<std::thread::id> threads;
  void Add() {
    std::lock_guard<std::mutex> guard(lock);
    threads.push_back(std::this_thread::get_id());
  }
};

class ThreadRecordingRange final : public TextRange {
 public:
  ThreadRecordingRange(std::shared_ptr<TextRange> inner, std::shared_ptr<ReleaseLog> log)
      : inner_(std::move(inner)), log_(std::move(log)) {}
  ~ThreadRecordingRange() override { log_->Add(); }
  bool FindText(const std::u16string& t, long c, long f) override {
    return inner_->FindText(t, c, f);
  }
  std::optional<std::u16string> Text() override { return inner_->Text(); }
  bool PasteHtml(const std::u16string& html) override { return inner_->PasteHtml(html); }
  bool Select() override { return inner_->Select(); }
  bool MoveStartByCharacters(long count) override { return inner_->MoveStartByCharacters(count); }
  bool ScrollIntoView(bool top) override { return inner_->ScrollIntoView(top); }
  std::optional<std::u16string> Bookmark() override { return inner_->Bookmark(); }
  bool IsEqual(TextRange& other) override {
    auto* recorded = dynamic_cast<ThreadRecordingRange*>(&other);
    return recorded && inner_->IsEqual(*recorded->inner_);
  }

 private:
  std::shared_ptr<TextRange> inner_;
  std::shared_ptr<ReleaseLog> log_;
};

class ThreadRecordingDocument final : public PageDocument {
 public:
  ThreadRecordingDocument(std::shared_ptr<PageDocument> inner, std::shared_ptr<ReleaseLog> log)
      : inner_(std::move(inner)), log_(std::move(log)) {}
  ~ThreadRecordingDocument() override { log_->Add(); }
  bool SameAs(PageDocument& other) override {
    auto* recorded = dynamic_cast<ThreadRecordingDocument*>(&other);
    return recorded && inner_->SameAs(*recorded->inner_);
  }
  std::vector<std::shared_ptr<PageDocument>> FrameDocuments() override {
    std::vector<std::shared_ptr<PageDocument>> frames;
    for (auto& frame : inner_->FrameDocuments()) {
      frames.push_back(std::make_shared<ThreadRecordingDocument>(frame, log_));
    }
    return frames;
  }
  std::shared_ptr<TextRange> BodyTextRange() override { return inner_->BodyTextRange(); }
  std::shared_ptr<DocumentMarkup> Markup() override { return inner_->Markup(); }
  std::shared_ptr<TextRange> SelectionRange() override {
    std::shared_ptr<TextRange> range = inner_->SelectionRange();
    return range ? std::make_shared<ThreadRecordingRange>(range, log_) : nullptr;
  }
  std::u16string Url() override { return inner_->Url(); }
  std::u16string Charset() override { return inner_->Charset(); }
  std::optional<std::u16string> HtmlAttribute(const std::u16string& name) override {
    return inner_->HtmlAttribute(name);
  }

 private:
  std::shared_ptr<PageDocument> inner_;
  std::shared_ptr<ReleaseLog> log_;
};

// Two browser threads search framesets: each goes on in its own frame, and each thread's
// documents and ranges are let go on that thread.
TEST_F(BrowserPageTest, EachThreadKeepsItsOwnFramePageObjects) {
  auto releasedA = std::make_shared<ReleaseLog>();
  auto frameset = [](const char* url) {
    auto page = Page("<frameset><frame src='f'></frameset>");
    page->frames = {Page("<p>one fish, two fish</p>", url)};
    return page;
  };
  auto pageA = frameset("http://a.example/");
  auto pageB = frameset("http://b.example/");
  std::promise<void> searchedA, searchedB;
  std::thread::id threadA;
  std::string secondA;
  std::thread a([&] {
    threadA = std::this_thread::get_id();
    FixedBrowser browser;
    browser.document =
        std::make_shared<ThreadRecordingDocument>(MakeModelDocument(pageA), releasedA);
    BrowserPage page(&browser);
    page.FindNext(u"fish", false, 0);
    searchedA.set_value();
    searchedB.get_future().wait();
    page.FindNext(u"fish", false, 0);
    secondA = SelectedAt(pageA->frames[0]);
    page.ReleaseReferences();
    browser.document.reset();
  });
  searchedA.get_future().wait();
  std::thread b([&] {
    FixedBrowser browser;
    browser.document = MakeModelDocument(pageB);
    BrowserPage page(&browser);
    page.FindNext(u"fish", false, 0);
    EXPECT_EQ(SelectedAt(pageB->frames[0]), "one [fish]");
    page.ReleaseReferences();
  });
  b.join();
  searchedB.set_value();
  a.join();
  EXPECT_EQ(secondA, "one fish, two [fish]");
  std::lock_guard<std::mutex> guard(releasedA->lock);
  ASSERT_FALSE(releasedA->threads.empty());
  for (const std::thread::id& id : releasedA->threads) EXPECT_EQ(id, threadA);
}

// ---- Page language and help window ------------------------------------------------------------

TEST_F(BrowserPageTest, CharsetAndLanguageComeFromTheDocument) {
  browser_.document = Page("<html xml:lang='ko'><body></body></html>");
  browser_.document->charset = u"euc-kr";
  EXPECT_EQ(U8(page_.GetPageCharset()), "euc-kr");
  EXPECT_EQ(U8(page_.GetPageLanguage()), "ko");
  browser_.document = Page("<html lang='ja' xml:lang='en'><body></body></html>");
  EXPECT_EQ(U8(page_.GetPageLanguage()), "ja");
  browser_.document.reset();
  EXPECT_EQ(U8(page_.GetPageLanguage()), "");
  EXPECT_EQ(U8(page_.GetPageCharset()), "");
}

TEST_F(BrowserPageTest, HelpWindowIsSetUpInOrderThenNavigated) {
  EXPECT_TRUE(page_.OpenHelpWindow(u"http://help.example/", 500, 450));
  EXPECT_EQ(browser_.windowCalls,
            (std::vector<std::string>{"Height 500", "Left 50", "Top 50", "Width 450",
                                      "AddressBar 1", "FullScreen 0", "MenuBar 0", "MenuBar 0",
                                      "ToolBar 0", "Visible 1", "Silent 1",
                                      "Navigate2 http://help.example/"}));
  browser_.windowsNavigate = false;
  EXPECT_FALSE(page_.OpenHelpWindow(u"", 500, 450));
  browser_.canCreateWindows = false;
  browser_.windowCalls.clear();
  EXPECT_FALSE(page_.OpenHelpWindow(u"http://help.example/", 500, 450));
  EXPECT_TRUE(browser_.windowCalls.empty());
  BrowserPage none;
  EXPECT_FALSE(none.OpenHelpWindow(u"http://help.example/", 500, 450));
}

}  // namespace
}  // namespace norvex::pagetools
