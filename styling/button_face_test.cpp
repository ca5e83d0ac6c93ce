#include "styling/button_face.h"

#include <gtest/gtest.h>

#include "styling/image_tones.h"
#include "styling/search_box_face.h"

namespace norvex::styling {
namespace {

constexpr Rect kClient{0, 0, 80, 24};
constexpr Size kBitmap{16, 16};

ButtonContent WithBitmapAndCaption(int captionHeight = 12) {
  ButtonContent content;
  content.bitmaps[0] = content.bitmaps[1] = content.bitmaps[2] = kBitmap;
  content.hasCaption = true;
  content.captionHeight = captionHeight;
  return content;
}

ButtonContent BitmapOnly(Size size = kBitmap) {
  ButtonContent content;
  content.bitmaps[0] = content.bitmaps[1] = content.bitmaps[2] = size;
  return content;
}

TEST(ButtonFace, ThemedStateIsTheFirstThatApplies) {
  const struct {
    const char* name;
    bool disabled, arrowMenu, pressed, hover;
    int state;
  } cases[] = {
      {"normal", false, false, false, false, 1},
      {"hover", false, false, false, true, 2},
      {"pressed", false, false, true, true, 3},
      {"arrow menu over pressed", false, true, true, false, 2},
      {"disabled over everything", true, true, true, true, 1},
  };
  for (const auto& c : cases) {
    ButtonState state;
    state.themed = true;
    state.disabled = c.disabled;
    state.arrowMenu = c.arrowMenu;
    state.pressed = c.pressed;
    state.hover = c.hover;
    const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption());
    EXPECT_EQ(plan.themeState, c.state) << c.name;
    EXPECT_FALSE(plan.fillFace) << c.name;
    EXPECT_TRUE(plan.edges.empty()) << c.name;
  }
}

TEST(ButtonFace, PlainButtonWithCaptionAndBitmap) {
  ButtonState state;
  state.themed = true;
  const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption(12));
  ASSERT_TRUE(plan.bitmap);
  EXPECT_EQ(*plan.bitmap, 0);
  EXPECT_EQ(plan.bitmapRect, (Rect{4, 4, 20, 20}));
  EXPECT_TRUE(plan.caption);
  EXPECT_EQ(plan.captionRect, (Rect{24, 6, 80, 18}));
  EXPECT_EQ(plan.captionColor, FaceColor::kButtonText);
  EXPECT_TRUE(plan.arrow.empty());
  EXPECT_FALSE(plan.themedSplitLine);
}

// The pressed caption's colour: the highlight colour on the classic face, the theme's pressed
// text colour on a themed one (where white would vanish on the light pressed face).
TEST(ButtonFace, PressedShiftsTheBitmapOneAndTheCaptionTwo) {
  for (const auto& [themed, color] : {std::pair{true, FaceColor::kPressedThemeText},
                                      std::pair{false, FaceColor::kButtonHighlight}}) {
    ButtonState state;
    state.themed = themed;
    state.pressed = true;
    const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption(12));
    EXPECT_EQ(*plan.bitmap, 2) << "the pressed bitmap";
    EXPECT_EQ(plan.bitmapRect, (Rect{5, 5, 21, 21}));
    EXPECT_EQ(plan.captionRect, (Rect{26, 7, 81, 19}));
    EXPECT_EQ(plan.captionColor, color) << (themed ? "themed" : "classic");
  }
}

TEST(ButtonFace, DisabledTakesTheSecondBitmapAndGreyCaption) {
  ButtonState state;
  state.themed = true;
  state.disabled = true;
  const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption());
  EXPECT_EQ(plan.themeState, 1);
  EXPECT_EQ(*plan.bitmap, 1);
  EXPECT_EQ(plan.captionColor, FaceColor::kGrayText);
}

TEST(ButtonFace, SplitButtonLineAndArrow) {
  const struct {
    const char* name;
    bool hover, pressed, arrowMenu;
    std::optional<FaceColor> line;
    bool pressedZone;
    int arrowY;
  } cases[] = {
      {"idle: no line", false, false, false, std::nullopt, false, 12},
      {"hover", true, false, false, FaceColor::kActiveBorder, false, 12},
      {"pressed", false, true, false, FaceColor::kActiveBorder, false, 12},
      {"arrow menu", false, false, true, FaceColor::kButtonHighlight, true, 14},
  };
  for (const auto& c : cases) {
    ButtonState state;
    state.themed = true;
    state.style = MenuStyle::kSplitMenu;
    state.hover = c.hover;
    state.pressed = c.pressed;
    state.arrowMenu = c.arrowMenu;
    const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption());
    EXPECT_EQ(plan.themedSplitLine.has_value(), c.line.has_value()) << c.name;
    if (c.line && plan.themedSplitLine) {
      EXPECT_EQ(*plan.themedSplitLine, (VerticalLine{66, 0, 24, *c.line})) << c.name;
    }
    EXPECT_EQ(plan.pressedArrowZone.has_value(), c.pressedZone) << c.name;
    if (plan.pressedArrowZone) {
      EXPECT_EQ(*plan.pressedArrowZone, (Rect{65, 0, 80, 24})) << c.name;
    }
    const std::vector<PixelRun> arrow = {
        {72, 72, c.arrowY, FaceColor::kBlack},
        {71, 73, c.arrowY - 1, FaceColor::kWindowText},
        {70, 74, c.arrowY - 2, FaceColor::kWindowText},
        {69, 75, c.arrowY - 3, FaceColor::kWindowText},
    };
    EXPECT_EQ(plan.arrow, arrow) << c.name;
    EXPECT_EQ(plan.captionRect.right, 80 - 15 + (c.pressed ? 1 : 0)) << c.name;
  }
}

