// The painting of the search box: the combo window's face with its drop-down button, a
// drop-down list item, and the drop-down's size grip; themed through the visual styles when
// they are on, classic otherwise.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "styling/search_box_face.h"
#include "styling/win32/visual_styles_win.h"

namespace norvex::styling::win32 {

// The combo window's whole client area: fill, border and the drop-down button in `button`
// (the rightmost scroll-bar width of the client area).
void PaintSearchBoxFace(HDC dc, HWND window, const RECT& client, const RECT& button,
                        const SearchBoxState& state, VisualStyles& styles = SystemVisualStyles());

// One item of the drop-down list in `rect`, its text on one line in the device context's font.
void PaintDropListItem(HDC dc, const RECT& rect, const std::u16string& text, bool selected,
                       bool disabled);

// The drop-down's size grip in `rect`.
void PaintSizeGrip(HDC dc, HWND window, const RECT& rect,
                   VisualStyles& styles = SystemVisualStyles());

}  // namespace norvex::styling::win32
