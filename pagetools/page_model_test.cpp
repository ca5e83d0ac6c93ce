#include "pagetools/page_model.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::pagetools::model {
namespace {

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::string BodyHtml(const Document& document) {
  return document.Body() ? U8(InnerHtml(*document.Body())) : std::string("(no body)");
}

// What a reader sees, and what a case-insensitive find matches in it.
TEST(PageModel, ReaderTextFollowsRendering) {
  const struct {
    const char* html;
    const char* text;
  } cases[] = {
      {"<p>Tok<b>yo</b> tower</p>", "Tokyo tower"},
      {"<p>a   b\n\tc</p>", "a b c"},
      {"<p> lead and trail </p>", "lead and trail"},
      {"<div>one</div><div>two</div>", "one\ntwo"},
      {"<p>x<br>y</p>", "x\ny"},
      {"<pre>a  b\nc</pre>", "a  b\nc"},
      {"<p>a<script>var x = 'hidden';</script>b</p>", "ab"},
      {"<p>a<style>p{}</style>b<select><option>o</option></select></p>", "ab"},
      {"<title>T</title><p>body</p>", "body"},
      {"<p>x<svg><text>vector</text></svg>y</p>", "xy"},
      {"<p>a&amp;b &lt;c&gt;&nbsp;d</p>", "a&b <c>\u00a0d"},
      {"<ul><li>one<li>two</ul>", "one\ntwo"},
      {"<table><tr><td>c1<td>c2</table>", "c1\nc2"},
  };
  for (const auto& c : cases) {
    auto document = Document::Parse(U16(c.html));
    EXPECT_EQ(U8(ReaderText(*document)), c.text) << c.html;
  }
}

TEST(PageModel, FindMatchesAsAReaderReads) {
  const struct {
    const char* html;
    const char* word;
    const char* found;  // the range's text, or null: no match
  } cases[] = {
      {"<p>Tok<b>yo</b></p>", "tokyo", "Tokyo"},
      {"<p>TOKYO</p>", "tokyo", "TOKYO"},
      {"<div>Tok</div><div>yo</div>", "tokyo", nullptr},  // not across blocks
      {"<p>Tok<br>yo</p>", "tokyo", nullptr},
      {"<p>new\n   york</p>", "new york", "new york"},
      {"<p>new&nbsp;york</p>", "new york", "new\u00a0york"},
      {"<p>\u00c9COLE</p>", "\u00e9cole", "\u00c9COLE"},                           // Latin-1
      {"<p>\u0391\u0398\u0397\u039d\u0391</p>", "\u03b1\u03b8\u03b7\u03bd\u03b1",  // Greek
       "\u0391\u0398\u0397\u039d\u0391"},
      {"<p>\u041c\u041e\u0421\u041a\u0412\u0410</p>", "\u043c\u043e\u0441\u043a\u0432\u0430",
       "\u041c\u041e\u0421\u041a\u0412\u0410"},  // Cyrillic
      {"<p>\uff34\uff2f\uff2b\uff39\uff2f</p>", "\uff54\uff4f\uff4b\uff59\uff4f",
       "\uff34\uff2f\uff2b\uff39\uff2f"},  // full width
      {"<p>\u6771\u4eac\u30bf\u30ef\u30fc</p>", "\u6771\u4eac", "\u6771\u4eac"},
      // Width, kana and diacritics do not count (as in the browser's default search); letters
      // without a canonical base letter only fold their case.
      {"<p>\uff34\uff2f\uff2b\uff39\uff2f</p>", "tokyo", "\uff34\uff2f\uff2b\uff39\uff2f"},
      {"<p>\u3068\u3046\u304d\u3087\u3046</p>", "\u30c8\u30a6\u30ad\u30e7\u30a6",
       "\u3068\u3046\u304d\u3087\u3046"},
      {"<p>Caf\u00e9 cr\u00e8me</p>", "cafe creme", "Caf\u00e9 cr\u00e8me"},
      {"<p>\u0141\u00f3d\u017a</p>", "\u0142odz", "\u0141\u00f3d\u017a"},
      {"<p>\u00d8re</p>", "ore", nullptr},
      {"<p>stra\u00dfe</p>", "strasse", nullptr},
      {"<p>a<script>tokyo</script></p>", "tokyo", nullptr},
      {"<p>aab</p>", "ab", "ab"},
      // Half-width katakana read as katakana, their sound marks joined with the kana before.
      {"<p>\uff84\uff73\uff77\uff6e\uff73</p>", "\u30c8\u30a6\u30ad\u30e7\u30a6",  // ﾄｳｷｮｳ
       "\uff84\uff73\uff77\uff6e\uff73"},
      {"<p>\uff76\uff9e\uff72\uff84\uff9e</p>", "\u30ac\u30a4\u30c9",  // ｶﾞｲﾄﾞ, ガイド
       "\uff76\uff9e\uff72\uff84\uff9e"},
      {"<p>\u30ac\u30a4\u30c9</p>", "\uff76\uff9e\uff72\uff84\uff9e", "\u30ac\u30a4\u30c9"},
      {"<p>\uff8a\uff9f\uff9d</p>", "\u3071\u3093", "\uff8a\uff9f\uff9d"},  // ﾊﾟﾝ, ぱん
      {"<p>\u304b\u3099</p>", "\u304c", "\u304b\u3099"},                    // か + mark, が
      {"<p>\uff76\uff72\uff84\uff9e</p>", "\u30ac\u30a4\u30c9", nullptr},   // ｶｲﾄﾞ
      {"<p>\uff76\uff9e</p>", "\u304b", nullptr},                           // ｶﾞ is not か
  };
  for (const auto& c : cases) {
    auto document = Document::Parse(U16(c.html));
    Range range(document);
    const bool found = range.Find(U16(c.word), false);
    EXPECT_EQ(found, c.found != nullptr) << c.html;
    if (found && c.found) {
      EXPECT_EQ(U8(range.Text()), c.found) << c.html;
    }
  }
}

// A match begins and ends between characters, never between the halves of a surrogate pair.
TEST(PageModel, NoMatchSplitsACharacter) {
  const struct {
    std::u16string word;
    bool found;
  } cases[] = {
      {u"x\U0001F600", true},
      {u"x\xD83D", false},
      {u"\xDE00y", false},
      {u"\xD83D", false},
  };
  for (const auto& c : cases) {
    auto document = Document::Parse(u"<p>x\U0001F600y</p>");
    Range range(document);
    EXPECT_EQ(range.Find(c.word, false), c.found) << U8(c.word);
    EXPECT_EQ(range.Find(c.word, true), c.found) << U8(c.word);
  }
}

TEST(PageModel, FindGoesOnFromTheRangeStartToTheEnd) {
  auto document = Document::Parse(u"<p>one</p><p>two one</p><p>one</p>");
  Range range(document);
  int count = 0;
  while (range.Find(u"ONE", false)) {
    ++count;
    range.Set(range.end(), range.end());
  }
  EXPECT_EQ(count, 3);
  Range cased(document);
  EXPECT_FALSE(cased.Find(u"ONE", true));
}

TEST(PageModel, PasteReplacesTheMatchAndKeepsThePageWellFormed) {
  const struct {
    const char* html;
    const char* word;
    const char* paste;
    const char* body;
  } cases[] = {
      {"<p>a tokyo b</p>", "tokyo", "<i>X</i>", "<p>a <i>X</i> b</p>"},
      {"<p>Tok<b>yo</b> b</p>", "tokyo", "<i>X</i>", "<p><i>X</i><b></b> b</p>"},
      {"<p><b>To</b>kyo</p>", "tokyo", "<i>X</i>", "<p><b><i>X</i></b></p>"},
      {"<p>tokyo</p>", "tokyo", "plain", "<p>plain</p>"},
      {"<p>tokyo</p>", "tokyo", "", "<p></p>"},
      {"<p>xtokyo</p>", "tokyo", "<b>a &amp; b</b>", "<p>x<b>a &amp; b</b></p>"},
  };
  for (const auto& c : cases) {
    auto document = Document::Parse(U16(c.html));
    Range range(document);
    ASSERT_TRUE(range.Find(U16(c.word), false)) << c.html;
    ASSERT_TRUE(range.PasteHtml(U16(c.paste))) << c.html;
    EXPECT_EQ(BodyHtml(*document), c.body) << c.html;
  }
}

TEST(PageModel, RangeSpansThePastedContent) {
  auto document = Document::Parse(u"<p>a tokyo b</p>");
  Range range(document);
  ASSERT_TRUE(range.Find(u"tokyo", false));
  ASSERT_TRUE(range.PasteHtml(u"<b>TOKYO</b>"));
  EXPECT_EQ(U8(range.Text()), "TOKYO");
  range.Set(range.end(), range.end());
  EXPECT_FALSE(range.Find(u"tokyo", false));
}

TEST(PageModel, LivePositionsKeepTheirGravityAcrossInsertions) {
  auto document = Document::Parse(u"<p>ab</p>");
  Node* text = document->Body()->first->first;
  LivePosition left(document, Gravity::kLeft), right(document, Gravity::kRight);
  left.position = right.position = {text, nullptr, 1};
  Range range(document);
  range.Set({text, nullptr, 1}, {text, nullptr, 1});
  ASSERT_TRUE(range.PasteHtml(u"<i>X</i>"));
  Range before(document), after(document);
  before.Set(Document::Begin(document->Body()), left.position);
  after.Set(right.position, Document::End(document->Body()));
  EXPECT_EQ(U8(before.Text()), "a");
  EXPECT_EQ(U8(after.Text()), "b");
}

TEST(PageModel, MoveStartAndEquality) {
  auto document = Document::Parse(u"<p>hello world</p>");
  Range a(document), b(document);
  ASSERT_TRUE(a.Find(u"world", false));
  ASSERT_TRUE(b.Find(u"world", false));
  EXPECT_TRUE(a.IsEqual(b));
  EXPECT_EQ(a.MoveStart(1), 1);
  EXPECT_EQ(U8(a.Text()), "orld");
  EXPECT_FALSE(a.IsEqual(b));
  auto other = Document::Parse(u"<p>hello world</p>");
  Range c(other);
  ASSERT_TRUE(c.Find(u"world", false));
  EXPECT_FALSE(c.IsEqual(b));  // another document
}

TEST(PageModel, OuterHtmlReplacesAnElementByItsContent) {
  auto document = Document::Parse(u"<p>a<span id='x'>b<i>c</i></span>d</p>");
  Node* span = document->Body()->first->first->next;
  ASSERT_TRUE(document->SetOuterHtml(span, InnerHtml(*span)));
  EXPECT_EQ(BodyHtml(*document), "<p>ab<i>c</i>d</p>");
  EXPECT_FALSE(document->SetOuterHtml(span, u"again"));  // detached now
}

TEST(PageModel, SerialisationParsesBackToTheSameTree) {
  const char* pages[] = {
      "<!DOCTYPE html><html lang=\"ja\"><head><title>a &amp; b</title></head><body>"
      "<p class=\"x&quot;y\">1 &lt; 2 &amp;&nbsp;3</p><pre>\n\nlead</pre>"
      "<script>if (a < b && c) {}</script><br><img src=\"i.png\" alt=\"\"><!-- note -->"
      "<textarea>\nx</textarea><svg viewBox=\"0 0 1 1\"><circle r=\"1\"/></svg></body></html>",
  };
  for (const char* page : pages) {
    auto first = Document::Parse(U16(page));
    const std::u16string once = OuterHtml(*first->root());
    auto second = Document::Parse(once);
    EXPECT_EQ(U8(OuterHtml(*second->root())), U8(once));
  }
}

TEST(PageModel, EscapesTextForElementContent) {
  EXPECT_EQ(U8(EscapeHtmlText(u"<img src=x onerror=alert(1)> & \u00a0")),
            "&lt;img src=x onerror=alert(1)&gt; &amp; &nbsp;");
}

TEST(PageModel, FramesetPageHasNoBody) {
  auto document = Document::Parse(u"<frameset cols='50%,50%'><frame src='a.html'><frame src='b.html'></frameset>");
  EXPECT_EQ(document->Body(), nullptr);
  ASSERT_NE(document->HtmlElement(), nullptr);
}

}  // namespace
}  // namespace norvex::pagetools::model

namespace norvex::pagetools::model {
namespace {

TEST(PageModel, ADocumentWithASelectionGoesWithItsLastReference) {
  std::weak_ptr<Document> watch;
  {
    auto document = Document::Parse(u"<p>fish</p>");
    Range range(document);
    ASSERT_TRUE(range.Find(u"fish", false));
    document->Select(range);
    watch = document;
  }
  EXPECT_TRUE(watch.expired());
}

TEST(PageModel, ElementsWithoutTagTextGetAName) {
  // The parser reopens an unknown formatting-like element without its tag text.
  auto document = Document::Parse(u"<p><b><x-y>a</b>b</p>");
  for (Node* e : document->Elements()) EXPECT_FALSE(e->name.empty());
}

}  // namespace
}  // namespace norvex::pagetools::model
