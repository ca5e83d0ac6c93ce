// Entry names on Windows: the ANSI code page, as the narrow ("A") file functions read it.
#include "unzip32/entry_names.h"

#include "common/text.h"
#include "platform/win32/windows_api.h"

namespace norvex::unzip {

namespace {

std::optional<std::wstring> Widen(UINT code_page, std::string_view narrow) {
  if (narrow.empty()) return std::wstring();
  const int size = static_cast<int>(narrow.size());
  const int n = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, narrow.data(), size,
                                      nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, narrow.data(), size, wide.data(), n);
  return wide;
}

}  // namespace

std::optional<std::u16string> DecodeEntryName(std::string_view stored, bool utf8) {
  const std::optional<std::wstring> wide = Widen(utf8 ? CP_UTF8 : CP_ACP, stored);
  if (!wide) return std::nullopt;
  return std::u16string(wide->begin(), wide->end());
}

std::optional<std::string> ToPlatformNarrow(std::u16string_view text) {
  if (text.empty()) return std::string();
  const std::wstring wide(text.begin(), text.end());
  const int size = static_cast<int>(wide.size());
  // No best-fit: a character without a form of its own would name another file.
  BOOL defaulted = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                      nullptr, &defaulted);
  if (n <= 0 || defaulted) return std::nullopt;
  std::string narrow(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, narrow.data(), n, nullptr,
                        &defaulted);
  if (defaulted) return std::nullopt;
  return narrow;
}

std::filesystem::path PathFromPlatformNarrow(const std::string& narrow) {
  const std::optional<std::wstring> wide = Widen(CP_ACP, narrow);
  return std::filesystem::path(wide ? *wide : std::wstring());
}

}  // namespace norvex::unzip
