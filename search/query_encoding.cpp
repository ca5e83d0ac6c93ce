#include "search/query_encoding.h"

#include <tuple>
#include <utility>

#include "common/text.h"
#include "platform/code_page.h"

namespace norvex::search {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::u16string_view UpToNul(std::u16string_view text) {
  const size_t nul = text.find(u'\0');
  return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

bool IsCopiedAscii(unsigned c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         c == '_' || c == '-' || c == '.' || c == '*';
}

template <typename String>
void AppendEscape(String& out, unsigned char byte) {
  out += '%';
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

// Code page 932 holds the IBM extensions twice: at lead bytes 0xFA-0xFC (which Windows' own
// conversion gives for their kanji and small roman numerals) and, in the same order, as the NEC
// selection at 0xED-0xEE, with the rest in NEC row 13 and row 2. EUC-JP as Windows writes it
// knows only the NEC forms (EUC-JP rows 89 to 92 for the kanji), so an IBM form is first moved to
// its NEC twin. A pair outside the IBM block is returned unchanged.
std::pair<unsigned, unsigned> IbmToNecSelection(unsigned c1, unsigned c2) {
  if (c1 < 0xFA || c1 > 0xFC || c2 < 0x40 || c2 == 0x7F || c2 > 0xFC) return {c1, c2};
  const unsigned index = (c1 - 0xFA) * 188 + (c2 < 0x80 ? c2 - 0x40 : c2 - 0x41);
  constexpr unsigned kKanjiStart = 28, kKanjiCount = 360;
  // IBM 0xFA54-0xFA5B: not sign, broken bar, apostrophe, quotation mark, (株), No., Tel, because.
  constexpr unsigned kSymbols[8] = {0x81CA, 0xEEFA, 0xEEFB, 0xEEFC, 0x878A, 0x8782, 0x8784, 0x81E6};
  if (index < 10) return {0xEE, 0xEF + index};          // small roman numerals
  if (index < 20) return {0x87, 0x54 + index - 10};     // roman numerals
  if (index < kKanjiStart) return {kSymbols[index - 20] >> 8, kSymbols[index - 20] & 0xFF};
  if (index >= kKanjiStart + kKanjiCount) return {c1, c2};
  const unsigned nec = index - kKanjiStart;
  const unsigned trail = nec % 188;
  return {0xED + nec / 188, trail < 63 ? 0x40 + trail : 0x41 + trail};
}

}  // namespace

std::string EncodeQuery(std::u16string_view query, std::u16string_view encodingName) {
  std::string bytes;
  if (encodingName == u"EUC") {
    bytes = ShiftJisToEuc(ToShiftJisBytes(query));
  } else if (encodingName == u"ShiftJIS") {
    bytes = ToShiftJisBytes(query);
  } else if (encodingName == u"UTF-8") {
    bytes = ToUtf8Bytes(query);
  }
  return PercentEncodeBytes(bytes);
}

std::string ToUtf8Bytes(std::u16string_view text) {
  text = UpToNul(text);
  std::string out;
  out.reserve(text.size() * 3);
  // Each code unit by itself: surrogates are not paired.
  for (char16_t unit : text) AppendUtf8(out, unit);
  return out;
}

std::string ToShiftJisBytes(std::u16string_view text) {
  return platform::ToCodePage932(UpToNul(text), kShiftJisCapacity).value_or(std::string());
}

std::string ShiftJisToEuc(std::string_view shiftJis) {
  std::string out;
  out.reserve(shiftJis.size() * 2);
  for (size_t i = 0; i < shiftJis.size(); ++i) {
    const unsigned char c1 = static_cast<unsigned char>(shiftJis[i]);
    if (c1 < 0x80) {
      out += static_cast<char>(c1);
      continue;
    }
    if (c1 == 0x80 || c1 == 0xA0 || c1 >= 0xFD) {
      // Single-byte characters of code page 932 (U+0080, U+F8F0-U+F8F3) that no lead byte
      // uses: kept as they are, so that they do not swallow the character after them.
      out += static_cast<char>(c1);
      continue;
    }
    if (c1 >= 0xA1 && c1 <= 0xDF) {
      // Half-width katakana: one byte in Shift_JIS, the single-shift 2 form in EUC-JP.
      out += static_cast<char>(0x8E);
      out += static_cast<char>(c1);
      continue;
    }
    unsigned lead = c1;
    unsigned c2 = i + 1 < shiftJis.size() ? static_cast<unsigned char>(shiftJis[++i]) : 0u;
    std::tie(lead, c2) = IbmToNecSelection(lead, c2);
    if (c2 >= 0x80) --c2;
    unsigned row = (lead < 0xA0 ? 2u * (lead - 0x70u) : 2u * (lead - 0xB0u)) & 0xFF;
    unsigned cell;
    if (c2 >= 0x9E) {
      cell = c2 - 0x7D;
    } else {
      cell = (c2 - 0x1F) & 0xFF;
      row = (row - 1) & 0xFF;
    }
    if (lead >= 0xF0 && lead <= 0xF9) {
      // The user-defined area goes where EUC-JP keeps its own user-defined rows 85 to 94: lead
      // bytes 0xF0-0xF4 in the main plane, 0xF5-0xF9 in the supplementary one (0x8F prefix).
      if (lead <= 0xF4) {
        row -= 0x0A;
      } else {
        out += static_cast<char>(0x8F);
        row -= 0x14;
      }
    }
    out += static_cast<char>((row + 0x80) & 0xFF);
    out += static_cast<char>((cell + 0x80) & 0xFF);
  }
  return out;
}

std::string PercentEncodeBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (IsCopiedAscii(c)) {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      AppendEscape(out, c);
    }
  }
  return out;
}

std::u16string PercentEncodeUrl(std::u16string_view text, size_t length) {
  if (length < text.size()) text = text.substr(0, length);
  std::u16string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      if (IsCopiedAscii(c)) {
        out += c;
      } else if (c == u' ') {
        out += u'+';
      } else {
        AppendEscape(out, static_cast<unsigned char>(c));
      }
      continue;
    }
    // Above ASCII: the UTF-8 bytes of the character, escaped.
    char32_t scalar = c;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      scalar = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      scalar = 0xFFFD;
    }
    std::string utf8;
    AppendUtf8(utf8, scalar);
    for (char b : utf8) AppendEscape(out, static_cast<unsigned char>(b));
  }
  return out;
}

}  // namespace norvex::search
