#include "common/text.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace norvex {
namespace {

TEST(Utf8, RoundTripsValidAndInvalidBytes) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"abc", u"abc"},
      {"\xE3\x81\x82", u"\u3042"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\x85", u"\xDC85"},                 // lone continuation byte is escaped
      {"\xE3\x81", u"\xDCE3\xDC81"},       // cut-short sequence
      {"\xC0\xAF", u"\xDCC0\xDCAF"},       // overlong form
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},  // encoded surrogate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes) << c.bytes;
  }
}

// As browsers read pages: one U+FFFD for each maximal ill-formed subsequence.
TEST(Utf8, ReplacingReadsIllFormedBytesAsBrowsersDo) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"a\xF0\x9F\x98\x80", u"a\U0001F600"},
      {"\x85", u"\uFFFD"},
      {"\xE3\x81"
       "b",
       u"\uFFFD"
       "b"},                                              // cut short: one replacement
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong: no sequence starts with C0
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF0\x9F\x98", u"\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16Replacing(c.bytes), c.text) << c.bytes;
}

// Names in HTML and charset labels fold ASCII letters only; HTML's white space is five
// characters, not every space.
TEST(Text, AsciiCaseAndHtmlSpace) {
  EXPECT_EQ(ToLowerAscii(u"DIV Shift_JIS \u00C9\uFF21"), u"div shift_jis \u00C9\uFF21");
  EXPECT_EQ(ToUpperAscii(u"span \u00e9\uff41"), u"SPAN \u00e9\uff41");
  for (char16_t c : std::u16string(u" \t\n\f\r")) EXPECT_TRUE(IsHtmlSpace(c)) << int(c);
  for (char16_t c : std::u16string(u"\v\u00A0\u3000x")) EXPECT_FALSE(IsHtmlSpace(c)) << int(c);
}

TEST(Utf8, LoneHighSurrogateBecomesReplacementCharacter) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800" u"b"), "a\xEF\xBF\xBD" "b");
}

TEST(Text, ParseLenientIntFollowsWcstol) {
  const struct {
    std::u16string in;
    int out;
  } cases[] = {{u"350px", 350}, {u"abc", 0}, {u"  -12x", -12}, {u"+7", 7}, {u"", 0},
               {u"99999999999", 2147483647}, {u"-99999999999", -2147483647 - 1}};
  for (const auto& c : cases) EXPECT_EQ(ParseLenientInt(c.in), c.out) << Utf16ToUtf8(c.in);
}

TEST(Text, ParseLenientTruncatedDoubleFollowsWcstod) {
  const struct {
    std::u16string in;
    long long out;
  } cases[] = {{u"16711935", 16711935}, {u"1.9", 1}, {u"", 0}, {u"  -2.7x", -2},
               {u"abc", 0}, {u".5", 0}, {u"1e3", 1000}, {u"2e", 2}, {u"1e99", 4294967295LL}};
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLenientTruncatedDouble(c.in), c.out) << Utf16ToUtf8(c.in);
  }
}

TEST(Text, TrimAndCompare) {
  EXPECT_EQ(Trim(u" \t a b \r\n"), u"a b");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_TRUE(EqualsIgnoreCaseAscii(u"Window_Diams", u"window_diams"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii(u"a", u"ab"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii(u"\u00C9", u"\u00E9"));
}

TEST(Text, WideSpaceIsWhatTheWindowsRuntimeCallsSpace) {
  const struct {
    std::u16string in, both, leading;
  } cases[] = {
      {u"\u3000", u"", u""},
      {u"\u3000\u691C\u7D22\u3000", u"\u691C\u7D22", u"\u691C\u7D22\u3000"},
      {u" \t\u00A0a b\u2000\u200A\u2028\u2029\u202F\u205F\u1680\r\n", u"a b",
       u"a b\u2000\u200A\u2028\u2029\u202F\u205F\u1680\r\n"},
      // Not white space for the runtime: the next line character, the zero-width space and the
      // byte order mark.
      {u"\u0085x\u200B", u"\u0085x\u200B", u"\u0085x\u200B"},
      {u"\uFEFF", u"\uFEFF", u"\uFEFF"},
      {u"", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimWideSpace(c.in), c.both) << Utf16ToUtf8(c.in);
    EXPECT_EQ(TrimWideSpace(c.in, TrimSides::kLeading), c.leading) << Utf16ToUtf8(c.in);
  }
}

#ifdef _WIN32
// The set above was measured on the Windows runtime; it must stay the runtime's own.
TEST(Text, WideSpaceAgreesWithTheRuntime) {
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    EXPECT_EQ(IsWideSpace(static_cast<char16_t>(c)), std::iswspace(static_cast<wint_t>(c)) != 0)
        << std::hex << c;
  }
}
#endif

}  // namespace
}  // namespace norvex
