#include "styling/button_face.h"

namespace norvex::styling {

namespace {

bool HasMenu(MenuStyle style) { return style == MenuStyle::kMenu || style == MenuStyle::kSplitMenu; }

Rect ArrowZone(const Rect& client) {
  return {client.right - kArrowZoneWidth, client.top, client.right, client.bottom};
}

VerticalLine LineAt(const Rect& client, int x, FaceColor color) {
  return {x, client.top, client.bottom, color};
}

int ThemeState(const ButtonState& state) {
  if (state.disabled) return 1;
  if (state.arrowMenu) return 2;
  if (state.pressed) return 3;
  if (state.hover) return 2;
  return 1;
}

void PlanThemedFace(const Rect& client, const ButtonState& state, FacePlan& plan) {
  plan.themeState = ThemeState(state);
  if (state.style != MenuStyle::kSplitMenu) return;
  if (state.arrowMenu) plan.pressedArrowZone = ArrowZone(client);
  if (state.hover || state.pressed || state.arrowMenu) {
    plan.themedSplitLine = LineAt(client, client.right - 14,
                                  state.arrowMenu ? FaceColor::kButtonHighlight
                                                  : FaceColor::kActiveBorder);
  }
}

void PlanClassicFace(const Rect& client, const ButtonState& state, FacePlan& plan) {
  plan.fillFace = true;
  const bool split = state.style == MenuStyle::kSplitMenu;
  if (state.pressed) {
    plan.edges.push_back(SunkenEdge(client));
    if (split) {
      plan.lines.push_back(LineAt(client, client.right - 15, FaceColor::kButtonHighlight));
      plan.lines.push_back(LineAt(client, client.right - 14, FaceColor::kButtonShadow));
    }
    return;
  }
  if (state.hover) plan.edges.push_back(RaisedEdge(client));
  if (split && (state.hover || state.arrowMenu)) {
    const Rect zone = ArrowZone(client);
    if (state.arrowMenu) {
      plan.edges.push_back(SunkenEdge(zone));
      plan.edges.push_back(RaisedEdge({client.left, client.top, zone.left, client.bottom}));
    } else {
      plan.edges.push_back(RaisedEdge(zone));
    }
    plan.lines.push_back(LineAt(client, client.right - 15, FaceColor::kButtonShadow));
    plan.lines.push_back(LineAt(client, client.right - 14, FaceColor::kButtonHighlight));
  }
}

// The bitmap's rectangle for a bitmap of `size`.
Rect BitmapRect(const Rect& client, const ButtonState& state, bool hasCaption, Size size) {
  int left;
  if (hasCaption) {
    left = client.left + kFaceMargin;
  } else if (HasMenu(state.style) && state.arrowShown) {
    left = client.left + (client.width() - size.width - kArrowZoneWidth) / 2;
  } else {
    left = client.left + (client.width() - size.width) / 2;
  }
  const int top = client.top + (client.height() - size.height) / 2;
  Rect rect{left, top, left + size.width, top + size.height};
  if (state.pressed) rect = {rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
  return rect;
}

std::vector<PixelRun> Arrow(const Rect& client, const ButtonState& state) {
  const int x = client.right - 8;
  int y = (client.top + client.bottom) / 2;
  if (state.arrowMenu || (state.style == MenuStyle::kMenu && state.pressed)) y += 2;
  return {
      {x, x, y, FaceColor::kBlack},
      {x - 1, x + 1, y - 1, FaceColor::kWindowText},
      {x - 2, x + 2, y - 2, FaceColor::kWindowText},
      {x - 3, x + 3, y - 3, FaceColor::kWindowText},
  };
}

}  // namespace

Edge RaisedEdge(const Rect& rect) { return {rect, FaceColor::kButtonHighlight, FaceColor::kButtonShadow}; }
Edge SunkenEdge(const Rect& rect) { return {rect, FaceColor::kButtonShadow, FaceColor::kButtonHighlight}; }

FacePlan PlanButtonFace(const Rect& client, const ButtonState& state, const ButtonContent& content) {
  FacePlan plan;
  if (state.themed) {
    PlanThemedFace(client, state, plan);
  } else {
    PlanClassicFace(client, state, plan);
  }

  const bool hasBitmaps = content.bitmaps[0] && content.bitmaps[1] && content.bitmaps[2];
  if (hasBitmaps) {
    const int chosen = state.pressed ? 2 : state.disabled ? 1 : 0;
    const Size size = *content.bitmaps[chosen];
    plan.bitmap = chosen;
    plan.bitmapRect = BitmapRect(client, state, content.hasCaption, size);
    if (size.width > client.width() - kArrowZoneWidth || size.height > client.height()) {
      plan.recordedDimension = Size{client.width() - 3, client.height() - 3};
    }
  }

  if (content.hasCaption) {
    // The caption follows the first bitmap wherever the chosen one is.
    const int bitmapRight =
        hasBitmaps ? BitmapRect(client, state, true, *content.bitmaps[0]).right : 0;
    Rect text;
    text.left = bitmapRight + kFaceMargin;
    text.right = HasMenu(state.style) ? client.right - kArrowZoneWidth : client.right;
    text.top = client.top + (client.height() - content.captionHeight) / 2;
    text.bottom = text.top + content.captionHeight;
    if (state.pressed) text = {text.left + 1, text.top + 1, text.right + 1, text.bottom + 1};
    plan.caption = true;
    plan.captionRect = text;
    const FaceColor pressed =
        state.themed ? FaceColor::kPressedThemeText : FaceColor::kButtonHighlight;
    plan.captionColor = state.pressed    ? pressed
                        : state.disabled ? FaceColor::kGrayText
                                         : FaceColor::kButtonText;
  }

  if (HasMenu(state.style) && state.arrowShown) plan.arrow = Arrow(client, state);
  return plan;
}

}  // namespace norvex::styling
