#include "pagetools/page_encoding.h"

#include <algorithm>
#include <initializer_list>

#include "common/text.h"
#include "platform/code_page.h"

namespace norvex::pagetools {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsSpaceByte(char c) { return IsHtmlSpace(static_cast<unsigned char>(c)); }
bool IsLetterByte(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsAt(std::string_view bytes, size_t at, std::string_view word) {
  if (at + word.size() > bytes.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (ToLowerAscii(bytes[at + i]) != word[i]) return false;
  }
  return true;
}

// UTF-16; a surrogate without its other half and a last odd byte read as U+FFFD.
std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2 + 1);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned char a = static_cast<unsigned char>(bytes[i]);
    const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  std::u16string out;
  out.reserve(units.size() + 1);
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if ((c & 0xFC00) == 0xD800 && i + 1 < units.size() && (units[i + 1] & 0xFC00) == 0xDC00) {
      out += c;
      out += units[++i];
    } else {
      out += (c & 0xF800) == 0xD800 ? kReplacement : c;
    }
  }
  if (bytes.size() % 2) out += kReplacement;
  return out;
}

bool IsShiftJisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Shift_JIS as code page 932: ASCII and 0x80 as they are, half-width katakana in single bytes,
// the double-byte characters from the platform's table. A lead byte whose pair has no character
// reads as U+FFFD and takes its trail byte with it unless that is ASCII.
std::u16string DecodeShiftJis(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b <= 0x80) {
      out += b;
      ++i;
    } else if (b >= 0xA1 && b <= 0xDF) {
      out += static_cast<char16_t>(0xFF61 - 0xA1 + b);
      ++i;
    } else if (IsShiftJisLead(b) && i + 1 < bytes.size()) {
      const unsigned char t = static_cast<unsigned char>(bytes[i + 1]);
      const bool trail = (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC);
      const std::optional<char16_t> c = trail ? platform::FromCodePage932(b, t) : std::nullopt;
      out += c.value_or(kReplacement);
      i += (c || t >= 0x80) ? 2 : 1;
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

// The code page 932 bytes of the JIS X 0208 character at `row` and `cell` (1 to 94 each).
std::optional<char16_t> JisCharacter(unsigned row, unsigned cell) {
  const unsigned lead = ((row - 1) >> 1) + (row <= 62 ? 0x81 : 0xC1);
  const unsigned trail = (row & 1) ? cell + 0x3F + (cell >= 0x40 ? 1 : 0) : cell + 0x9E;
  return platform::FromCodePage932(static_cast<unsigned char>(lead),
                                   static_cast<unsigned char>(trail));
}

// EUC-JP: ASCII, half-width katakana after 0x8E, JIS X 0208 in pairs of 0xA1 to 0xFE (read
// through the code page 932 table, which holds the same characters). JIS X 0212 characters
// (three bytes from 0x8F on) have no table on every platform and read as U+FFFD.
std::u16string DecodeEucJp(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  auto at = [&](size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0; };
  auto inJis = [](unsigned char c) { return c >= 0xA1 && c <= 0xFE; };
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char b = at(i);
    if (b < 0x80) {
      out += b;
      ++i;
      continue;
    }
    const unsigned char t = at(i + 1);
    if (b == 0x8E && t >= 0xA1 && t <= 0xDF) {
      out += static_cast<char16_t>(0xFF61 - 0xA1 + t);
      i += 2;
    } else if (b == 0x8F && inJis(t) && inJis(at(i + 2))) {
      out += kReplacement;
      i += 3;
    } else if (inJis(b) && inJis(t)) {
      out += JisCharacter(b - 0xA0, t - 0xA0).value_or(kReplacement);
      i += 2;
    } else {
      out += kReplacement;
      // A lead byte takes a following byte that cannot start anything with it.
      i += ((b == 0x8E || b == 0x8F || inJis(b)) && t >= 0x80) ? 2 : 1;
    }
  }
  return out;
}

std::u16string DecodeWindows1252(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += FromWindows1252(static_cast<unsigned char>(c));
  return out;
}

