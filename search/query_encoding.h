// Encoding of search queries and page addresses for URL templates: a query becomes the
// percent-encoded bytes of the character set that the target site expects ("EUC", "ShiftJIS" or
// "UTF-8"), a page address the percent-encoded form that a "{url}" placeholder takes. Pure
// functions without state.
#pragma once

#include <string>
#include <string_view>

namespace norvex::search {

// Largest Shift_JIS form, terminator included, that a query may have; a longer one disappears.
inline constexpr size_t kShiftJisCapacity = 1024;

// The query (up to its first NUL) in the byte form that `encodingName` names, percent-encoded:
// "EUC" gives EUC-JP, "ShiftJIS" code page 932, "UTF-8" UTF-8; names are compared exactly, and
// any other name (the empty one included) gives the empty string. The result is ASCII.
std::string EncodeQuery(std::u16string_view query, std::u16string_view encodingName);

// UTF-8 bytes of each code unit up to the first NUL, encoded by itself (a surrogate pair gives
// two three-byte sequences, as the sites we serve have always received).
std::string ToUtf8Bytes(std::u16string_view text);

// The code page 932 bytes of the text up to its first NUL, the default character "?" for what
// the code page cannot represent. Empty when the form with its terminator exceeds
// kShiftJisCapacity bytes: a query is never cut.
std::string ToShiftJisBytes(std::u16string_view text);

// EUC-JP bytes of a code page 932 form. ASCII is copied; a half-width katakana byte (0xA1-0xDF)
// becomes 0x8E followed by the byte; every other byte of 0x80 or more starts a two-byte
// character that is moved from the Shift_JIS to the EUC-JP layout: JIS X 0208 rows and the NEC
// row 13 become their EUC-JP forms; the user-defined lead bytes 0xF0-0xF4 go to EUC-JP's
// user-defined rows 85 to 94, 0xF5-0xF9 to the same rows behind the 0x8F prefix; the IBM
// extensions at 0xFA-0xFC take the form of their NEC-selected twins (EUC-JP rows 89 to 92 for
// the kanji). A lead byte at the very end is paired with a zero byte.
std::string ShiftJisToEuc(std::string_view shiftJis);

// Percent-encoding of bytes: letters, digits and "_-.*" are copied, a space becomes "+", every
// other byte "%XX" with upper-case hexadecimal digits.
std::string PercentEncodeBytes(std::string_view bytes);

// Percent-encoding of a page address over exactly `length` characters of `text` (clamped to its
// size): ASCII follows the rule of PercentEncodeBytes; every character above U+007F is written
// as the "%XX" escapes of its UTF-8 bytes, a surrogate pair as the four bytes of its character
// and a lone surrogate as those of U+FFFD. The result holds ASCII only.
std::u16string PercentEncodeUrl(std::u16string_view text, size_t length);

}  // namespace norvex::search
