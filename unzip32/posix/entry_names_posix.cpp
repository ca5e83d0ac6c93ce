// Entry names on POSIX: UTF-8 file names; legacy names that are not UTF-8 are read as code
// page 932, the code page of the archives' Japanese makers.
#include "unzip32/entry_names.h"

#include <iconv.h>

#include <vector>

#include "common/text.h"

namespace norvex::unzip {

namespace {

// Utf8ToUtf16 keeps each invalid byte as a lone low surrogate U+DC80..U+DCFF.
bool IsValidUtf8(std::string_view bytes) {
  const std::u16string text = Utf8ToUtf16(bytes);
  for (size_t i = 0; i < text.size(); ++i) {
    const bool after_high = i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    if (text[i] >= 0xDC80 && text[i] <= 0xDCFF && !after_high) return false;
  }
  return true;
}

std::optional<std::string> CodePage932ToUtf8(std::string_view bytes) {
  iconv_t converter = ::iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in(bytes);
  std::vector<char> out(in.size() * 3 + 4);
  char* in_at = in.data();
  size_t in_left = in.size();
  char* out_at = out.data();
  size_t out_left = out.size();
  const size_t result = ::iconv(converter, &in_at, &in_left, &out_at, &out_left);
  ::iconv_close(converter);
  if (result == static_cast<size_t>(-1) || in_left != 0) return std::nullopt;
  return std::string(out.data(), out.size() - out_left);
}

}  // namespace

std::optional<std::u16string> DecodeEntryName(std::string_view stored, bool utf8) {
  if (utf8 || IsValidUtf8(stored)) {
    if (!IsValidUtf8(stored)) return std::nullopt;
    return Utf8ToUtf16(stored);
  }
  const std::optional<std::string> converted = CodePage932ToUtf8(stored);
  if (!converted) return std::nullopt;
  return Utf8ToUtf16(*converted);
}

std::optional<std::string> ToPlatformNarrow(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

std::filesystem::path PathFromPlatformNarrow(const std::string& narrow) {
  return std::filesystem::path(narrow);
}

}  // namespace norvex::unzip
