// Code page 932 on POSIX: glibc's iconv "CP932" converter, each UTF-16 code unit by itself, with
// the corrections that make it give what Windows gives (kCorrections below). The 65,536 forms are
// computed once per process into a table; a conversion is then one lookup per code unit. Its
// decoder reads every double-byte sequence as Windows does (compared with the Windows build's
// own conversion of all 11,280 lead and trail pairs); its table, too, is made once.

#include <iconv.h>

#include <array>
#include <mutex>

#include "platform/code_page.h"
#include "platform/posix/code_page_932_corrections.h"

namespace norvex::platform {

namespace {

using Table = std::array<std::string, 65536>;

// One code unit through iconv; the default character when iconv has no form for it (lone
// surrogates, unassigned and private-use units without a mapping).
std::string ConvertOne(iconv_t cd, char16_t unit) {
  char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  char out[8];
  char* inPtr = in;
  char* outPtr = out;
  size_t inLeft = sizeof in, outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
    return "?";
  }
  const size_t length = sizeof out - outLeft;
  if (length == 0 || length > 2) return "?";
  return std::string(out, length);
}

const Table& Cp932() {
  static Table table;
  static std::once_flag once;
  std::call_once(once, [] {
    table.fill("?");
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      for (unsigned unit = 0; unit < 65536; ++unit) {
        // Surrogates stand alone here, and Windows has no form for a lone one.
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        table[unit] = ConvertOne(cd, static_cast<char16_t>(unit));
      }
      iconv_close(cd);
    }
    for (const auto& correction : posix::kCp932Corrections) {
      const unsigned value = correction.bytes;
      table[correction.unit] =
          value > 0xFF ? std::string{static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)}
                       : std::string(1, static_cast<char>(value));
    }
  });
  return table;
}

}  // namespace

std::optional<std::string> ToCodePage932(std::u16string_view text, size_t capacity) {
  const Table& table = Cp932();
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    const std::string& bytes = table[unit];
    // The terminator needs one byte more.
    if (out.size() + bytes.size() + 1 > capacity) return std::nullopt;
    out += bytes;
  }
  if (out.size() + 1 > capacity) return std::nullopt;
  return out;
}

namespace {

// The character of each double-byte sequence, indexed by lead * 256 + trail; 0 for none.
const std::array<char16_t, 65536>& Cp932Characters() {
  static std::array<char16_t, 65536> table;
  static std::once_flag once;
  std::call_once(once, [] {
    table.fill(0);
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        unsigned char out[4];
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = sizeof in, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0 || outLeft != 2) {
          continue;
        }
        table[lead * 256 + trail] = static_cast<char16_t>(out[0] | (out[1] << 8));
      }
    }
    iconv_close(cd);
  });
  return table;
}

}  // namespace

std::optional<char16_t> FromCodePage932(unsigned char lead, unsigned char trail) {
  const char16_t character = Cp932Characters()[lead * 256 + trail];
  if (character == 0) return std::nullopt;
  return character;
}

}  // namespace norvex::platform
