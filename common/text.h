// Small text helpers shared by every subsystem: conversions between UTF-8 and UTF-16, trimming,
// lenient number parsing and case-insensitive ASCII comparison.
#pragma once

#include <string>
#include <string_view>

namespace norvex {

// UTF-8 to UTF-16. Invalid bytes are kept as the lone surrogates U+DC80..U+DCFF so that
// Utf16ToUtf8 gives back exactly the original bytes (files we rewrite keep what we did not touch).
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-8 to UTF-16 as a browser reads a page: each maximal ill-formed subsequence (a byte that
// starts nothing, or a sequence cut short) becomes one U+FFFD.
std::u16string Utf8ToUtf16Replacing(std::string_view utf8);

// UTF-16 to UTF-8. Lone surrogates U+DC80..U+DCFF turn back into the byte they stand for; any
// other lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// True for the characters that the C library's iswspace accepts in the "C" locale.
bool IsSpace(char16_t c);

// The text without leading and trailing white space.
std::u16string_view TrimView(std::u16string_view text);
std::u16string Trim(std::u16string_view text);

// True for the characters that Windows' iswspace accepts: the ASCII blanks, the no-break space,
// the ogham space mark, the spaces U+2000 to U+200A, the line and paragraph separators, the
// narrow no-break space, the medium mathematical space and the ideographic space U+3000.
bool IsWideSpace(char16_t c);

// Text that the user typed, without the white space (IsWideSpace) at its start, and at its end
// too unless only the leading side is asked for. One rule for every place that asks whether the
// search box is empty.
enum class TrimSides { kBoth, kLeading };
std::u16string_view TrimWideSpace(std::u16string_view text, TrimSides sides = TrimSides::kBoth);

// Lenient decimal conversion as wcstol does it: leading white space, an optional sign, then
// digits up to the first non-digit; 0 when no digit follows. Saturates at the int range.
int ParseLenientInt(std::u16string_view text);

// Lenient floating-point conversion as wcstod does it (decimal form: digits, a fraction, an
// exponent), truncated towards zero and clamped to the 32-bit range; 0 when nothing converts.
long long ParseLenientTruncatedDouble(std::u16string_view text);

// Formats an integer as "%d" does.
std::u16string FormatInt(long long value);

// ASCII letters compared without case; every other character compared exactly.
bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b);

// ASCII letters in lower (or upper) case; every other character as it is. HTML's tag and
// attribute names, charset labels and the like fold only these.
inline char16_t ToLowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }
inline char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char16_t ToUpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }
std::u16string ToLowerAscii(std::u16string_view text);
std::u16string ToUpperAscii(std::u16string_view text);

// HTML's white space: space, tab, line feed, form feed and carriage return (not the other
// characters that IsSpace accepts, and no wide spaces).
inline bool IsHtmlSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// The character of a byte in windows-1252 (what browsers read for the Latin-1 labels, and what
// numeric character references of 0x80 to 0x9F stand for): bytes 0x80 to 0x9F as the code page
// has them (the five it leaves unassigned as they are), every other byte as itself.
char16_t FromWindows1252(unsigned char byte);

// Shorthand for literals in tests and tables: u"..." is already UTF-16; this is for UTF-8 input.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16(utf8); }

}  // namespace norvex
