#include "styling/win32/agent_button_paint_win.h"

#include <optional>

#include "platform/win32/scoped_dc.h"
#include "platform/win32/scoped_handle.h"
#include "styling/win32/gdi_paint_win.h"

namespace norvex::styling::win32 {

namespace {

using platform::win32::ScopedSelectObject;
using platform::win32::W;

// The toolbar theme's button part, its pressed state, and the text colour property
// (TMT_TEXTCOLOR).
constexpr int kToolbarButtonPart = 1;
constexpr int kPressedState = 3;
constexpr int kTextColorProperty = 3803;

Rect FromRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

int CaptionHeight(HDC dc, const std::u16string& caption) {
  SIZE size{};
  ::GetTextExtentPoint32W(dc, W(caption), static_cast<int>(caption.size()), &size);
  return size.cy;
}

void PaintThemedFace(HDC dc, const RECT& client, const AgentButtonLook& look, const FacePlan& plan,
                     VisualStyles& styles, const ScopedTheme& theme) {
  if (!theme) return;  // the theme did not open: the face is left as it is
  styles.DrawThemeParentBackground(look.window, dc, &client);
  styles.DrawThemeBackground(theme.get(), dc, kToolbarButtonPart, plan.themeState, client);
  if (plan.pressedArrowZone) {
    const RECT zone = ToRect(*plan.pressedArrowZone);
    styles.DrawThemeParentBackground(look.window, dc, &zone);
    styles.DrawThemeBackground(theme.get(), dc, kToolbarButtonPart, kPressedState, zone);
  }
  if (plan.themedSplitLine) {
    const VerticalLine& line = *plan.themedSplitLine;
    FillSolid(dc, {line.x, line.top, line.x + 1, line.bottom}, ColorOf(line.color));
  }
}

void PaintClassicFace(HDC dc, const RECT& client, const FacePlan& plan) {
  if (plan.fillFace) FillSolid(dc, client, ColorOf(FaceColor::kButtonFace));
  for (const Edge& edge : plan.edges) {
    Draw3dRect(dc, ToRect(edge.rect), ColorOf(edge.topLeft), ColorOf(edge.bottomRight));
  }
  for (const VerticalLine& line : plan.lines) {
    FillSolid(dc, {line.x, line.top, line.x + 1, line.bottom}, ColorOf(line.color));
  }
}

}  // namespace

void PaintAgentButton(HDC dc, const RECT& client, const AgentButtonLook& look,
                      VisualStyles& styles) {
  HFONT font = look.font ? look.font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  ScopedSelectObject selectFont(dc, font);

  ButtonState state;
  state.style = look.style;
  state.hover = look.hover;
  state.pressed = look.pressed;
  state.arrowMenu = look.arrowMenu;
  state.disabled = look.disabled;
  state.arrowShown = look.arrowShown;
  state.themed = styles.Themed();
  ButtonContent content;
  if (look.bitmaps[0] && look.bitmaps[1] && look.bitmaps[2]) {
    for (int i = 0; i < 3; ++i) {
      const SIZE size = BitmapSize(look.bitmaps[i]);
      content.bitmaps[i] = Size{size.cx, size.cy};
    }
  }
  content.hasCaption = !look.caption.empty();
  if (content.hasCaption) content.captionHeight = CaptionHeight(dc, look.caption);
  const FacePlan plan = PlanButtonFace(FromRect(client), state, content);

  // The theme stays open for the caption, whose pressed colour it gives.
  std::optional<ScopedTheme> theme;
  if (state.themed) {
    theme.emplace(styles, look.window, L"TOOLBAR");
    PaintThemedFace(dc, client, look, plan, styles, *theme);
  } else {
    PaintClassicFace(dc, client, plan);
  }

  if (plan.bitmap) {
    HBITMAP bitmap = look.bitmaps[*plan.bitmap];
    if (plan.recordedDimension) {
      // Recorded only: the drawing keeps the bitmap's own size.
      ::SetBitmapDimensionEx(bitmap, plan.recordedDimension->width,
                             plan.recordedDimension->height, nullptr);
    }
    DrawTransparentBitmap(dc, plan.bitmapRect.left, plan.bitmapRect.top, bitmap, look.transparent);
  }

  if (plan.caption) {
    RECT text = ToRect(plan.captionRect);
    const platform::win32::ScopedBkMode mode(dc, TRANSPARENT);
    std::optional<COLORREF> themed;
    if (plan.captionColor == FaceColor::kPressedThemeText && theme && *theme) {
      themed =
          styles.GetThemeColor(theme->get(), kToolbarButtonPart, kPressedState, kTextColorProperty);
    }
    const platform::win32::ScopedTextColor color(dc, themed.value_or(ColorOf(plan.captionColor)));
    ::DrawTextW(dc, W(look.caption), static_cast<int>(look.caption.size()), &text, DT_WORDBREAK);
  }

  for (const PixelRun& run : plan.arrow) {
    FillSolid(dc, {run.left, run.y, run.right + 1, run.y + 1}, ColorOf(run.color));
  }
}

}  // namespace norvex::styling::win32