TEST(ButtonFace, MenuButtonPressedLowersTheArrow) {
  ButtonState state;
  state.style = MenuStyle::kMenu;
  state.pressed = true;
  const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption());
  ASSERT_FALSE(plan.arrow.empty());
  EXPECT_EQ(plan.arrow[0], (PixelRun{72, 72, 14, FaceColor::kBlack}));
}

TEST(ButtonFace, BitmapWithoutCaptionIsCentred) {
  const struct {
    const char* name;
    MenuStyle style;
    bool arrowShown;
    int left;
  } cases[] = {
      {"plain: whole width", MenuStyle::kPlain, true, 32},
      {"menu with arrow: width less 15", MenuStyle::kMenu, true, 24},
      {"split with arrow", MenuStyle::kSplitMenu, true, 24},
      {"chevron: arrow not shown", MenuStyle::kMenu, false, 32},
  };
  for (const auto& c : cases) {
    ButtonState state;
    state.style = c.style;
    state.arrowShown = c.arrowShown;
    const FacePlan plan = PlanButtonFace(kClient, state, BitmapOnly());
    EXPECT_EQ(plan.bitmapRect, (Rect{c.left, 4, c.left + 16, 20})) << c.name;
    EXPECT_FALSE(plan.caption) << c.name;
    EXPECT_EQ(plan.arrow.empty(), !c.arrowShown || c.style == MenuStyle::kPlain) << c.name;
  }
  // Odd remainders round down.
  ButtonState chevron;
  chevron.style = MenuStyle::kMenu;
  chevron.arrowShown = false;
  EXPECT_EQ(PlanButtonFace({0, 0, 20, 24}, chevron, BitmapOnly({9, 7})).bitmapRect,
            (Rect{5, 8, 14, 15}));
}

TEST(ButtonFace, MissingBitmapsLeaveTheCaptionAtFour) {
  ButtonContent content;
  content.bitmaps[0] = content.bitmaps[2] = kBitmap;  // the second is missing
  content.hasCaption = true;
  content.captionHeight = 10;
  ButtonState state;
  FacePlan plan = PlanButtonFace(kClient, state, content);
  EXPECT_FALSE(plan.bitmap);
  EXPECT_EQ(plan.captionRect.left, 4);
  state.pressed = true;
  plan = PlanButtonFace(kClient, state, content);
  EXPECT_EQ(plan.captionRect.left, 5);
}

TEST(ButtonFace, OversizedBitmapGetsARecordedDimensionButKeepsItsSize) {
  const struct {
    Size size;
    bool recorded;
  } cases[] = {{{65, 24}, false}, {{66, 10}, true}, {{10, 25}, true}};
  for (const auto& c : cases) {
    const FacePlan plan = PlanButtonFace(kClient, ButtonState{}, BitmapOnly(c.size));
    EXPECT_EQ(plan.recordedDimension.has_value(), c.recorded) << c.size.width << "x" << c.size.height;
    if (plan.recordedDimension) {
      EXPECT_EQ(*plan.recordedDimension, (Size{77, 21}));
    }
    EXPECT_EQ(plan.bitmapRect.width(), c.size.width);
    EXPECT_EQ(plan.bitmapRect.height(), c.size.height);
  }
}