// The charset named in a meta element's content: "charset", white space, "=", white space, then
// a quoted value or one up to white space or ";".
std::optional<std::string> CharsetFromContent(std::string_view content) {
  size_t pos = 0;
  for (;;) {
    const size_t found = content.find("charset", pos);
    if (found == std::string_view::npos) return std::nullopt;
    pos = found + 7;
    while (pos < content.size() && IsSpaceByte(content[pos])) ++pos;
    if (pos >= content.size() || content[pos] != '=') continue;
    ++pos;
    while (pos < content.size() && IsSpaceByte(content[pos])) ++pos;
    if (pos >= content.size()) return std::nullopt;
    if (content[pos] == '"' || content[pos] == '\'') {
      const size_t close = content.find(content[pos], pos + 1);
      if (close == std::string_view::npos) return std::nullopt;
      return std::string(content.substr(pos + 1, close - pos - 1));
    }
    size_t end = pos;
    while (end < content.size() && !IsSpaceByte(content[end]) && content[end] != ';') ++end;
    if (end == pos) return std::nullopt;
    return std::string(content.substr(pos, end - pos));
  }
}

struct ByteAttribute {
  std::string name, value;  // lower-cased
};

// The next attribute of a tag from `pos`; nothing at the tag's end (`pos` then at its ">").
std::optional<ByteAttribute> NextAttribute(std::string_view bytes, size_t& pos) {
  const size_t n = bytes.size();
  while (pos < n && (IsSpaceByte(bytes[pos]) || bytes[pos] == '/')) ++pos;
  if (pos >= n || bytes[pos] == '>') return std::nullopt;
  ByteAttribute attribute;
  for (;;) {
    if (pos >= n) return attribute;
    const char c = bytes[pos];
    if (c == '=' && !attribute.name.empty()) {
      ++pos;
      break;
    }
    if (IsSpaceByte(c)) {
      while (pos < n && IsSpaceByte(bytes[pos])) ++pos;
      if (pos < n && bytes[pos] == '=') {
        ++pos;
        break;
      }
      return attribute;
    }
    if (c == '/' || c == '>') return attribute;
    attribute.name += ToLowerAscii(c);
    ++pos;
  }
  while (pos < n && IsSpaceByte(bytes[pos])) ++pos;
  if (pos >= n) return attribute;
  if (bytes[pos] == '"' || bytes[pos] == '\'') {
    const char quote = bytes[pos++];
    while (pos < n && bytes[pos] != quote) attribute.value += ToLowerAscii(bytes[pos++]);
    if (pos < n) ++pos;
    return attribute;
  }
  while (pos < n && !IsSpaceByte(bytes[pos]) && bytes[pos] != '>') {
    attribute.value += ToLowerAscii(bytes[pos++]);
  }
  return attribute;
}

}  // namespace

std::optional<PageEncoding> EncodingOfLabel(std::u16string_view label) {
  const std::u16string name = ToLowerAscii(TrimView(label));
  auto in = [&](std::initializer_list<std::u16string_view> labels) {
    return std::find(labels.begin(), labels.end(), name) != labels.end();
  };
  if (in({u"utf-8", u"utf8", u"unicode-1-1-utf-8", u"unicode11utf8", u"unicode20utf8",
          u"x-unicode20utf8"})) {
    return PageEncoding::kUtf8;
  }
  if (in({u"shift_jis", u"shift-jis", u"sjis", u"x-sjis", u"ms_kanji", u"csshiftjis",
          u"windows-31j", u"ms932", u"cp932"})) {
    return PageEncoding::kShiftJis;
  }
  if (in({u"euc-jp", u"x-euc-jp", u"cseucpkdfmtjapanese"})) return PageEncoding::kEucJp;
  if (in({u"utf-16", u"utf-16le", u"unicode", u"unicodefeff", u"ucs-2", u"csunicode",
          u"iso-10646-ucs-2"})) {
    return PageEncoding::kUtf16Le;
  }
  if (in({u"utf-16be", u"unicodefffe"})) return PageEncoding::kUtf16Be;
  if (in({u"windows-1252", u"iso-8859-1", u"iso8859-1", u"iso88591", u"iso_8859-1",
          u"iso_8859-1:1987", u"iso-ir-100", u"latin1", u"l1", u"cp1252", u"x-cp1252", u"cp819",
          u"ibm819", u"csisolatin1", u"us-ascii", u"ascii", u"ansi_x3.4-1968"})) {
    return PageEncoding::kWindows1252;
  }
  return std::nullopt;
}

