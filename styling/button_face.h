// What an agent button's face is made of, decided from its state alone: the themed face and
// its split line, or the classic fill and edges; which bitmap goes where; where the caption
// goes and in which colour; where the arrow's tip is. The platform's painter carries the plan
// out in order; it decides nothing.
#pragma once

#include <optional>
#include <vector>

#include "catalogue/agent_types.h"
#include "common/geometry.h"

namespace norvex::styling {

using catalogue::MenuStyle;
using norvex::Rect;

// The colours the face uses: system colours by their role, and plain black.
enum class FaceColor {
  kButtonFace,
  kButtonShadow,
  kButtonHighlight,
  kButtonText,
  kGrayText,
  kWindowText,
  kActiveBorder,
  kBlack,
  // The visual style's text colour of a pressed toolbar button; the button text colour where the
  // theme gives none.
  kPressedThemeText,
};

// The arrow zone of a split button, and the width of the menu arrow's strip.
inline constexpr int kArrowZoneWidth = 15;
// The bitmap's and the caption's distance from the left edge and from each other.
inline constexpr int kFaceMargin = 4;

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct ButtonState {
  MenuStyle style = MenuStyle::kPlain;
  bool hover = false;
  bool pressed = false;
  bool arrowMenu = false;  // the menu of a split button, opened from its arrow zone, is open
  bool disabled = false;
  bool arrowShown = true;  // false for the chevron
  // The visual styles library is loaded and the application is themed.
  bool themed = false;
};

struct ButtonContent {
  // The three bitmaps (normal, disabled, pressed), or nothing when any of them is missing.
  std::optional<Size> bitmaps[3];
  bool hasCaption = false;
  int captionHeight = 0;  // a single line of the caption in the button's font
};

// A raised or sunken edge: top and left in one colour, right and bottom in the other.
struct Edge {
  Rect rect;
  FaceColor topLeft, bottomRight;
  bool operator==(const Edge&) const = default;
};

// A vertical line one pixel wide, from top to bottom.
struct VerticalLine {
  int x, top, bottom;
  FaceColor color;
  bool operator==(const VerticalLine&) const = default;
};

// One horizontal run of pixels, [left, right] inclusive.
struct PixelRun {
  int left, right, y;
  FaceColor color;
  bool operator==(const PixelRun&) const = default;
};

struct FacePlan {
  // Themed (when the theme data of class "TOOLBAR" opens): the parent's background, then the
  // button part in this state over the whole face; for a split button with its arrow menu
  // open, the arrow zone again in the pressed state; then the split line.
  int themeState = 0;  // 1 normal, 2 hot, 3 pressed; 0 without visual styles
  std::optional<Rect> pressedArrowZone;
  std::optional<VerticalLine> themedSplitLine;

  // Classic: the face filled, then its edges and lines.
  bool fillFace = false;
  std::vector<Edge> edges;
  std::vector<VerticalLine> lines;

  // The bitmap drawn (0 normal, 1 disabled, 2 pressed), where, with its transparent colour
  // left out; and the recorded dimension it is given when it does not fit the face.
  std::optional<int> bitmap;
  Rect bitmapRect;
  std::optional<Size> recordedDimension;

  // The caption, drawn with word breaks in the button's font on a transparent background. A
  // pressed caption is in the highlight colour on the classic face; on a themed face, whose
  // pressed look is light, the highlight colour (white) would not show: the theme's own colour.
  bool caption = false;
  Rect captionRect;
  FaceColor captionColor = FaceColor::kButtonText;

  // The arrow: its tip and the three lines above it.
  std::vector<PixelRun> arrow;
};

// The raised and sunken edges, as the face draws them.
Edge RaisedEdge(const Rect& rect);
Edge SunkenEdge(const Rect& rect);

// The plan for a face in `client` (the button's client rectangle).
FacePlan PlanButtonFace(const Rect& client, const ButtonState& state, const ButtonContent& content);

}  // namespace norvex::styling
