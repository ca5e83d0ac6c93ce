#include "styling/win32/search_box_paint_win.h"

#include "platform/win32/scoped_dc.h"
#include "styling/win32/gdi_paint_win.h"

namespace norvex::styling::win32 {

namespace {

using platform::win32::W;

// Theme property identifiers of the border and fill colours.
constexpr int kBorderColorProperty = 3801;
constexpr int kFillColorProperty = 3802;
// The scroll bar theme's lower vertical track and size box.
constexpr int kLowerTrackVerticalPart = 7;
constexpr int kSizeBoxPart = 10;
constexpr int kNormalState = 1;

int SystemColorIndex(ListColor color) {
  switch (color) {
    case ListColor::kWindow:
      return COLOR_WINDOW;
    case ListColor::kWindowText:
      return COLOR_WINDOWTEXT;
    case ListColor::kHighlight:
      return COLOR_HIGHLIGHT;
    case ListColor::kHighlightText:
      return COLOR_HIGHLIGHTTEXT;
    case ListColor::kGrayText:
      break;
  }
  return COLOR_GRAYTEXT;
}

// A rectangle's outline one pixel wide.
void Frame(HDC dc, const RECT& r, COLORREF color) { Draw3dRect(dc, r, color, color); }

bool PaintThemedFace(HDC dc, HWND window, const RECT& client, const RECT& button,
                     const SearchBoxState& state, VisualStyles& styles) {
  ScopedTheme theme(styles, window, L"COMBOBOX");
  if (!theme) return false;
  const int buttonState = ComboButtonThemeState(state);
  const COLORREF border = styles.GetThemeColor(theme.get(), kComboDropDownPart, buttonState,
                                               kBorderColorProperty)
                              .value_or(RGB(255, 255, 255));
  Frame(dc, client, border);
  if (!state.enabled) {
    RECT left{client.left + 1, client.top + 1, button.left, client.bottom - 1};
    const COLORREF fill = styles.GetThemeColor(theme.get(), kComboDropDownPart, buttonState,
                                               kFillColorProperty)
                              .value_or(::GetSysColor(COLOR_BTNFACE));
    FillSolid(dc, left, ::GetSysColor(COLOR_BTNFACE));
    Frame(dc, left, fill);
  }
  RECT inside = button;
  ::InflateRect(&inside, 0, -1);
  inside.right -= 1;
  styles.DrawThemeBackground(theme.get(), dc, kComboDropDownPart, buttonState, inside);
  return true;
}

void PaintClassicFace(HDC dc, const RECT& client, const RECT& button, const SearchBoxState& state) {
  RECT edge = client;
  Draw3dRect(dc, edge, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
  ::InflateRect(&edge, -1, -1);
  Draw3dRect(dc, edge, ::GetSysColor(COLOR_3DDKSHADOW), ::GetSysColor(COLOR_3DLIGHT));
  RECT inside = button;
  ::InflateRect(&inside, 0, -2);
  ::OffsetRect(&inside, -2, 0);
  const ClassicComboButton look = ComboButtonClassicLook(state);
  ::DrawFrameControl(dc, &inside, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (look.pushedFlat ? DFCS_PUSHED | DFCS_FLAT : 0) |
                         (look.inactive ? DFCS_INACTIVE : 0));
}

}  // namespace

void PaintSearchBoxFace(HDC dc, HWND window, const RECT& client, const RECT& button,
                        const SearchBoxState& state, VisualStyles& styles) {
  FillSolid(dc, client, ::GetSysColor(state.enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  if (!PaintThemedFace(dc, window, client, button, state, styles)) {
    PaintClassicFace(dc, client, button, state);
  }
}

void PaintDropListItem(HDC dc, const RECT& rect, const std::u16string& text, bool selected,
                       bool disabled) {
  const ListItemColors colors = DropListItemColors(selected, disabled);
  FillSolid(dc, rect, ::GetSysColor(SystemColorIndex(colors.background)));
  RECT textRect = rect;
  textRect.left += kListTextIndent;
  const platform::win32::ScopedBkMode mode(dc, TRANSPARENT);
  const platform::win32::ScopedTextColor color(dc, ::GetSysColor(SystemColorIndex(colors.text)));
  ::DrawTextW(dc, W(text), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
}

void PaintSizeGrip(HDC dc, HWND window, const RECT& rect, VisualStyles& styles) {
  ScopedTheme theme(styles, window, L"SCROLLBAR");
  if (theme) {
    styles.DrawThemeBackground(theme.get(), dc, kLowerTrackVerticalPart, kNormalState, rect);
    styles.DrawThemeBackground(theme.get(), dc, kSizeBoxPart, kNormalState, rect);
    return;
  }
  RECT grip = rect;
  ::DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

}  // namespace norvex::styling::win32
