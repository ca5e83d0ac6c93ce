#include "pagetools/page_language.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pagetools/model_document.h"
#include "storage/data_folders.h"
#include "tests/null_toolbar_actions.h"
#include "tests/test_installation.h"
#include "toolbar/headless_surface.h"
#include "toolbar/toolbar_window.h"

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

class Watcher : public ::testing::Test, protected test::TestInstallation {
 protected:
  Watcher() {
    UseSampleInstallation();
    surface_.width = surface_.parentWidth = 2000;
    window_.OnCreate();
    window_.OnSize(2000);
    webButton_ = window_.agents().webTranslationButton;
  }

  void Load(const std::u16string& url, const std::u16string& charset,
            const std::u16string& language) {
    browser_.url = url;
    browser_.charset = charset;
    browser_.language = language;
    watcher_.OnBeforeNavigate(url);
    watcher_.OnDocumentComplete(&window_);
  }
  const toolbar::AgentButton& WebButton() const { return *window_.Button(webButton_); }

  toolbar::HeadlessSurface surface_;
  test::NullToolbarActions actions_;
  toolbar::ToolbarWindow window_{surface_, actions_};
  FakeBrowser browser_;
  PageLanguageWatcher watcher_{browser_};
  int webButton_ = 0;
};

TEST_F(Watcher, NewPageGivesTheButtonTheSuitableItem) {
  ASSERT_NE(webButton_, 0);
  const auto& items = window_.agents().webTranslationItems;
  ASSERT_EQ(items.size(), 5u);
  Load(u"http://a.example/", u"shift_jis", u"");
  EXPECT_EQ(WebButton().commandId, items[1].id);
  EXPECT_EQ(WebButton().text, items[1].caption);
  EXPECT_EQ(window_.ButtonByCommand(items[1].id), &WebButton());

  Load(u"http://b.example/", u"utf-8", u"ko");
  EXPECT_EQ(WebButton().commandId, items[4].id);

  // The same address again: no detection, the button keeps its item.
  browser_.language = u"en";
  watcher_.OnBeforeNavigate(u"http://b.example/");
  watcher_.OnDocumentComplete(&window_);
  EXPECT_EQ(WebButton().commandId, items[4].id);

  // A frame's navigation marks a change; the next completion runs for the top page.
  watcher_.OnBeforeNavigate(u"http://b.example/frame");
  watcher_.OnDocumentComplete(&window_);
  EXPECT_EQ(WebButton().commandId, items[0].id);
}

TEST_F(Watcher, EmptyAddressRetriesAtTheNextCompletion) {
  // The browser reports no address yet at the first completion.
  browser_.charset = u"euc-jp";
  watcher_.OnBeforeNavigate(u"http://c.example/");
  watcher_.OnDocumentComplete(&window_);
  EXPECT_EQ(WebButton().commandId, window_.agents().webTranslationItems[1].id);
  browser_.url = u"http://c.example/";
  browser_.charset = u"big5";
  watcher_.OnDocumentComplete(&window_);
  EXPECT_EQ(WebButton().commandId, window_.agents().webTranslationItems[2].id);
  const int repaints = surface_.repaints;
  watcher_.OnDocumentComplete(&window_);  // nothing changed since
  EXPECT_EQ(surface_.repaints, repaints);
}

}  // namespace
}  // namespace norvex::pagetools