TEST(ButtonFace, ClassicEdges) {
  const Rect zone{65, 0, 80, 24}, rest{0, 0, 65, 24};
  const struct {
    const char* name;
    MenuStyle style;
    bool hover, pressed, arrowMenu;
    std::vector<Edge> edges;
    std::vector<VerticalLine> lines;
  } cases[] = {
      {"plain idle", MenuStyle::kPlain, false, false, false, {}, {}},
      {"plain hover", MenuStyle::kPlain, true, false, false, {RaisedEdge(kClient)}, {}},
      {"plain pressed", MenuStyle::kPlain, true, true, false, {SunkenEdge(kClient)}, {}},
      {"split pressed", MenuStyle::kSplitMenu, true, true, false, {SunkenEdge(kClient)},
       {{65, 0, 24, FaceColor::kButtonHighlight}, {66, 0, 24, FaceColor::kButtonShadow}}},
      {"split hover", MenuStyle::kSplitMenu, true, false, false,
       {RaisedEdge(kClient), RaisedEdge(zone)},
       {{65, 0, 24, FaceColor::kButtonShadow}, {66, 0, 24, FaceColor::kButtonHighlight}}},
      {"split arrow menu", MenuStyle::kSplitMenu, false, false, true,
       {SunkenEdge(zone), RaisedEdge(rest)},
       {{65, 0, 24, FaceColor::kButtonShadow}, {66, 0, 24, FaceColor::kButtonHighlight}}},
      {"menu hover: no zone", MenuStyle::kMenu, true, false, false, {RaisedEdge(kClient)}, {}},
  };
  for (const auto& c : cases) {
    ButtonState state;
    state.style = c.style;
    state.hover = c.hover;
    state.pressed = c.pressed;
    state.arrowMenu = c.arrowMenu;
    const FacePlan plan = PlanButtonFace(kClient, state, WithBitmapAndCaption());
    EXPECT_EQ(plan.themeState, 0) << c.name;
    EXPECT_TRUE(plan.fillFace) << c.name;
    EXPECT_EQ(plan.edges, c.edges) << c.name;
    EXPECT_EQ(plan.lines, c.lines) << c.name;
    EXPECT_FALSE(plan.themedSplitLine) << c.name;
  }
}

TEST(ImageTones, LightenDarkenGrey) {
  EXPECT_EQ(LightenColor(0x000000, 50), 0x808080u);
  EXPECT_EQ(LightenColor(0x0000FF, 100), 0xFFFFFFu);
  EXPECT_EQ(LightenColor(0x123456, 0), 0x123456u);
  EXPECT_EQ(DarkenColor(0xFFFFFF, 50), 0x7F7F7Fu);  // halves round away from the colour
  EXPECT_EQ(DarkenColor(0x0000FF, 100), 0x000000u);
  EXPECT_EQ(GreyColor(0x0000FF), 0x4D4D4Du);  // red: 30 %
  EXPECT_EQ(GreyColor(0x00FF00), 0x969696u);  // green: 59 %
  EXPECT_EQ(GreyColor(0xFF0000), 0x1C1C1Cu);  // blue: 11 %
  EXPECT_EQ(LightenColor(0x000000, 150), 0xFFFFFFu) << "percent is clamped";
}

TEST(ImageTones, TransparentPixelsStayAndOthersNeverBecomeTransparent) {
  const uint32_t magenta = 0xFF00FF;
  std::vector<uint32_t> pixels = {magenta, 0x0000FF, 0x00FF00, 0xFFFFFE};
  ToneImage(pixels, magenta, ImageTone::kGreyed);
  EXPECT_EQ(pixels[0], magenta);
  EXPECT_EQ(pixels[1], ToneColor(0x0000FF, ImageTone::kGreyed));
  EXPECT_EQ(pixels[1] & 0xFF, (pixels[1] >> 8) & 0xFF) << "grey";

  // White as the transparent colour: a near-white pixel greys to white, and is kept visible.
  std::vector<uint32_t> light = {0xFFFFFF, 0xFEFFFF};
  ToneImage(light, 0xFFFFFF, ImageTone::kGreyed);
  EXPECT_EQ(light[0], 0xFFFFFFu);
  EXPECT_NE(light[1], 0xFFFFFFu);

  std::vector<uint32_t> asIs = {0x123456, magenta};
  ToneImage(asIs, magenta, ImageTone::kAsIs);
  EXPECT_EQ(asIs, (std::vector<uint32_t>{0x123456, magenta}));
  EXPECT_LT(ToneColor(0x808080, ImageTone::kShadow) & 0xFF, 0x80u) << "a shadow is darker";
  EXPECT_GT(ToneColor(0x808080, ImageTone::kFaded) & 0xFF, 0x80u) << "faded is lighter";
}

TEST(SearchBoxFace, ButtonStates) {
  const struct {
    SearchBoxState state;
    int themed;
    ClassicComboButton classic;
  } cases[] = {
      {{true, false, false, false}, kComboNormal, {false, false}},
      {{true, true, false, false}, kComboHot, {false, false}},
      {{true, true, true, false}, kComboPressed, {true, false}},
      {{true, true, true, true}, kComboDisabled, {true, true}},  // open, emptied by a delete
      {{false, true, false, false}, kComboDisabled, {false, true}},
      {{true, false, false, true}, kComboDisabled, {false, true}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComboButtonThemeState(c.state), c.themed);
    EXPECT_EQ(ComboButtonClassicLook(c.state), c.classic);
  }
}

TEST(SearchBoxFace, ListItemColors) {
  EXPECT_EQ(DropListItemColors(false, false), (ListItemColors{ListColor::kWindowText, ListColor::kWindow}));
  EXPECT_EQ(DropListItemColors(true, false),
            (ListItemColors{ListColor::kHighlightText, ListColor::kHighlight}));
  EXPECT_EQ(DropListItemColors(false, true), (ListItemColors{ListColor::kGrayText, ListColor::kWindow}));
}

}  // namespace
}  // namespace norvex::styling