std::optional<std::u16string> PrescanCharset(std::string_view bytes, size_t limit) {
  const size_t end = std::min(limit, bytes.size());
  size_t pos = 0;
  while (pos < end) {
    if (StartsAt(bytes, pos, "<!--")) {
      const size_t close = bytes.find("-->", pos + 2);
      if (close == std::string_view::npos) return std::nullopt;
      pos = close + 3;
    } else if (StartsAt(bytes, pos, "<meta") && pos + 5 < bytes.size() &&
               (IsSpaceByte(bytes[pos + 5]) || bytes[pos + 5] == '/')) {
      pos += 6;
      bool pragma = false, needPragma = false, seenHttpEquiv = false, seenContent = false,
           seenCharset = false;
      std::optional<std::string> charset;
      while (std::optional<ByteAttribute> a = NextAttribute(bytes, pos)) {
        if (a->name == "http-equiv" && !seenHttpEquiv) {
          seenHttpEquiv = true;
          pragma = a->value == "content-type";
        } else if (a->name == "content" && !seenContent) {
          seenContent = true;
          if (!charset) {
            if ((charset = CharsetFromContent(a->value))) needPragma = true;
          }
        } else if (a->name == "charset" && !seenCharset) {
          seenCharset = true;
          charset = a->value;
          needPragma = false;
        }
      }
      if (charset && (!needPragma || pragma)) {
        std::u16string label(charset->begin(), charset->end());
        if (!TrimView(label).empty()) return label;
      }
    } else if (bytes[pos] == '<' && pos + 1 < bytes.size() &&
               (IsLetterByte(bytes[pos + 1]) || (bytes[pos + 1] == '/' && pos + 2 < bytes.size() &&
                                                 IsLetterByte(bytes[pos + 2])))) {
      ++pos;
      while (pos < bytes.size() && !IsSpaceByte(bytes[pos]) && bytes[pos] != '>') ++pos;
      while (NextAttribute(bytes, pos)) {
      }
    } else if (StartsAt(bytes, pos, "<!") || StartsAt(bytes, pos, "</") ||
               StartsAt(bytes, pos, "<?")) {
      const size_t close = bytes.find('>', pos + 2);
      if (close == std::string_view::npos) return std::nullopt;
      pos = close + 1;
    } else {
      ++pos;
    }
  }
  return std::nullopt;
}

std::u16string DecodeText(std::string_view bytes, PageEncoding encoding) {
  switch (encoding) {
    case PageEncoding::kUtf8:
      return Utf8ToUtf16Replacing(bytes);
    case PageEncoding::kUtf16Le:
      return DecodeUtf16(bytes, false);
    case PageEncoding::kUtf16Be:
      return DecodeUtf16(bytes, true);
    case PageEncoding::kShiftJis:
      return DecodeShiftJis(bytes);
    case PageEncoding::kEucJp:
      return DecodeEucJp(bytes);
    case PageEncoding::kWindows1252:
      return DecodeWindows1252(bytes);
  }
  return Utf8ToUtf16Replacing(bytes);
}

DecodedPage DecodePage(std::string_view bytes) {
  DecodedPage page;
  auto withMark = [&](std::string_view mark, PageEncoding encoding, const char16_t* charset) {
    if (bytes.substr(0, mark.size()) != mark) return false;
    page.encoding = encoding;
    page.charset = charset;
    page.text = DecodeText(bytes.substr(mark.size()), encoding);
    return true;
  };
  if (withMark("\xEF\xBB\xBF", PageEncoding::kUtf8, u"utf-8") ||
      withMark("\xFF\xFE", PageEncoding::kUtf16Le, u"unicode") ||
      withMark("\xFE\xFF", PageEncoding::kUtf16Be, u"unicodeFFFE")) {
    return page;
  }
  std::optional<std::u16string> label = PrescanCharset(bytes);
  if (!label) label = PrescanCharset(bytes, bytes.size());
  if (label) {
    const std::optional<PageEncoding> declared = EncodingOfLabel(*label);
    page.charset = ToLowerAscii(TrimView(*label));
    if (declared) page.encoding = *declared;
    switch (page.encoding) {
      // Bytes that declare UTF-16 in themselves are no UTF-16: they are read as UTF-8.
      case PageEncoding::kUtf16Le:
      case PageEncoding::kUtf16Be:
      case PageEncoding::kUtf8:
        page.encoding = PageEncoding::kUtf8;
        if (declared) page.charset = u"utf-8";
        break;
      case PageEncoding::kShiftJis:
        page.charset = u"shift_jis";
        break;
      case PageEncoding::kEucJp:
        page.charset = u"euc-jp";
        break;
      case PageEncoding::kWindows1252:
        break;
    }
  }
  page.text = DecodeText(bytes, page.encoding);
  return page;
}

}  // namespace norvex::pagetools
