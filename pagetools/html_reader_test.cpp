// Our HTML reader (the Windows build's parser) against gumbo (the Linux build's) on the markup
// the tests and sessions use: both must build the same trees.
#include "pagetools/html_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/text.h"
#include "pagetools/page_encoding.h"

namespace norvex::pagetools::model {
namespace {

std::string Tree(std::u16string_view html, HtmlParser& parser) {
  auto document = Document::Parse(html, &parser);
  return Utf16ToUtf8(OuterHtml(*document->root()));
}

std::string Fragment(std::u16string_view html, std::u16string_view context, HtmlParser& parser) {
  auto document = Document::Create();
  Node* holder = document->NewElement(std::u16string(context));
  std::string out;
  for (Node* n : parser.ParseFragment(html, *holder, *document)) out += Utf16ToUtf8(OuterHtml(*n));
  return out;
}

const char* const kPages[] = {
    "<!DOCTYPE html><html lang='ja'><head><meta charset='utf-8'><title>T &amp; t</title>"
    "<style>p { color: red }</style></head><body><h1>Head</h1><p>One<p>Two <b>bold</b>"
    "<ul><li>a<li>b</ul><table><tr><td>c<td>d</tr></table><pre>\nx  y</pre>"
    "<script>if (a < b) {}</script><img src=a.png alt=\"x\"><br>&copy; &#x41;&#66;</body></html>",
    "<html><body><div id=main><p>Tok<b>yo</b> &lt;img src=x&gt;</div><dl><dt>t<dd>d</dl>"
    "<select><option>1<option>2</select><textarea>\nt</textarea><!-- c --></body></html>",
    "<frameset cols=\"50%,50%\"><frame src=\"a.html\"><frame src=\"b.html\"></frameset>",
    "plain text only",
    "<p>a<svg viewBox='0 0 1 1'><circle r='1'/><text>t</text></svg>b</p>",
    "<p>x</p>\n<p>y</p>\n",
    // "</" before anything but a letter: a comment, or text at the very end.
    "<p>a</ p>b</ b >c</1>d</-->e</>f</",
    "<div>x</ div",
};

TEST(HtmlReader, BuildsTheTreesGumboBuilds) {
  HtmlReader reader;
  for (const char* page : kPages) {
    EXPECT_EQ(Tree(U16(page), reader), Tree(U16(page), DefaultHtmlParser())) << page;
  }
}

TEST(HtmlReader, SessionPagesGiveTheSameTrees) {
  HtmlReader reader;
  const std::filesystem::path folder(NORVEX_SESSION_PAGES);
  int pages = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().extension() != ".html") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::u16string html = DecodePage(bytes.str()).text;
    EXPECT_EQ(Tree(html, reader), Tree(html, DefaultHtmlParser())) << entry.path();
    ++pages;
  }
  EXPECT_GT(pages, 0);
}

TEST(HtmlReader, FragmentsMatchGumbo) {
  HtmlReader reader;
  const struct {
    const char* html;
    const char* context;
  } cases[] = {
      {"<span id='norvex_toolbar_hi' style='BACKGROUND-COLOR:#FFFF00;color:#000000;'>a&amp;b</span>", "p"},
      {"plain &lt;text&gt;", "div"},
      {"<b>x</b><i>y</i>", "li"},
      {"<p>para</p>", "div"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Fragment(U16(c.html), U16(c.context), reader),
              Fragment(U16(c.html), U16(c.context), DefaultHtmlParser()))
        << c.html;
  }
}

TEST(HtmlReader, SimpleFragmentsOnlyWhenEveryParserAgrees) {
  auto document = Document::Create();
  Node* p = document->NewElement(u"p");
  Node* table = document->NewElement(u"table");
  EXPECT_TRUE(ReadSimpleFragment(u"<span id='a'>x &amp; y</span>", *p, *document));
  EXPECT_FALSE(ReadSimpleFragment(u"<span>x</b>", *p, *document));
  EXPECT_FALSE(ReadSimpleFragment(u"<div>x</div>", *p, *document));
  EXPECT_FALSE(ReadSimpleFragment(u"<span>x</span>", *table, *document));
  EXPECT_FALSE(ReadSimpleFragment(u"<span>open", *p, *document));
}

}  // namespace
}  // namespace norvex::pagetools::model
