#include "pagetools/page_encoding.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::pagetools {
namespace {

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// Where the page's bytes say what they are, and what they read as.
TEST(PageEncoding, ReadsAPageAsABrowserDoes) {
  const struct {
    std::string bytes;
    const char* charset;
    const char* text;  // UTF-8
  } cases[] = {
      // Byte order marks come first, whatever the markup declares.
      {"\xEF\xBB\xBF<meta charset=shift_jis>\xE6\x9D\xB1", "utf-8",
       "<meta charset=shift_jis>\xE6\x9D\xB1"},
      {std::string("\xFF\xFE<\0p\0>\0\x71\x67", 10), "unicode", "<p>\xE6\x9D\xB1"},
      {std::string("\xFE\xFF\0<\0p\0>\x67\x71", 10), "unicodeFFFE", "<p>\xE6\x9D\xB1"},
      // Shift_JIS as code page 932: trail bytes that are ASCII backslashes (表示, ソ), half-width
      // katakana, NEC and IBM characters, the wave dash's bytes as the full-width tilde.
      {"<meta charset=\"Shift_JIS\">\x95\x5C\x8E\xA6\x83\x5C\xB6\xDE\x87\x40\xFA\x40\x81\x60",
       "shift_jis",
       "<meta charset=\"Shift_JIS\">\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x82\xBD\xEF\xBD\xB6\xEF\xBE\x9E"
       "\xE2\x91\xA0\xE2\x85\xB0\xEF\xBD\x9E"},
      {"<META HTTP-EQUIV='content-type' CONTENT='text/html;charset=x-sjis'>\x82\xA0", "shift_jis",
       "<META HTTP-EQUIV='content-type' CONTENT='text/html;charset=x-sjis'>\xE3\x81\x82"},
      // Bytes that code page 932 has no character for; a lead byte before ASCII keeps the ASCII.
      {"<meta charset=sjis>\x85\x40|\x81\x20|\xA0|\xFD|\x82", "shift_jis",
       "<meta charset=sjis>\xEF\xBF\xBD@|\xEF\xBF\xBD |\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD"},
      // EUC-JP: JIS X 0208 pairs, half-width katakana after 0x8E; JIS X 0212 is not read.
      {"<meta charset=euc-jp>\xC5\xEC\xB5\xFE\x8E\xB6\x8E\xDE\xAD\xA1\x8F\xB0\xA1|\xA1", "euc-jp",
       "<meta charset=euc-jp>\xE6\x9D\xB1\xE4\xBA\xAC\xEF\xBD\xB6\xEF\xBE\x9E\xE2\x91\xA0"
       "\xEF\xBF\xBD|\xEF\xBF\xBD"},
      // A meta element only counts outside comments, and http-equiv content only with its
      // pragma; the first one that declares a charset wins.
      {"<!-- <meta charset=euc-jp> --><meta content='charset=euc-jp'><meta "
       "charset=utf-8>\xE2\x82\xAC",
       "utf-8",
       "<!-- <meta charset=euc-jp> --><meta content='charset=euc-jp'><meta "
       "charset=utf-8>\xE2\x82\xAC"},
      {"<p title='<meta charset=euc-jp>'>\xE2\x82\xAC", "",
       "<p title='<meta charset=euc-jp>'>\xE2\x82\xAC"},
      // A page that declares UTF-16 in its own bytes is read as UTF-8.
      {"<meta charset=utf-16>\xE2\x82\xAC", "utf-8", "<meta charset=utf-16>\xE2\x82\xAC"},
      // The Latin labels read as windows-1252.
      {"<meta charset=iso-8859-1>\x80\xE9\x81", "iso-8859-1",
       "<meta charset=iso-8859-1>\xE2\x82\xAC\xC3\xA9\xC2\x81"},
      // A set that we do not read is named but read as the default; so is a page without one,
      // whose ill-formed bytes read as one U+FFFD each.
      {"<meta charset=EUC-KR>abc", "euc-kr", "<meta charset=EUC-KR>abc"},
      {"a\xE3\x81"
       "b\x80\xF0\x9F\x98\x80",
       "",
       "a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    const DecodedPage page = DecodePage(c.bytes);
    EXPECT_EQ(U8(page.charset), c.charset) << c.bytes;
    EXPECT_EQ(U8(page.text), c.text) << c.bytes;
  }
}

// A charset declared after the first 1024 bytes still counts: a browser that meets it while
// parsing starts again with it.
TEST(PageEncoding, ADeclarationFurtherOnCounts) {
  const std::string page = "<html><head><title>" + std::string(1100, 'x') +
                           "</title><meta charset=shift_jis></head>"
                           "<body>\x82\xA0</body>";
  EXPECT_FALSE(PrescanCharset(page).has_value());
  const DecodedPage decoded = DecodePage(page);
  EXPECT_EQ(U8(decoded.charset), "shift_jis");
  EXPECT_NE(U8(decoded.text).find("<body>\xE3\x81\x82</body>"), std::string::npos);
}

TEST(PageEncoding, LabelsWithoutRegardToCase) {
  EXPECT_EQ(EncodingOfLabel(u" Shift_JIS "), PageEncoding::kShiftJis);
  EXPECT_EQ(EncodingOfLabel(u"WINDOWS-31J"), PageEncoding::kShiftJis);
  EXPECT_EQ(EncodingOfLabel(u"x-euc-jp"), PageEncoding::kEucJp);
  EXPECT_EQ(EncodingOfLabel(u"UTF8"), PageEncoding::kUtf8);
  EXPECT_EQ(EncodingOfLabel(u"latin1"), PageEncoding::kWindows1252);
  EXPECT_FALSE(EncodingOfLabel(u"gb2312").has_value());
  EXPECT_FALSE(EncodingOfLabel(u"").has_value());
}

}  // namespace
}  // namespace norvex::pagetools
