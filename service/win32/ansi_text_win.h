// The service's 8-bit strings are in the system's ANSI code page, as the "A" functions take
// them; the wide functions take UTF-16.
#pragma once

#include <string>

namespace norvex::service::win32 {

// CP_ACP to UTF-16 and back; empty for empty text or when the conversion fails.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

}  // namespace norvex::service::win32
