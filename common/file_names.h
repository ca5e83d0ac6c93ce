// The one check of relative names that come from outside (archive entries, manifest folders,
// agent file names, the mover's list) before they are joined to a folder of ours.
#pragma once

#include <cstddef>
#include <string_view>

namespace norvex {

// True for a relative path that stays below the folder it is joined to and names only files
// that Windows keeps under that name. False for:
// - an empty path, a rooted path ("\x", "/x"), a UNC or device path ("\\host\share", "\\?\C:"),
//   a drive ("C:") or a stream (any ":");
// - a control character or one of < > " | ? *;
// - a ".." component;
// - a component ending in "." or " " (Windows drops those characters, so the file written
//   would not be the one named); "." alone is the folder itself and is allowed;
// - a component that is a Windows device name: CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9,
//   CONIN$, CONOUT$, in any case, with or without an extension ("nul.txt", "Com1.tar.gz").
// "\" and "/" both separate components; empty components ("a\\b", "a\") are allowed.
bool IsSafeRelativePath(std::string_view path);
bool IsSafeRelativePath(std::u16string_view path);

// Narrow paths in a Windows code page. In the double-byte code pages (932, 936, 949, 950) a
// lead byte and the byte after it are one character, and that second byte may be 0x5C ("\",
// the second byte of "ソ" and "表" in 932) or 0x7C ("|"): such a byte is part of the character,
// never a separator. UTF-8 and the single-byte code pages hold those bytes only as themselves.
inline constexpr unsigned kUtf8CodePage = 65001;
bool IsLeadByte(unsigned code_page, unsigned char byte);
// The offset of the first "\" or "/" at or after from that is a character of its own; npos
// when there is none.
size_t FindSeparator(std::string_view path, size_t from, unsigned code_page);
// The offset of the last such separator; npos when there is none.
size_t FindLastSeparator(std::string_view path, unsigned code_page);
// IsSafeRelativePath for a narrow path in code_page, read by characters. A lead byte without
// the byte after it is refused. The overload without a code page reads bytes (UTF-8).
bool IsSafeRelativePath(std::string_view path, unsigned code_page);

// True when the component (no separators) is one of the device names above, whatever its
// case and extension.
bool IsWindowsDeviceName(std::string_view component);
bool IsWindowsDeviceName(std::u16string_view component);

}  // namespace norvex
