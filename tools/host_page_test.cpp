#include "tools/host_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/text.h"
#include "pagetools/browser_page.h"
#include "pagetools/model_document.h"
#include "tests/test_support.h"

namespace norvex::tools {
namespace {

using pagetools::model::Document;

const std::string kPages = NORVEX_SESSION_PAGES;

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

TEST(HostPage, LoadsAPageWithItsDeclaredCharsetAndAddress) {
  std::string error;
  auto page = LoadPageFile(kPages + "/japanese.html", u"http://tenki.example/", error);
  ASSERT_TRUE(page) << error;
  EXPECT_EQ(U8(page->url), "http://tenki.example/");
  EXPECT_EQ(U8(page->charset), "utf-8");
  page = LoadPageFile(kPages + "/article.html", u"", error);
  ASSERT_TRUE(page);
  EXPECT_EQ(U8(page->url).rfind("file://", 0), 0u);
  EXPECT_NE(U8(page->url).find("article.html"), std::string::npos);
  EXPECT_FALSE(LoadPageFile(kPages + "/missing.html", u"", error));
  EXPECT_NE(error.find("cannot read"), std::string::npos);
}

int CountHighlights(const Document& page) {
  int count = 0;
  for (pagetools::model::Node* e : page.Elements()) {
    const std::u16string* id = e->FindAttribute(u"id");
    if (e->IsElement(u"span") && id && *id == pagetools::kHighlightId) ++count;
  }
  return count;
}

// Pages in Japanese legacy encodings are read as a browser reads them: find and highlight work
// on their words (in Shift_JIS, 表, ソ and 能 end in the byte of a backslash), and the saved files
// read the same again.
TEST(HostPage, ReadsShiftJisAndEucJpPages) {
  const struct {
    const char* file;
    const char* charset;
    const char* highlight;  // UTF-8
    int highlights;
    const char* find;
    const char* found;  // the selection's text
  } cases[] = {
      {"shift_jis.html", "shift_jis", "ページ 表示", 4, "ソフト", "ソフト"},
      {"shift_jis.html", "shift_jis", "ガイド ①", 2, "～", "～"},
      {"euc-jp.html", "euc-jp", "東京", 2, "がいど", "ｶﾞｲﾄﾞ"},
  };
  for (const auto& c : cases) {
    std::string error;
    auto page = LoadPageFile(kPages + "/" + c.file, u"http://jp.example/", error);
    ASSERT_TRUE(page) << error;
    EXPECT_EQ(U8(page->charset), c.charset) << c.file;
    EXPECT_EQ(pagetools::model::ReaderText(*page).find(u'\uFFFD'), std::u16string::npos) << c.file;
    pagetools::ModelBrowser browser;
    browser.page = page;
    pagetools::BrowserPage tools(&browser);
    EXPECT_TRUE(tools.HighlightWords(U16(c.highlight))) << c.file;
    EXPECT_EQ(CountHighlights(*page), c.highlights) << c.file;
    tools.RemoveHighlights();
    tools.FindNext(U16(c.find), false, 0);
    ASSERT_TRUE(page->selection) << c.file;
    EXPECT_EQ(U8(page->selection->Text()), c.found) << c.file;

    test::TempFolder folder;
    ASSERT_TRUE(SavePageFiles(*page, folder.path().string(), error)) << error;
    auto again = LoadPageFile(folder.path().string() + "/page.html", u"", error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(U8(again->charset), "utf-8");
    EXPECT_EQ(U8(pagetools::model::ReaderText(*again)), U8(pagetools::model::ReaderText(*page)));
  }
}

TEST(HostPage, FramesAreReadRelativeToThePage) {
  std::string error;
  auto page = LoadPageFile(kPages + "/frames/index.html", u"http://site.example/f/index.html", error);
  ASSERT_TRUE(page) << error;
  ASSERT_EQ(page->frames.size(), 2u);
  EXPECT_EQ(U8(page->frames[0]->url), "http://site.example/f/menu.html");
  EXPECT_EQ(U8(page->frames[1]->url), "http://site.example/f/content.html");
  EXPECT_NE(U8(pagetools::model::ReaderText(*page->frames[1])).find("Grilled FISH"),
            std::string::npos);
  EXPECT_EQ(page->Body(), nullptr);
}

TEST(HostPage, SelectionLineNamesTheLatestDocument) {
  std::string error;
  auto page = LoadPageFile(kPages + "/iframes.html", u"http://x.example/", error);
  ASSERT_TRUE(page);
  EXPECT_EQ(SelectionLine(*page), "selection none");
  pagetools::model::Range range(page->frames[0]);
  ASSERT_TRUE(range.Find(u"raw", false));
  page->frames[0]->Select(range);
  EXPECT_EQ(SelectionLine(*page), "selection frame 0 Raw");
  pagetools::model::Range top(page);
  ASSERT_TRUE(top.Find(u"market", false));
  page->Select(top);
  EXPECT_EQ(SelectionLine(*page), "selection top market");
}

TEST(HostPage, SavedPagesParseBackToTheSameTrees) {
  test::TempFolder folder;
  std::string error;
  auto page = LoadPageFile(kPages + "/frames/index.html", u"", error);
  ASSERT_TRUE(page);
  // Highlight in the frames first, so that the saved files hold the highlight markup.
  pagetools::ModelBrowser browser;
  browser.page = page;
  pagetools::BrowserPage tools(&browser);
  tools.HighlightWords(u"fish");
  const std::string dir = folder.path().string() + "/saved";
  ASSERT_TRUE(SavePageFiles(*page, dir, error)) << error;
  const std::pair<std::string, const Document*> files[] = {
      {"page.html", page.get()},
      {"frame-0.html", page->frames[0].get()},
      {"frame-1.html", page->frames[1].get()}};
  for (const auto& [name, document] : files) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string content = bytes.str();
    ASSERT_EQ(content.compare(0, 3, "\xEF\xBB\xBF"), 0) << name;
    const std::u16string html = Utf8ToUtf16(content.substr(3));
    EXPECT_EQ(U8(html), U8(pagetools::model::OuterHtml(*document->root()))) << name;
    auto again = Document::Parse(html);
    EXPECT_EQ(U8(pagetools::model::OuterHtml(*again->root())), U8(html)) << name;
  }
  std::ifstream content(dir + "/frame-1.html", std::ios::binary);
  std::stringstream bytes;
  bytes << content.rdbuf();
  EXPECT_NE(bytes.str().find("<span id=\"norvex_toolbar_hi\""), std::string::npos);
}

}  // namespace
}  // namespace norvex::tools
