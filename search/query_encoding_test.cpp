#include "search/query_encoding.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::search {
namespace {

struct QueryCase {
  const char16_t* query;
  const char16_t* encoding;
  const char* encoded;
};

const QueryCase kQueryCases[] = {
    {u"テスト", u"UTF-8", "%E3%83%86%E3%82%B9%E3%83%88"},
    {u"テスト", u"ShiftJIS", "%83e%83X%83g"},
    {u"テスト", u"EUC", "%A5%C6%A5%B9%A5%C8"},
    {u"東京 タワー", u"EUC", "%C5%EC%B5%FE+%A5%BF%A5%EF%A1%BC"},
    {u"a b+c/d~e", u"UTF-8", "a+b%2Bc%2Fd%7Ee"},
    {u"a b+c/d~e", u"ShiftJIS", "a+b%2Bc%2Fd%7Ee"},
    {u"a b+c/d~e", u"EUC", "a+b%2Bc%2Fd%7Ee"},
    {u"テスト", u"utf-8", ""},
    {u"テスト", u"UTF8", ""},
    {u"テスト", u"Shift_JIS", ""},
    {u"テスト", u"EUC-JP", ""},
    {u"テスト", u"", ""},
    {u"", u"UTF-8", ""},
    {u"", u"ShiftJIS", ""},
    {u"", u"EUC", ""},
    {u"\u2460", u"ShiftJIS", "%87%40"},
    {u"\u2460", u"EUC", "%AD%A1"},
    {u"\u301C\uFF5E", u"ShiftJIS", "%3F%81%60"},  // wave dash has no form, full-width tilde has
    {u"\uFF5E", u"EUC", "%A1%C1"},
    {u"\uFF71", u"ShiftJIS", "%B1"},                  // half-width katakana
    {u"\uFF71\uFF9E", u"EUC", "%8E%B1%8E%DE"},
    {u"\uE000", u"EUC", "%F5%A1"},                    // user-defined area, main plane
    {u"\uE3AC", u"EUC", "%8F%F5%A1"},                 // user-defined area, supplementary plane
    {u"髙橋", u"ShiftJIS", "%FB%FC%8B%B4"},          // an IBM extension kanji
    {u"髙橋", u"EUC", "%FC%E2%B6%B6"},
    {u"_-.*09azAZ", u"UTF-8", "_-.*09azAZ"},
    {u"!\"#$%&'()", u"UTF-8", "%21%22%23%24%25%26%27%28%29"},
    {u"\u00E9", u"UTF-8", "%C3%A9"},
    {u"\U0001F600", u"UTF-8", "%ED%A0%BD%ED%B8%80"},  // surrogates one by one
    {u"\U0001F600", u"ShiftJIS", "%3F%3F"},
};

class EncodeQueryCase : public ::testing::TestWithParam<QueryCase> {};

TEST_P(EncodeQueryCase, Encodes) {
  const QueryCase& c = GetParam();
  EXPECT_EQ(EncodeQuery(c.query, c.encoding), c.encoded)
      << Utf16ToUtf8(c.query) << " / " << Utf16ToUtf8(c.encoding);
}

TEST(EncodeQuery, EndsAtTheFirstNul) {
  const std::u16string query(u"a\u3042\0cd", 5);
  EXPECT_EQ(EncodeQuery(query, u"UTF-8"), "a%E3%81%82");
  EXPECT_EQ(EncodeQuery(query, u"ShiftJIS"), "a%82%A0");
  EXPECT_EQ(EncodeQuery(query, u"EUC"), "a%A4%A2");
}

INSTANTIATE_TEST_SUITE_P(Queries, EncodeQueryCase, ::testing::ValuesIn(kQueryCases));

TEST(EncodeQuery, OverlongShiftJisFormDisappearsButUtf8IsKept) {
  const std::u16string query(512, u'東');  // 1024 bytes of Shift_JIS, 1025 with the terminator
  EXPECT_EQ(EncodeQuery(query, u"ShiftJIS"), "");
  EXPECT_EQ(EncodeQuery(query, u"EUC"), "");
  std::string utf8;
  for (int i = 0; i < 512; ++i) utf8 += "%E6%9D%B1";
  EXPECT_EQ(EncodeQuery(query, u"UTF-8"), utf8);
  const std::u16string fits(511, u'東');
  EXPECT_EQ(ToShiftJisBytes(fits + u"a").size(), 1023u);
  EXPECT_EQ(ToShiftJisBytes(fits + u"ab"), "");
}

TEST(ToUtf8Bytes, EncodesEachCodeUnit) {
  EXPECT_EQ(ToUtf8Bytes(u"A\u00E9\u3042"), "A\xC3\xA9\xE3\x81\x82");
  EXPECT_EQ(ToUtf8Bytes(u"\u07FF\u0800\uFFFF"), "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
  EXPECT_EQ(ToUtf8Bytes(std::u16string(u"x\0y", 3)), "x");
}

struct EucCase {
  const char* shiftJis;
  const char* euc;
};

const EucCase kEucCases[] = {
    {"abc", "abc"},
    {"\x80" "a\xA0" "b\xFD\xFE\xFF" "c", "\x80" "a\xA0" "b\xFD\xFE\xFF" "c"},  // single bytes
    {"\x88\x9F", "\xB0\xA1"},          // first kanji of level 1
    {"\x81\x40", "\xA1\xA1"},          // ideographic space
    {"\x82\xA0", "\xA4\xA2"},          // hiragana a
    {"\x9F\xFC", "\xDE\xFE"},          // last cell before the 0xE0 block
    {"\xE0\x40", "\xDF\xA1"},
    {"\xEA\xA4", "\xF4\xA6"},          // last kanji of level 2
    {"\x87\x40", "\xAD\xA1"},          // NEC row 13
    {"\xB1\xDF", "\x8E\xB1\x8E\xDF"},  // half-width katakana
    {"\xF0\x40", "\xF5\xA1"},
    {"\xF4\xFC", "\xFE\xFE"},
    {"\xF5\x40", "\x8F\xF5\xA1"},
    {"\xF9\xFC", "\x8F\xFE\xFE"},
    {"\xFA\x40", "\xFC\xF1"},          // IBM small roman one, as its NEC-selected twin EEEF
    {"\xFA\x4A", "\xAD\xB5"},          // IBM roman one, as NEC row 13 (8754)
    {"\xFA\x54", "\xA2\xCC"},          // IBM not sign, as 81CA
    {"\xFA\x58", "\xAD\xEA"},          // IBM (株), as 878A
    {"\xFA\x5C", "\xF9\xA1"},          // first IBM kanji, as ED40
    {"\xED\x40", "\xF9\xA1"},          // its NEC-selected twin itself
    {"\xFB\xFC", "\xFC\xE2"},          // 髙, as EEE0
    {"\xFC\x4B", "\xFC\xEE"},          // last IBM kanji, as EEEC
};

class ShiftJisToEucCase : public ::testing::TestWithParam<EucCase> {};

TEST_P(ShiftJisToEucCase, Converts) {
  EXPECT_EQ(ShiftJisToEuc(GetParam().shiftJis), GetParam().euc);
}

INSTANTIATE_TEST_SUITE_P(Bytes, ShiftJisToEucCase, ::testing::ValuesIn(kEucCases));

TEST(ShiftJisToEuc, LeadByteAtTheEndPairsWithZero) {
  // c2 = 0: cell 0 - 0x1F wraps, row lowered, as the pairing rule computes it.
  EXPECT_EQ(ShiftJisToEuc("a\x88"), "a\xAF\x61");
}

TEST(PercentEncodeBytes, EscapesAllButTheSafeSet) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string encoded = PercentEncodeBytes(all);
  int copied = 0;
  for (char c : encoded) {
    EXPECT_LT(static_cast<unsigned char>(c), 0x80);
  }
  for (int b = 0; b < 256; ++b) {
    const std::string one = PercentEncodeBytes(std::string(1, static_cast<char>(b)));
    if (one.size() == 1 && one[0] != '+') ++copied;
  }
  EXPECT_EQ(copied, 66);
  EXPECT_EQ(PercentEncodeBytes(" "), "+");
  EXPECT_EQ(PercentEncodeBytes("/\x82"), "%2F%82");
}

struct UrlCase {
  const char16_t* text;
  size_t length;  // characters to encode; npos for all
  const char16_t* encoded;
};

const UrlCase kUrlCases[] = {
    {u"http://example.jp/a/b?x=1&y=%41", std::u16string_view::npos,
     u"http%3A%2F%2Fexample.jp%2Fa%2Fb%3Fx%3D1%26y%3D%2541"},
    {u"a b~", std::u16string_view::npos, u"a+b%7E"},
    {u"http://example.jp/", 7, u"http%3A%2F%2F"},
    {u"http://jp/\u3042", std::u16string_view::npos, u"http%3A%2F%2Fjp%2F%E3%81%82"},
    {u"\u00E9", std::u16string_view::npos, u"%C3%A9"},
    {u"\u00FF", std::u16string_view::npos, u"%C3%BF"},
    {u"\U0001F600", std::u16string_view::npos, u"%F0%9F%98%80"},
    {u"\xD800x", std::u16string_view::npos, u"%EF%BF%BDx"},
    {u"", std::u16string_view::npos, u""},
};

class PercentEncodeUrlCase : public ::testing::TestWithParam<UrlCase> {};

TEST_P(PercentEncodeUrlCase, Encodes) {
  const std::u16string_view text = GetParam().text;
  const size_t length = GetParam().length == std::u16string_view::npos ? text.size()
                                                                        : GetParam().length;
  EXPECT_EQ(Utf16ToUtf8(PercentEncodeUrl(text, length)), Utf16ToUtf8(GetParam().encoded));
}

INSTANTIATE_TEST_SUITE_P(Urls, PercentEncodeUrlCase, ::testing::ValuesIn(kUrlCases));

TEST(PercentEncodeUrl, EncodesEmbeddedNulWithinTheLength) {
  EXPECT_EQ(PercentEncodeUrl(std::u16string(u"a\0b", 3), 3), u"a%00b");
}

}  // namespace
}  // namespace norvex::search
