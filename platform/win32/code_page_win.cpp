// Code page 932 through the system's own conversion.

#include <vector>

#include "platform/code_page.h"
#include "platform/win32/windows_api.h"

namespace norvex::platform {

std::optional<std::string> ToCodePage932(std::u16string_view text, size_t capacity) {
  if (capacity == 0 || capacity > 0x7FFFFFFF || text.size() >= 0x7FFFFFFF) return std::nullopt;
  // The text with its terminator, as a caller passing -1 for a C string would convert it.
  const std::u16string terminated(text);
  std::vector<char> buffer(capacity, '\0');
  const int written = ::WideCharToMultiByte(
      932, 0, reinterpret_cast<const wchar_t*>(terminated.c_str()),
      static_cast<int>(terminated.size() + 1), buffer.data(), static_cast<int>(capacity), nullptr,
      nullptr);
  if (written <= 0) return std::nullopt;
  return std::string(buffer.data(), static_cast<size_t>(written - 1));
}

std::optional<char16_t> FromCodePage932(unsigned char lead, unsigned char trail) {
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t character[2] = {};
  if (::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, 2, character, 2) != 1) {
    return std::nullopt;
  }
  return static_cast<char16_t>(character[0]);
}

}  // namespace norvex::platform
