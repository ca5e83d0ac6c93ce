// The one check of relative names that come from outside (archive entries, manifest folders,
// agent file names, the mover's list) before they are joined to a folder of ours.
#pragma once

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

// True when the component (no separators) is one of the device names above, whatever its
// case and extension.
bool IsWindowsDeviceName(std::string_view component);
bool IsWindowsDeviceName(std::u16string_view component);

}  // namespace norvex
