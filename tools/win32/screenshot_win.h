// Pictures of what the host shows, as PNG files: the toolbar's window together with the popups
// it has open (a menu, the search box's drop-down), read from the screen.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace norvex::tools::win32 {

// What a picture of the toolbar shows: its window, and every other visible top-level window of
// this thread (menus, the drop-down list, tooltips) that reaches below its top, except the frame
// that holds it. `area` is their bounding rectangle clipped to the screen, in screen coordinates.
struct PictureArea {
  RECT area{};
  std::vector<RECT> windows;
};
PictureArea ToolbarPictureArea(HWND toolbar);

// Reads the screen's pixels of `picture` and writes them to `path` as a 24-bit PNG through the
// Windows Imaging Component; what lies outside its windows (another program's windows, the bare
// screen) is painted in the window background colour. The reason when that fails, else empty.
std::string SavePicture(const PictureArea& picture, const std::wstring& path);

}  // namespace norvex::tools::win32
