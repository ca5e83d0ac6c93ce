#include "search/url_template.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::search {
namespace {

class RecordingBrowser final : public BrowserConnection {
 public:
  std::u16string location;
  std::vector<std::u16string> navigations;
  std::u16string LocationUrl() override { return location; }
  void Navigate(const std::u16string& url) override { navigations.push_back(url); }
};

class FakeSearchBox final : public SearchBoxAccess {
 public:
  std::u16string text;
  std::vector<std::pair<std::u16string, bool>> added;
  std::u16string GetText() const override { return text; }
  void AddHistory(std::u16string_view value, bool write) override {
    added.emplace_back(std::u16string(value), write);
  }
};

struct TemplateCase {
  const char* name;
  const char16_t* urlTemplate;
  const char16_t* encoding;
  const char16_t* boxText;       // null: the toolbar has no search box
  const char16_t* location;      // null: no browser connection
  const char16_t* navigated;     // null: no navigation expected
  const char16_t* historyEntry;  // null: nothing added
};

const TemplateCase kCases[] = {
    {"QueryInShiftJis", u"http://s.example.jp/s?q={query}", u"ShiftJIS", u"テスト", u"",
     u"http://s.example.jp/s?q=%83e%83X%83g", u"テスト"},
    {"QueryInEuc", u"http://s.example.jp/s?q={query}", u"EUC", u"東京 タワー", u"",
     u"http://s.example.jp/s?q=%C5%EC%B5%FE+%A5%BF%A5%EF%A1%BC", u"東京 タワー"},
    {"QueryInUtf8", u"http://s.example.jp/s?q={query}&x=1", u"UTF-8", u"テスト", u"",
     u"http://s.example.jp/s?q=%E3%83%86%E3%82%B9%E3%83%88&x=1", u"テスト"},
    {"PageAddress", u"http://t.example.jp/t?u={url}", u"UTF-8", u"abc",
     u"http://www.example.jp/a/b.html?x=1&y=2",
     u"http://t.example.jp/t?u=http%3A%2F%2Fwww.example.jp%2Fa%2Fb.html%3Fx%3D1%26y%3D2", nullptr},
    {"PageAddressWithJapanese", u"http://t.example.jp/t?u={url}", u"", u"", u"http://jp/\u3042",
     u"http://t.example.jp/t?u=http%3A%2F%2Fjp%2F%E3%81%82", nullptr},
    {"UrlWinsAndQueryStaysLiteral", u"http://t.example.jp/t?u={url}&q={query}", u"UTF-8", u"abc",
     u"http://a/", u"http://t.example.jp/t?u=http%3A%2F%2Fa%2F&q={query}", nullptr},
    {"QueryTwice", u"http://s/?a={query}&b={query}", u"UTF-8", u"x y", u"",
     u"http://s/?a=x+y&b=x+y", u"x y"},
    {"PlaceholderAtStartIsAbsent", u"{query}", u"UTF-8", u"abc", u"", u"{query}", nullptr},
    {"UrlAtStartIsAbsentSoQueryIsFilled", u"{url}?q={query}", u"UTF-8", u"abc", u"http://a/",
     u"{url}?q=abc", u"abc"},
    {"TextIsTrimmed", u"http://s/?q={query}", u"UTF-8", u"  abc  ", u"", u"http://s/?q=abc",
     u"abc"},
    {"NoPlaceholders", u"http://s.example.jp/", u"UTF-8", u"abc", u"", u"http://s.example.jp/",
     nullptr},
    {"EmptyBox", u"http://s/?q={query}&r=1", u"UTF-8", u"", u"", u"http://s/?q=&r=1", nullptr},
    {"BlankBox", u"http://s/?q={query}", u"UTF-8", u"   ", u"", u"http://s/?q=", nullptr},
    {"IdeographicSpaceIsBlank", u"http://s/?q={query}", u"UTF-8", u"\u3000", u"", u"http://s/?q=",
     nullptr},
    {"WideSpacesAreTrimmed", u"http://s/?q={query}", u"UTF-8", u"\u3000\u00A0abc\u3000", u"",
     u"http://s/?q=abc", u"abc"},
    {"UnknownEncodingStillRecords", u"http://s/?q={query}", u"utf-8", u"abc", u"",
     u"http://s/?q=", u"abc"},
    {"CaseOfPlaceholders", u"http://s/?q={Query}&u={URL}&o={oem}", u"UTF-8", u"abc", u"http://a/",
     u"http://s/?q={Query}&u={URL}&o={oem}", nullptr},
    {"NoSearchBox", u"http://s/?q={query}", u"UTF-8", nullptr, u"", u"http://s/?q=", nullptr},
    {"NoBrowserNoUrlNoNavigation", u"http://t/?u={url}", u"UTF-8", u"abc", nullptr, nullptr,
     nullptr},
    {"NoBrowserStillRecordsQuery", u"http://s/?q={query}", u"UTF-8", u"abc", nullptr, nullptr,
     u"abc"},
};

// An installation folder of its own, so that "{OEM}" reads a file the test controls.
class Templates : public ::testing::Test {
 protected:
  Templates() : seams_({nullptr, nullptr, &system_}) {
    std::filesystem::create_directories(temp_.path() / "install");
    system_.module = temp_.File("install/NorvexToolbar.dll");
    system_.appData = temp_.File("appdata");
    storage::ResetVersionCacheForTesting();
  }
  ~Templates() override { storage::ResetVersionCacheForTesting(); }

