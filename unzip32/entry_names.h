// Entry names as the platform reads and writes them. A ZIP entry's name is UTF-8 when its
// general-purpose flag bit 11 is set, and otherwise in the legacy code page of the system that
// made it. The library turns each name into text first, so that separators are found between
// characters (in code page 932 the second byte of a character such as "ソ" or "表" is 0x5C),
// then into the narrow form that the caller's file functions take.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::unzip {

// The text of a stored name. utf8: the entry's flag says the name is UTF-8. Otherwise the name
// is read in the platform's legacy code page: the ANSI code page on Windows; on POSIX UTF-8
// when the bytes are valid UTF-8, else code page 932. Empty optional when the bytes are not
// valid in that encoding.
std::optional<std::u16string> DecodeEntryName(std::string_view stored, bool utf8);

// The narrow form of text for the platform's narrow file functions: the ANSI code page on
// Windows, UTF-8 on POSIX. Empty optional when a character has no form there.
std::optional<std::string> ToPlatformNarrow(std::u16string_view text);

// A path given in the platform's narrow form, as a path of the file system.
std::filesystem::path PathFromPlatformNarrow(const std::string& narrow);

}  // namespace norvex::unzip
