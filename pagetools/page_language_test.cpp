#include "pagetools/page_language.h"

#include <gtest/gtest.h>

#include "pagetools/model_document.h"

namespace norvex::pagetools {
namespace {

TEST(ChooseTranslationItem, FirstMatchingRowWins) {
  const struct {
    std::u16string charset, language;
    int position;
  } cases[] = {
      {u"shift_jis", u"en", 1}, {u"EUC-JP", u"", 1},   {u"utf-8", u"ja", 1},
      {u"", u"", 0},            {u"utf-8", u"en-US", 0}, {u"", u"ko-KR", 4},
      {u"", u"zh-TW", 2},       {u"Big5", u"", 2},     {u"euc-kr", u"", 4},
      {u"korean", u"", 4},      {u"gb18030", u"ko", 2}, {u"", u"Gen", 0},  // "en" anywhere
      {u"iso-8859-1", u"fr", 0}, {u"utf-8", u"JA-jp", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseTranslationItem(c.charset, c.language), c.position)
        << std::string(c.charset.begin(), c.charset.end()) << "/"
        << std::string(c.language.begin(), c.language.end());
  }
}

// A browser whose page is a document of our model with the given charset and html lang.
class FakeBrowser final : public Browser {
 public:
  std::u16string url, charset, language;
  std::u16string LocationUrl() override { return url; }
  void Navigate(const std::u16string& u) override { url = u; }
  std::shared_ptr<PageDocument> TopDocument() override {
    auto document = model::Document::Parse(
        language.empty() ? u"<html><body></body></html>"
                         : u"<html lang=\"" + language + u"\"><body></body></html>");
    document->charset = charset;
    return MakeModelDocument(document);
  }
  std::unique_ptr<NewBrowserWindow> CreateBrowserWindow() override { return nullptr; }
};

class Watcher : public ::testing::Test {
 protected:
  std::optional<int> Load(const std::u16string& url, const std::u16string& charset,
                          const std::u16string& language) {
    browser_.url = url;
    browser_.charset = charset;
    browser_.language = language;
    watcher_.OnBeforeNavigate(url);
    return watcher_.OnDocumentComplete();
  }

  FakeBrowser browser_;
  PageLanguageWatcher watcher_{browser_};
};

TEST_F(Watcher, NewPageChoosesTheSuitableItem) {
  EXPECT_EQ(Load(u"http://a.example/", u"shift_jis", u""), 1);
  EXPECT_EQ(Load(u"http://b.example/", u"utf-8", u"ko"), 4);

  // The same address again: no detection.
  browser_.language = u"en";
  watcher_.OnBeforeNavigate(u"http://b.example/");
  EXPECT_EQ(watcher_.OnDocumentComplete(), std::nullopt);

  // A frame's navigation marks a change; the next completion runs for the top page.
  watcher_.OnBeforeNavigate(u"http://b.example/frame");
  EXPECT_EQ(watcher_.OnDocumentComplete(), 0);
}

TEST_F(Watcher, EmptyAddressRetriesAtTheNextCompletion) {
  // The browser reports no address yet at the first completion.
  browser_.charset = u"euc-jp";
  watcher_.OnBeforeNavigate(u"http://c.example/");
  EXPECT_EQ(watcher_.OnDocumentComplete(), 1);
  browser_.url = u"http://c.example/";
  browser_.charset = u"big5";
  EXPECT_EQ(watcher_.OnDocumentComplete(), 2);
  EXPECT_EQ(watcher_.OnDocumentComplete(), std::nullopt);  // nothing changed since
}

}  // namespace
}  // namespace norvex::pagetools