  void WriteOem(const std::u16string& value) {
    test::WriteBytes(temp_.File("install/norvexOEM.ini"),
                     test::Utf16LeWithBom(u"[product]\r\nOEM=" + value + u"\r\n"));
  }

  test::TempFolder temp_;
  test::FakeSystemInfo system_;
  platform::ScopedSeams seams_;
};

class TemplateCases : public Templates, public ::testing::WithParamInterface<TemplateCase> {};

TEST_P(TemplateCases, FillsAndNavigates) {
  const TemplateCase& c = GetParam();
  RecordingBrowser browser;
  FakeSearchBox box;
  TemplateSources sources;
  if (c.location) {
    browser.location = c.location;
    sources.browser = &browser;
  }
  if (c.boxText) {
    box.text = c.boxText;
    sources.searchBox = &box;
  }
  OpenTemplateUrl(c.urlTemplate, c.encoding, sources);
  if (c.navigated) {
    ASSERT_EQ(browser.navigations.size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(browser.navigations[0]), Utf16ToUtf8(c.navigated));
  } else {
    EXPECT_TRUE(browser.navigations.empty());
  }
  if (c.historyEntry) {
    ASSERT_EQ(box.added.size(), 1u);
    EXPECT_EQ(box.added[0].first, c.historyEntry);
    EXPECT_TRUE(box.added[0].second);
  } else {
    EXPECT_TRUE(box.added.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Templates, PartnerIdentifierIsInsertedAsRead) {
  RecordingBrowser browser;
  FakeSearchBox box;
  box.text = u"abc";
  const TemplateSources sources{&browser, &box};
  EXPECT_EQ(BuildTemplateUrl(u"http://s/?q={query}&oem={OEM}", u"UTF-8", sources),
            u"http://s/?q=abc&oem=");
  WriteOem(u"p&{query}1");
  EXPECT_EQ(BuildTemplateUrl(u"http://s/?q={query}&oem={OEM}&again={OEM}", u"UTF-8", sources),
            u"http://s/?q=abc&oem=p&{query}1&again=p&{query}1");
  browser.location = u"http://a/";
  EXPECT_EQ(BuildTemplateUrl(u"http://t/?u={url}&oem={OEM}", u"UTF-8", sources),
            u"http://t/?u=http%3A%2F%2Fa%2F&oem=p&{query}1");
  EXPECT_EQ(BuildTemplateUrl(u"{OEM}x", u"UTF-8", sources), u"{OEM}x");
}

TEST(Placeholders, PresenceAndReplacement) {
  EXPECT_TRUE(HasPlaceholder(u"a{url}", u"{url}"));
  EXPECT_FALSE(HasPlaceholder(u"{url}a{url}", u"{url}"));
  EXPECT_FALSE(HasPlaceholder(u"a{URL}", u"{url}"));
  EXPECT_EQ(ReplaceAll(u"a{q}b{q}", u"{q}", u"{q}{q}"), u"a{q}{q}b{q}{q}");
  EXPECT_EQ(ReplaceAll(u"abc", u"{q}", u"x"), u"abc");
}

}  // namespace
}  // namespace norvex::search
