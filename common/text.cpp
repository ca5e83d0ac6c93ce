#include "common/text.h"

#include <climits>
#include <cstdlib>
#include <optional>

namespace norvex {

namespace {

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// One step of UTF-8 from `in[i]`: the code point and its length in bytes, or (code point
// nothing) the length of the maximal ill-formed subsequence there, at least 1.
struct Utf8Step {
  std::optional<char32_t> cp;
  size_t length;
};

Utf8Step ReadUtf8(std::string_view in, size_t i) {
  const unsigned char b = static_cast<unsigned char>(in[i]);
  if (b < 0x80) return {b, 1};
  size_t need = 0;
  char32_t cp = 0;
  unsigned char lower = 0x80, upper = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2, cp = b & 0x0F;
    if (b == 0xE0) lower = 0xA0;  // no overlong forms
    if (b == 0xED) upper = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3, cp = b & 0x07;
    if (b == 0xF0) lower = 0x90;
    if (b == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
  } else {
    return {std::nullopt, 1};
  }
  size_t j = i + 1;
  for (; need > 0; --need, ++j) {
    if (j >= in.size()) return {std::nullopt, j - i};
    const unsigned char c = static_cast<unsigned char>(in[j]);
    if (c < lower || c > upper) return {std::nullopt, j - i};
    cp = (cp << 6) | (c & 0x3F);
    lower = 0x80, upper = 0xBF;
  }
  return {cp, j - i};
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    const Utf8Step step = ReadUtf8(in, i);
    if (step.cp) {
      AppendCodePoint(out, *step.cp);
    } else {
      for (size_t k = 0; k < step.length; ++k) {
        out.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(in[i + k])));
      }
    }
    i += step.length;
  }
  return out;
}

std::u16string Utf8ToUtf16Replacing(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    const Utf8Step step = ReadUtf8(in, i);
    AppendCodePoint(out, step.cp.value_or(0xFFFD));
    i += step.length;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size() * 3);
  for (size_t i = 0; i < in.size(); ++i) {
    const char16_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (in[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - 0xDC00));
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

std::u16string_view TrimView(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsSpace(text[b])) ++b;
  while (e > b && IsSpace(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::u16string Trim(std::u16string_view text) { return std::u16string(TrimView(text)); }

bool IsWideSpace(char16_t c) {
  return IsSpace(c) || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::u16string_view TrimWideSpace(std::u16string_view text, TrimSides sides) {
  size_t b = 0, e = text.size();
  while (b < e && IsWideSpace(text[b])) ++b;
  if (sides == TrimSides::kBoth) {
    while (e > b && IsWideSpace(text[e - 1])) --e;
  }
  return text.substr(b, e - b);
}

int ParseLenientInt(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

long long ParseLenientTruncatedDouble(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  std::string number;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number += char(text[i++]);
  auto digits = [&] {
    size_t n = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') number += char(text[i++]), ++n;
    return n;
  };
  size_t mantissa = digits();
  if (i < text.size() && text[i] == u'.') {
    number += '.';
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return 0;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) ++j;
    if (j < text.size() && text[j] >= u'0' && text[j] <= u'9') {
      number += 'e';
      number.append(text.begin() + i + 1, text.begin() + j);
      i = j;
      digits();
    }
  }
  double value = std::strtod(number.c_str(), nullptr);
  if (!(value == value)) return 0;
  if (value > 4294967295.0) value = 4294967295.0;
  if (value < -2147483648.0) value = -2147483648.0;
  return static_cast<long long>(value);
}

std::u16string FormatInt(long long value) {
  const std::string s = std::to_string(value);
  return std::u16string(s.begin(), s.end());
}

bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  }
  return true;
}

std::u16string ToLowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToLowerAscii(c);
  return out;
}

std::u16string ToUpperAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToUpperAscii(c);
  return out;
}

char16_t FromWindows1252(unsigned char byte) {
  static const char16_t kC1[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  return (byte >= 0x80 && byte <= 0x9F) ? kC1[byte - 0x80] : byte;
}

}  // namespace norvex
