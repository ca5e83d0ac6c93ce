#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/tools/cp932_table.h"
#include "tests/test_support.h"

namespace norvex::platform {
namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  char buffer[4];
  for (unsigned char b : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", b);
    if (!out.empty()) out += ' ';
    out += buffer;
  }
  return out;
}

struct Case {
  const char16_t* text;
  const char* bytes;  // hexadecimal, as Windows gives them
};

// Forms where a converter that follows only the JIS tables differs from Windows, whose own
// conversion (best-fit mappings included) gives these.
const Case kCases[] = {
    {u"", ""},
    {u"abc XYZ", "61 62 63 20 58 59 5A"},
    {u"テスト", "83 65 83 58 83 67"},
    {u"東京", "93 8C 8B 9E"},
    {u"\u2460", "87 40"},           // circled digit one (NEC row 13)
    {u"\uFF71\uFF9F", "B1 DF"},     // half-width katakana: one byte each
    {u"\u301C", "3F"},              // wave dash: no form, only the full-width tilde has one
    {u"\uFF5E", "81 60"},           // full-width tilde
    {u"\u2016", "3F"},              // double vertical line: no form
    {u"\u2225", "81 61"},           // parallel to
    {u"\u2212", "3F"},              // minus sign: no form
    {u"\uFF0D", "81 7C"},           // full-width hyphen-minus
    {u"\u2014\u2015", "3F 81 5C"},  // em dash has none, horizontal bar has
    {u"\u00A2\u00A3\u00AC", "81 91 81 92 81 CA"},  // cent, pound, not signs (best fit)
    {u"\uFFE0\uFFE1\uFFE2", "81 91 81 92 81 CA"},  // their full-width forms
    {u"\u00E9\u00C5\u00DF", "65 41 73"},          // accented Latin: best fit to ASCII
    {u"\u3094", "83 94"},           // hiragana vu: best fit to katakana vu
    {u"\u0080\uF8F0\uF8F3", "80 A0 FF"},  // single bytes with no character of their own
    {u"\u00A5\u203E", "5C 3F"},     // yen sign (best fit to the backslash byte), overline
    {u"\u2170", "FA 40"},           // small roman numeral one (IBM extension)
    {u"\U0001F600", "3F 3F"},       // a surrogate pair: one default character per unit
    {u"\xD800", "3F"},              // a lone surrogate
    {u"\uE000", "F0 40"},           // the first user-defined character
};

class CodePage932Case : public ::testing::TestWithParam<Case> {};

TEST_P(CodePage932Case, GivesWindowsBytes) {
  const auto bytes = ToCodePage932(GetParam().text, 1024);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(Hex(*bytes), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Forms, CodePage932Case, ::testing::ValuesIn(kCases));

TEST(CodePage932, FailsWholeWhenTheTerminatorDoesNotFit) {
  const std::u16string kanji(511, u'東');                  // 1022 bytes
  EXPECT_EQ(ToCodePage932(kanji, 1024)->size(), 1022u);
  EXPECT_EQ(ToCodePage932(kanji + u"a", 1024)->size(), 1023u);  // 1023 + terminator = 1024
  EXPECT_FALSE(ToCodePage932(kanji + u"ab", 1024).has_value());
  EXPECT_FALSE(ToCodePage932(kanji + u"東", 1024).has_value());
  EXPECT_FALSE(ToCodePage932(u"a", 1).has_value());
  EXPECT_EQ(ToCodePage932(u"", 1), std::string());
}

// Every code unit against the table that Windows' own conversion gave under Wine. On Windows
// this checks the table; on POSIX it checks our encoder.
TEST(CodePage932, EveryCodeUnitMatchesTheWindowsTable) {
  const std::string text =
      test::ReadBytes(test::SourceFolder() + u"/platform/testdata/cp932_table.txt");
  ASSERT_FALSE(text.empty());
  const auto expected = tools::ParseCp932Table(text);
  ASSERT_TRUE(expected.has_value());
  const tools::Cp932Table actual = tools::BuildCp932TableFromSeam();
  int differences = 0;
  std::string shown;
  for (unsigned unit = 0; unit < 65536; ++unit) {
    if ((*expected)[unit] == actual[unit]) continue;
    if (++differences <= 40) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "U+%04X: ", unit);
      shown += std::string(buffer) + "expected " + Hex((*expected)[unit]) + ", got " +
               Hex(actual[unit]) + "\n";
    }
  }
  EXPECT_EQ(differences, 0) << shown;
}

// Double-byte sequences read as Windows reads them (MultiByteToWideChar(932), which POSIX's
// iconv matches for every lead and trail pair).
TEST(CodePage932, ReadsDoubleByteCharacters) {
  const struct {
    unsigned char lead, trail;
    char16_t character;  // 0: none
  } cases[] = {
      {0x83, 0x65, u'\u30C6'},  // テ
      {0x93, 0x8C, u'\u6771'},  // 東
      {0x81, 0x60, u'\uFF5E'},  // the wave dash's bytes read as the full-width tilde
      {0x87, 0x40, u'\u2460'},  // NEC row 13
      {0xFA, 0x40, u'\u2170'},  // IBM extension
      {0xF0, 0x40, u'\uE000'},  // user-defined
      {0xFC, 0x4B, u'\u9ED1'},  // the last assigned pair
      {0xFC, 0x4C, 0},         {0x85, 0x40, 0},  // an unassigned row
      {0x81, 0xAD, 0},         {0x81, 0x20, 0},  // no trail byte
      {0xA0, 0x40, 0},                           // no lead byte
      {0x41, 0x42, 0},
  };
  for (const auto& c : cases) {
    const std::optional<char16_t> character = FromCodePage932(c.lead, c.trail);
    EXPECT_EQ(character.value_or(0), c.character) << std::hex << int(c.lead) << int(c.trail);
  }
}

TEST(CodePage932Table, FormatAndParseRoundTrip) {
  tools::Cp932Table table(65536, "?");
  table[0x41] = "A";
  table[0x42] = "B";
  table[0x3F] = "?";
  table[0x3042] = "\x82\xA0";
  table[0x3043] = "\x82\xA1";
  table[0xFF71] = "\xB1";
  const std::string text = tools::FormatCp932Table(table, "test");
  EXPECT_NE(text.find("0041-0042 41\n"), std::string::npos) << text;
  EXPECT_NE(text.find("3042-3043 82A0\n"), std::string::npos) << text;
  const auto parsed = tools::ParseCp932Table(text);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_TRUE(*parsed == table);
}

TEST(CodePage932Table, RejectsMalformedLines) {
  for (const char* bad : {"0041 4", "0041-0040 41", "0042 42\n0041 41", "zz 41", "0041",
                          "FFFF-FFFF 1FF", "00FF-0101 FE"}) {
    EXPECT_FALSE(tools::ParseCp932Table(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace norvex::platform
