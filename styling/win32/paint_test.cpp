// The painting rules, checked by pixels: each face is painted into a memory bitmap and read
// back. Classic faces run without the visual styles library (a library that does not exist);
// themed faces run twice: through a theme of this test's own, whose parts paint colours that
// name their part and state, and through the system's theme (Wine's prefix has one on).
// Texts are checked by where their pixels are and in which colour, never by their glyphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "styling/win32/agent_button_paint_win.h"
#include "styling/win32/gdi_paint_win.h"
#include "styling/win32/grip_paint_win.h"
#include "styling/win32/menu_paint_win.h"
#include "styling/win32/search_box_paint_win.h"
#include "tests/fake_seams.h"

namespace norvex::styling::win32 {
namespace {

using platform::win32::ScopedBitmap;
using platform::win32::ScopedFont;
using platform::win32::ScopedMemoryDc;
using platform::win32::ScopedSelectObject;

constexpr COLORREF kBackground = RGB(1, 2, 3);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kBlue = RGB(0, 0, 220);

COLORREF Sys(int index) { return ::GetSysColor(index); }

// A 32-bit bitmap in a memory device context, filled with kBackground.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_.Reset(::CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<uint32_t*>(bits);
    previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    FillSolid(dc_.get(), Rect(), kBackground);
  }
  ~Canvas() { ::SelectObject(dc_.get(), previous_); }
  HDC dc() const { return dc_.get(); }
  RECT Rect() const { return RECT{0, 0, width_, height_}; }
  COLORREF At(int x, int y) const {
    ::GdiFlush();
    const uint32_t p = bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // The smallest rectangle holding every pixel of `color` within `area`; empty when none.
  RECT BoundsOf(COLORREF color, const RECT& area) const {
    RECT bounds{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (At(x, y) != color) continue;
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
    }
    return bounds;
  }
  int Count(COLORREF color, const RECT& area) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) count += At(x, y) == color;
    }
    return count;
  }

 private:
  int width_, height_;
  ScopedMemoryDc dc_;
  ScopedBitmap bitmap_;
  uint32_t* bits_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// A 16 x 16 bitmap: its left half the transparent magenta, its right half `color`.
ScopedBitmap HalfTransparent(COLORREF color, int width = 16, int height = 16) {
  HDC screen = ::GetDC(nullptr);
  ScopedBitmap bitmap(::CreateCompatibleBitmap(screen, width, height));
  ::ReleaseDC(nullptr, screen);
  ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
  {
    ScopedSelectObject select(dc.get(), bitmap.get());
    FillSolid(dc.get(), {0, 0, width / 2, height}, kMagenta);
    FillSolid(dc.get(), {width / 2, 0, width, height}, color);
  }
  return bitmap;
}

// A font whose glyphs have no smoothed edges: every text pixel is the text colour.
ScopedFont PlainFont() {
  return ScopedFont(::CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                  DEFAULT_PITCH, L"Tahoma"));
}

// A theme of the test's own: each part paints (200, 10 * part, 40 * state); the parent's
// background is kParent. It records what it was asked, in order.
constexpr COLORREF kParent = RGB(5, 6, 7);
COLORREF PartColor(int part, int state) { return RGB(200, 10 * part, 40 * state); }

class FakeStyles final : public VisualStyles {
 public:
  bool loaded = true, themed = true, opens = true;
  std::optional<COLORREF> border, fill;
  std::optional<COLORREF> pressedText;  // the toolbar button's text colour when pressed
  std::vector<std::string> calls;

  bool Loaded() const override { return loaded; }
  bool IsAppThemed() override { return themed; }
  ThemeHandle OpenThemeData(HWND, const wchar_t* classList) override {
    calls.push_back("open " + std::string(classList, classList + wcslen(classList)));
    return opens ? reinterpret_cast<ThemeHandle>(1) : nullptr;
  }
  void CloseThemeData(ThemeHandle) override { calls.push_back("close"); }
  bool DrawThemeParentBackground(HWND, HDC dc, const RECT* rect) override {
    calls.push_back("parent");
    FillSolid(dc, *rect, kParent);
    return true;
  }
  bool DrawThemeBackground(ThemeHandle, HDC dc, int part, int state, const RECT& rect) override {
    calls.push_back("part " + std::to_string(part) + " state " + std::to_string(state));
    FillSolid(dc, rect, PartColor(part, state));
    return true;
  }
  std::optional<COLORREF> GetThemeColor(ThemeHandle, int part, int state, int property) override {
    if (property == 3803) return part == 1 && state == 3 ? pressedText : std::nullopt;
    return property == 3801 ? border : property == 3802 ? fill : std::nullopt;
  }
};

// The three bitmaps of a button: normal red, disabled green, pressed blue, each half magenta.
struct Bitmaps {
  ScopedBitmap normal = HalfTransparent(kRed);
  ScopedBitmap disabled = HalfTransparent(kGreen);
  ScopedBitmap pressed = HalfTransparent(kBlue);
  void Into(AgentButtonLook& look) const {
    look.bitmaps[0] = normal.get();
    look.bitmaps[1] = disabled.get();
    look.bitmaps[2] = pressed.get();
    look.transparent = kMagenta;
  }
};

class Paint : public ::testing::Test {
 protected:
  ThemeLibrary noLibrary_{L"NoSuchThemeLibrary.dll"};
  Bitmaps bitmaps_;
  ScopedFont font_ = PlainFont();
};

TEST_F(Paint, WithoutTheLibraryNothingIsThemed) {
  EXPECT_FALSE(noLibrary_.Loaded());
  EXPECT_FALSE(noLibrary_.Themed());
  EXPECT_EQ(noLibrary_.OpenThemeData(nullptr, L"TOOLBAR"), nullptr);
}

TEST_F(Paint, ClassicFaceAndEdges) {
  const struct {
    const char* name;
    MenuStyle style;
    bool hover, pressed, arrowMenu;
    COLORREF topLeft, bottomRight;  // of the whole face
    std::optional<COLORREF> at65, at66;  // the lines right - 15 and right - 14
  } cases[] = {
      {"idle", MenuStyle::kPlain, false, false, false, Sys(COLOR_BTNFACE), Sys(COLOR_BTNFACE)},
      {"hover: raised", MenuStyle::kPlain, true, false, false, Sys(COLOR_BTNHIGHLIGHT),
       Sys(COLOR_BTNSHADOW)},
      {"pressed: sunken", MenuStyle::kPlain, true, true, false, Sys(COLOR_BTNSHADOW),
       Sys(COLOR_BTNHIGHLIGHT)},
      {"split pressed", MenuStyle::kSplitMenu, true, true, false, Sys(COLOR_BTNSHADOW),
       Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNSHADOW)},
      {"split hover", MenuStyle::kSplitMenu, true, false, false, Sys(COLOR_BTNHIGHLIGHT),
       Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNHIGHLIGHT)},
  };
  for (const auto& c : cases) {
    Canvas canvas(80, 24);
    AgentButtonLook look;
    look.style = c.style;
    look.hover = c.hover;
    look.pressed = c.pressed;
    look.arrowMenu = c.arrowMenu;
    PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
    EXPECT_EQ(canvas.At(0, 0), c.topLeft) << c.name;
    EXPECT_EQ(canvas.At(79, 23), c.bottomRight) << c.name;
    EXPECT_EQ(canvas.At(30, 5), Sys(COLOR_BTNFACE)) << c.name << ": the face";
    if (c.at65) {
      EXPECT_EQ(canvas.At(65, 4), *c.at65) << c.name;
    }
    if (c.at66) {
      EXPECT_EQ(canvas.At(66, 4), *c.at66) << c.name;
    }
  }
}

TEST_F(Paint, SplitArrowMenuClassicEdges) {
  Canvas canvas(80, 24);
  AgentButtonLook look;
  look.style = MenuStyle::kSplitMenu;
  look.arrowMenu = true;
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
  // The arrow zone sunken, the rest raised.
  EXPECT_EQ(canvas.At(0, 0), Sys(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(canvas.At(64, 23), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(canvas.At(70, 0), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(canvas.At(79, 23), Sys(COLOR_BTNHIGHLIGHT));
}

TEST_F(Paint, BitmapKeepsTheFaceWhereItIsTransparent) {
  Canvas canvas(80, 24);
  AgentButtonLook look;
  bitmaps_.Into(look);
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
  // No caption: centred at (32, 4); its left half transparent.
  EXPECT_EQ(canvas.At(32 + 12, 12), kRed);
  EXPECT_EQ(canvas.At(32 + 8, 4), kRed);
  EXPECT_EQ(canvas.At(32 + 2, 12), Sys(COLOR_BTNFACE)) << "the transparent colour keeps the face";
  EXPECT_EQ(canvas.At(32 + 7, 12), Sys(COLOR_BTNFACE));
  EXPECT_EQ(canvas.At(32 + 16, 12), Sys(COLOR_BTNFACE)) << "right of the bitmap";
  EXPECT_EQ(canvas.At(32 + 12, 3), Sys(COLOR_BTNFACE)) << "above the bitmap";
  EXPECT_EQ(canvas.Count(kMagenta, canvas.Rect()), 0);
}

TEST_F(Paint, PressedBitmapMovesOneAndCaptionTwo) {
  auto paint = [&](bool pressed, Canvas& canvas) {
    AgentButtonLook look;
    bitmaps_.Into(look);
    look.caption = u"WWW";
    look.font = font_.get();
    look.pressed = pressed;
    PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
  };
  Canvas normal(90, 24), pressed(90, 24);
  paint(false, normal);
  paint(true, pressed);
  // The normal bitmap 4 from the left; the pressed one (blue) one further right and down.
  EXPECT_EQ(normal.BoundsOf(kRed, normal.Rect()).left, 4 + 8);
  EXPECT_EQ(normal.BoundsOf(kRed, normal.Rect()).top, 4);
  EXPECT_EQ(pressed.Count(kRed, pressed.Rect()), 0);
  EXPECT_EQ(pressed.BoundsOf(kBlue, pressed.Rect()).left, 5 + 8);
  EXPECT_EQ(pressed.BoundsOf(kBlue, pressed.Rect()).top, 5);
  // The caption: text colour normally, highlight colour pressed, 2 right and 1 down.
  const RECT captionArea{21, 0, 90, 24};
  const RECT text = normal.BoundsOf(Sys(COLOR_BTNTEXT), captionArea);
  ASSERT_LT(text.left, text.right) << "the caption is drawn";
  EXPECT_GE(text.left, 24) << "4 pixels right of the bitmap";
  ASSERT_NE(Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNFACE));
  const RECT moved = pressed.BoundsOf(Sys(COLOR_BTNHIGHLIGHT), {22, 1, 89, 23});  // not the edge
  EXPECT_EQ(moved.left, text.left + 2);
  EXPECT_EQ(moved.top, text.top + 1);
  EXPECT_EQ(moved.right, text.right + 2);
  EXPECT_EQ(moved.bottom, text.bottom + 1);
}

TEST_F(Paint, DisabledTakesTheSecondBitmapAndGreyCaption) {
  ASSERT_NE(Sys(COLOR_GRAYTEXT), Sys(COLOR_BTNTEXT));
  for (VisualStyles* styles : std::initializer_list<VisualStyles*>{&noLibrary_, nullptr}) {
    FakeStyles fake;
    VisualStyles& used = styles ? *styles : fake;
    Canvas canvas(90, 24);
    AgentButtonLook look;
    bitmaps_.Into(look);
    look.caption = u"WWW";
    look.font = font_.get();
    look.disabled = true;
    PaintAgentButton(canvas.dc(), canvas.Rect(), look, used);
    EXPECT_GT(canvas.Count(kGreen, canvas.Rect()), 0);
    EXPECT_EQ(canvas.Count(kRed, canvas.Rect()), 0);
    EXPECT_GT(canvas.Count(Sys(COLOR_GRAYTEXT), {24, 0, 90, 24}), 0);
    EXPECT_EQ(canvas.Count(Sys(COLOR_BTNTEXT), {24, 0, 90, 24}), 0);
    if (!styles) {
      EXPECT_EQ(canvas.At(2, 2), PartColor(1, 1)) << "themed: the normal face";
    }
  }
}

TEST_F(Paint, ArrowLinesAndTip) {
  const struct {
    const char* name;
    MenuStyle style;
    bool pressed, arrowMenu, arrowShown;
    std::optional<int> tipY;
  } cases[] = {
      {"menu", MenuStyle::kMenu, false, false, true, 12},
      {"menu pressed: 2 lower", MenuStyle::kMenu, true, false, true, 14},
      {"split pressed: in place", MenuStyle::kSplitMenu, true, false, true, 12},
      {"split arrow menu: 2 lower", MenuStyle::kSplitMenu, false, true, true, 14},
      {"chevron: none", MenuStyle::kMenu, false, false, false, std::nullopt},
      {"plain: none", MenuStyle::kPlain, false, false, true, std::nullopt},
  };
  for (const auto& c : cases) {
    Canvas canvas(40, 24);
    AgentButtonLook look;
    look.style = c.style;
    look.pressed = c.pressed;
    look.arrowMenu = c.arrowMenu;
    look.arrowShown = c.arrowShown;
    PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
    const RECT zone{26, 6, 38, 18};
    if (!c.tipY) {
      EXPECT_EQ(canvas.Count(Sys(COLOR_WINDOWTEXT), zone), 0) << c.name;
      EXPECT_EQ(canvas.Count(RGB(0, 0, 0), zone), 0) << c.name;
      continue;
    }
    const int x = 40 - 8, y = *c.tipY;
    EXPECT_EQ(canvas.At(x, y), RGB(0, 0, 0)) << c.name << ": the tip";
    for (int row = 1; row <= 3; ++row) {
      for (int dx = -row; dx <= row; ++dx) {
        EXPECT_EQ(canvas.At(x + dx, y - row), Sys(COLOR_WINDOWTEXT)) << c.name << " row " << row;
      }
      EXPECT_NE(canvas.At(x - row - 1, y - row), Sys(COLOR_WINDOWTEXT)) << c.name << " row " << row;
      EXPECT_NE(canvas.At(x + row + 1, y - row), Sys(COLOR_WINDOWTEXT)) << c.name << " row " << row;
    }
    EXPECT_NE(canvas.At(x, y + 1), RGB(0, 0, 0)) << c.name << ": nothing below the tip";
    EXPECT_NE(canvas.At(x, y - 4), Sys(COLOR_WINDOWTEXT)) << c.name << ": three lines only";
  }
}

TEST_F(Paint, ChevronBitmapCentredOverTheWholeWidth) {
  Canvas canvas(20, 24);
  AgentButtonLook look;
  bitmaps_.Into(look);
  look.style = MenuStyle::kMenu;
  look.arrowShown = false;
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
  EXPECT_EQ(canvas.BoundsOf(kRed, canvas.Rect()).left, 2 + 8);
  EXPECT_EQ(canvas.BoundsOf(kRed, canvas.Rect()).right, 2 + 16);
}

TEST_F(Paint, OversizedBitmapGetsItsRecordedDimension) {
  ScopedBitmap wide = HalfTransparent(kRed, 60, 16);
  Canvas canvas(40, 24);
  AgentButtonLook look;
  look.bitmaps[0] = look.bitmaps[1] = look.bitmaps[2] = wide.get();
  look.transparent = kMagenta;
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, noLibrary_);
  SIZE recorded{};
  ::GetBitmapDimensionEx(wide.get(), &recorded);
  EXPECT_EQ(recorded.cx, 37);
  EXPECT_EQ(recorded.cy, 21);
  EXPECT_EQ(BitmapSize(wide.get()).cx, 60) << "the pixels stay";
}

TEST_F(Paint, ThemedFaceStatesAndSplitLine) {
  const struct {
    const char* name;
    bool hover, pressed, arrowMenu;
    int state;
    std::optional<COLORREF> line;
    bool zonePressed;
  } cases[] = {
      {"normal", false, false, false, 1, std::nullopt, false},
      {"hover", true, false, false, 2, Sys(COLOR_ACTIVEBORDER), false},
      {"pressed", false, true, false, 3, Sys(COLOR_ACTIVEBORDER), false},
      {"arrow menu", false, false, true, 2, Sys(COLOR_BTNHIGHLIGHT), true},
  };
  for (const auto& c : cases) {
    FakeStyles styles;
    Canvas canvas(80, 24);
    AgentButtonLook look;
    look.style = MenuStyle::kSplitMenu;
    look.hover = c.hover;
    look.pressed = c.pressed;
    look.arrowMenu = c.arrowMenu;
    PaintAgentButton(canvas.dc(), canvas.Rect(), look, styles);
    EXPECT_EQ(canvas.At(2, 2), PartColor(1, c.state)) << c.name;
    EXPECT_EQ(canvas.At(66, 2), c.line.value_or(PartColor(1, c.state))) << c.name;
    EXPECT_EQ(canvas.At(67, 2), c.zonePressed ? PartColor(1, 3) : PartColor(1, c.state)) << c.name;
    EXPECT_EQ(canvas.At(64, 2), PartColor(1, c.state)) << c.name;
    std::vector<std::string> expected = {"open TOOLBAR", "parent",
                                         "part 1 state " + std::to_string(c.state)};
    if (c.zonePressed) {
      expected.push_back("parent");
      expected.push_back("part 1 state 3");
    }
    expected.push_back("close");
    EXPECT_EQ(styles.calls, expected) << c.name;
  }
}

TEST_F(Paint, ThemedPlainButtonHasNoLineAndAThemeThatDoesNotOpenLeavesTheFace) {
  FakeStyles styles;
  Canvas canvas(80, 24);
  AgentButtonLook look;
  look.hover = true;
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, styles);
  EXPECT_EQ(canvas.At(66, 2), PartColor(1, 2));

  FakeStyles closed;
  closed.opens = false;
  Canvas untouched(80, 24);
  PaintAgentButton(untouched.dc(), untouched.Rect(), look, closed);
  EXPECT_EQ(untouched.At(2, 2), kBackground);
  EXPECT_EQ(untouched.At(79, 23), kBackground) << "no classic edges either";
}

// A window whose parent paints a known background, for the system's theme.
class ThemedWindow {
 public:
  ThemedWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NorvexPaintTestParent";
    wc.hbrBackground = background_.get();
    ::RegisterClassW(&wc);
    parent_ = ::CreateWindowExW(0, L"NorvexPaintTestParent", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, wc.hInstance, nullptr);
    button_ = ::CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10, 10,
                                80, 24, parent_, nullptr, wc.hInstance, nullptr);
  }
  ~ThemedWindow() { ::DestroyWindow(parent_); }
  HWND button() const { return button_; }

 private:
  platform::win32::ScopedBrush background_{::CreateSolidBrush(kParent)};
  HWND parent_ = nullptr;
  HWND button_ = nullptr;
};

TEST_F(Paint, SystemThemeDrawsTheToolbarButtonPart) {
  VisualStyles& system = SystemVisualStyles();
  if (!system.Themed()) GTEST_SKIP() << "visual styles are off in this session";
  ThemedWindow window;
  // What the theme itself paints for the hot state, over the parent's background.
  Canvas reference(80, 24);
  {
    RECT r = reference.Rect();
    system.DrawThemeParentBackground(window.button(), reference.dc(), &r);
    ScopedTheme theme(system, window.button(), L"TOOLBAR");
    ASSERT_TRUE(theme);
    system.DrawThemeBackground(theme.get(), reference.dc(), 1, 2, r);
  }
  Canvas canvas(80, 24);
  AgentButtonLook look;
  look.window = window.button();
  look.style = MenuStyle::kSplitMenu;
  look.hover = true;
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, system);
  for (POINT p : {POINT{1, 1}, POINT{30, 3}, POINT{60, 20}, POINT{78, 22}}) {
    EXPECT_EQ(canvas.At(p.x, p.y), reference.At(p.x, p.y)) << p.x << "," << p.y;
  }
  EXPECT_EQ(canvas.At(66, 1), Sys(COLOR_ACTIVEBORDER)) << "the split line over the theme";
  EXPECT_EQ(canvas.At(66, 22), Sys(COLOR_ACTIVEBORDER));
  EXPECT_EQ(canvas.At(72, 12), RGB(0, 0, 0)) << "the arrow's tip";
}

// Luminance of a colour, 0 (black) to 1 (white), with the sRGB weights.
double Luminance(COLORREF c) {
  return (0.2126 * GetRValue(c) + 0.7152 * GetGValue(c) + 0.0722 * GetBValue(c)) / 255.0;
}

// A pressed caption (and a menu button's, while its menu is open) on each path: the classic face
// keeps the highlight colour; a themed face takes the theme's pressed text colour, or the button
// text colour where the theme has none, so that it shows on the theme's light pressed face.
TEST_F(Paint, PressedCaptionStandsOutFromThePressedFace) {
  ASSERT_NE(Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNFACE));
  FakeStyles withText, withoutText;
  withText.pressedText = RGB(20, 40, 60);
  const struct {
    const char* name;
    VisualStyles* styles;
    MenuStyle style;
    COLORREF caption, face;
  } cases[] = {
      {"classic", &noLibrary_, MenuStyle::kPlain, Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNFACE)},
      {"classic menu open", &noLibrary_, MenuStyle::kMenu, Sys(COLOR_BTNHIGHLIGHT),
       Sys(COLOR_BTNFACE)},
      {"theme's colour", &withText, MenuStyle::kPlain, RGB(20, 40, 60), PartColor(1, 3)},
      {"theme's colour, menu open", &withText, MenuStyle::kMenu, RGB(20, 40, 60), PartColor(1, 3)},
      {"theme without one", &withoutText, MenuStyle::kPlain, Sys(COLOR_BTNTEXT), PartColor(1, 3)},
  };
  for (const auto& c : cases) {
    Canvas canvas(90, 24);
    AgentButtonLook look;
    look.caption = u"WWW";
    look.font = font_.get();
    look.style = c.style;
    look.pressed = true;
    PaintAgentButton(canvas.dc(), canvas.Rect(), look, *c.styles);
    EXPECT_GT(canvas.Count(c.caption, {4, 2, 70, 22}), 10) << c.name << ": the caption's colour";
    EXPECT_EQ(canvas.At(60, 4), c.face) << c.name << ": the pressed face";
    EXPECT_NE(c.caption, c.face) << c.name;
  }

  // The system's theme (Wine's prefix has one on): the caption on its pressed face is clearly
  // darker or lighter than the face, whichever the theme is.
  VisualStyles& system = SystemVisualStyles();
  if (!system.Themed()) GTEST_SKIP() << "visual styles are off in this session";
  ThemedWindow window;
  Canvas canvas(90, 24);
  AgentButtonLook look;
  look.window = window.button();
  look.caption = u"WWW";
  look.font = font_.get();
  look.pressed = true;
  PaintAgentButton(canvas.dc(), canvas.Rect(), look, system);
  ScopedTheme theme(system, window.button(), L"TOOLBAR");
  ASSERT_TRUE(theme);
  const COLORREF caption =
      system.GetThemeColor(theme.get(), 1, 3, 3803).value_or(Sys(COLOR_BTNTEXT));
  const RECT text = canvas.BoundsOf(caption, {4, 2, 80, 22});
  ASSERT_LT(text.left, text.right) << "the caption is drawn in the theme's pressed text colour";
  const COLORREF face = canvas.At(text.left - 2, 12);
  EXPECT_GT(std::abs(Luminance(caption) - Luminance(face)), 0.4)
      << "caption " << std::hex << caption << " on face " << face;
}

// Painting changes the device context only for its own drawing: the caller finds the colours,
// the background mode and the selected font as it left them.
TEST_F(Paint, TheDeviceContextIsLeftAsItWasFound) {
  FakeStyles themed;
  themed.pressedText = RGB(20, 40, 60);
  for (VisualStyles* styles : std::initializer_list<VisualStyles*>{&noLibrary_, &themed}) {
    Canvas canvas(90, 24);
    HDC dc = canvas.dc();
    ::SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkColor(dc, RGB(4, 5, 6));
    const HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
    AgentButtonLook look;
    bitmaps_.Into(look);
    look.caption = u"WWW";
    look.font = font_.get();
    look.style = MenuStyle::kSplitMenu;
    look.pressed = true;
    PaintAgentButton(dc, canvas.Rect(), look, *styles);
    PaintDropListItem(dc, RECT{0, 0, 90, 16}, u"item", true, false);
    EXPECT_EQ(::GetBkMode(dc), OPAQUE);
    EXPECT_EQ(::GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(::GetBkColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font);
  }
}

TEST_F(Paint, SearchBoxClassicFace) {
  const struct {
    bool enabled, empty;
    COLORREF inside;
  } cases[] = {{true, false, Sys(COLOR_WINDOW)}, {false, false, Sys(COLOR_BTNFACE)}};
  for (const auto& c : cases) {
    Canvas canvas(120, 22);
    SearchBoxState state;
    state.enabled = c.enabled;
    state.empty = c.empty;
    const RECT button{120 - ::GetSystemMetrics(SM_CXVSCROLL), 0, 120, 22};
    PaintSearchBoxFace(canvas.dc(), nullptr, canvas.Rect(), button, state, noLibrary_);
    EXPECT_EQ(canvas.At(0, 0), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(canvas.At(119, 21), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(canvas.At(1, 1), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(canvas.At(118, 20), Sys(COLOR_3DLIGHT));
    EXPECT_EQ(canvas.At(20, 10), c.inside);
    EXPECT_GT(canvas.Count(Sys(COLOR_BTNFACE), {button.left - 2, 2, 118, 20}), 0)
        << "the scroll button's face";
  }
}

TEST_F(Paint, SearchBoxThemedFace) {
  const struct {
    const char* name;
    SearchBoxState state;
    std::optional<COLORREF> border;
    COLORREF expectedBorder;
    int buttonState;
  } cases[] = {
      {"normal", {true, false, false, false}, RGB(9, 9, 9), RGB(9, 9, 9), 1},
      {"hot, theme without border colour", {true, true, false, false}, std::nullopt,
       RGB(255, 255, 255), 2},
      {"open", {true, true, true, false}, RGB(9, 9, 9), RGB(9, 9, 9), 3},
      {"empty list", {true, false, false, true}, RGB(9, 9, 9), RGB(9, 9, 9), 4},
      {"disabled", {false, false, false, false}, RGB(9, 9, 9), RGB(9, 9, 9), 4},
  };
  for (const auto& c : cases) {
    FakeStyles styles;
    styles.border = c.border;
    styles.fill = RGB(30, 31, 32);
    Canvas canvas(120, 22);
    const RECT button{100, 0, 120, 22};
    PaintSearchBoxFace(canvas.dc(), nullptr, canvas.Rect(), button, c.state, styles);
    EXPECT_EQ(canvas.At(0, 0), c.expectedBorder) << c.name;
    EXPECT_EQ(canvas.At(119, 21), c.expectedBorder) << c.name;
    EXPECT_EQ(canvas.At(110, 10), PartColor(1, c.buttonState)) << c.name;
    if (c.state.enabled) {
      EXPECT_EQ(canvas.At(20, 10), Sys(COLOR_WINDOW)) << c.name;
    } else {
      EXPECT_EQ(canvas.At(20, 10), Sys(COLOR_BTNFACE)) << c.name;
      EXPECT_EQ(canvas.At(1, 1), RGB(30, 31, 32)) << c.name << ": the fill colour's border";
    }
    EXPECT_EQ(styles.calls.front(), "open COMBOBOX") << c.name;
  }
}

TEST_F(Paint, DropListItemColours) {
  const struct {
    bool selected, disabled;
    COLORREF background, text;
  } cases[] = {
      {false, false, Sys(COLOR_WINDOW), Sys(COLOR_WINDOWTEXT)},
      {true, false, Sys(COLOR_HIGHLIGHT), Sys(COLOR_HIGHLIGHTTEXT)},
      {false, true, Sys(COLOR_WINDOW), Sys(COLOR_GRAYTEXT)},
  };
  for (const auto& c : cases) {
    Canvas canvas(100, 16);
    ScopedSelectObject font(canvas.dc(), font_.get());
    PaintDropListItem(canvas.dc(), canvas.Rect(), u"WWW", c.selected, c.disabled);
    EXPECT_EQ(canvas.At(0, 0), c.background);
    EXPECT_EQ(canvas.At(99, 15), c.background);
    const RECT text = canvas.BoundsOf(c.text, canvas.Rect());
    ASSERT_LT(text.left, text.right);
    EXPECT_GE(text.left, 2) << "2 pixels from the left";
    EXPECT_LE(text.left, 4);
    EXPECT_LE(std::abs((text.top + text.bottom) - 16), 3) << "vertically centred";
  }
}

TEST_F(Paint, SizeGripClassicAndThemed) {
  Canvas classic(17, 17);
  PaintSizeGrip(classic.dc(), nullptr, classic.Rect(), noLibrary_);
  EXPECT_EQ(classic.Count(kBackground, classic.Rect()), 0) << "the whole grip is painted";
  FakeStyles styles;
  Canvas themed(17, 17);
  PaintSizeGrip(themed.dc(), nullptr, themed.Rect(), styles);
  EXPECT_EQ(styles.calls, (std::vector<std::string>{"open SCROLLBAR", "part 7 state 1",
                                                    "part 10 state 1", "close"}));
}

TEST_F(Paint, GripHotAndDragged) {
  ScopedBitmap grip = HalfTransparent(kRed, 15, 24);
  const struct {
    bool hot, dragging;
    COLORREF topLeft;
  } cases[] = {{false, false, Sys(COLOR_BTNFACE)},
               {true, false, Sys(COLOR_BTNHIGHLIGHT)},
               {true, true, Sys(COLOR_BTNSHADOW)}};
  for (const auto& c : cases) {
    Canvas canvas(15, 24);
    GripLook look;
    look.bitmap = grip.get();
    look.hot = c.hot;
    look.dragging = c.dragging;
    PaintGrip(canvas.dc(), canvas.Rect(), look, noLibrary_);
    EXPECT_EQ(canvas.At(0, 0), c.topLeft);
    EXPECT_EQ(canvas.At(3, 12), Sys(COLOR_BTNFACE)) << "transparent half";
    EXPECT_EQ(canvas.At(12, 12), kRed);
  }
}

// ---- Menus -------------------------------------------------------------------------------------

TEST(MenuItems, OwnerDrawnItemsKeepTheirTextIdAndSubmenu) {
  MenuLooks looks;
  platform::win32::ScopedMenu menu(::CreatePopupMenu());
  HMENU sub = ::CreatePopupMenu();
  AppendOwnerDrawnItem(sub, u"子", 8101, false, nullptr, looks.Add(u"子", nullptr, 0, false));
  AppendOwnerDrawnItem(menu.get(), u"ニュース", 2030, false, sub,
                       looks.Add(u"ニュース", nullptr, 0, false));
  AppendOwnerDrawnItem(menu.get(), u"灰色", 2031, true, nullptr, looks.Add(u"灰色", nullptr, 0, true));
  ASSERT_EQ(::GetMenuItemCount(menu.get()), 2);
  const struct {
    int position;
    std::wstring text;
    UINT id;
    bool submenu, grayed;
  } cases[] = {{0, L"ニュース", 2030, true, false}, {1, L"灰色", 2031, false, true}};
  for (const auto& c : cases) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING | MIIM_STATE | MIIM_DATA;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(::GetMenuItemInfoW(menu.get(), static_cast<UINT>(c.position), TRUE, &info));
    EXPECT_EQ(std::wstring(text), c.text);
    EXPECT_EQ(info.wID, c.id);
    EXPECT_NE(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_EQ(info.hSubMenu != nullptr, c.submenu);
    EXPECT_EQ((info.fState & MFS_GRAYED) != 0, c.grayed);
    EXPECT_NE(info.dwItemData, 0u);
  }
}

class MenuPaint : public Paint {
 protected:
  // Draws one item of `look` as the system asks for it.
  void Draw(Canvas& canvas, MenuItemLook* look, UINT state, VisualStyles& styles) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.itemState = state;
    item.itemData = reinterpret_cast<ULONG_PTR>(look);
    item.hDC = canvas.dc();
    item.rcItem = canvas.Rect();
    ASSERT_TRUE(DrawMenuItem(item, styles));
  }
};

TEST_F(MenuPaint, MeasuresAndDrawsOnlyItsOwnItems) {
  MenuLooks looks;
  MenuItemLook* look = looks.Add(u"項目", HalfTransparent(kRed).Take(), kMagenta, false);
  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_MENU;
  measure.itemData = reinterpret_cast<ULONG_PTR>(look);
  ASSERT_TRUE(MeasureMenuItem(nullptr, measure));
  EXPECT_GE(measure.itemHeight, static_cast<UINT>(kMenuImageSize + 6));
  EXPECT_GT(measure.itemWidth, static_cast<UINT>(kMenuGutterWidth));
  MEASUREITEMSTRUCT other{};
  other.CtlType = ODT_MENU;
  other.itemData = 12345;
  EXPECT_FALSE(MeasureMenuItem(nullptr, other));
  DRAWITEMSTRUCT button{};
  button.CtlType = ODT_BUTTON;
  button.itemData = reinterpret_cast<ULONG_PTR>(look);
  EXPECT_FALSE(DrawMenuItem(button));
}

TEST_F(MenuPaint, ClassicImagesFadedLiftedAndGreyed) {
  MenuLooks looks;
  MenuItemLook* look = looks.Add(u"項目", HalfTransparent(kRed).Take(), kMagenta, false);
  MenuItemLook* grayed = looks.Add(u"項目", HalfTransparent(kRed).Take(), kMagenta, true);
  const int x = (kMenuGutterWidth - 16) / 2, y = (22 - 16) / 2;

  Canvas normal(120, 22);
  Draw(normal, look, 0, noLibrary_);
  EXPECT_EQ(normal.At(0, 0), Sys(COLOR_MENU));
  const COLORREF faded = normal.At(x + 12, y + 8);
  EXPECT_GT(GetRValue(faded), GetRValue(kRed)) << "lightened";
  EXPECT_GT(GetGValue(faded), 0);
  EXPECT_EQ(normal.At(x + 3, y + 8), Sys(COLOR_MENU)) << "transparent half";

  Canvas hot(120, 22);
  Draw(hot, look, ODS_SELECTED, noLibrary_);
  EXPECT_EQ(hot.At(0, 0), Sys(COLOR_HIGHLIGHT));
  EXPECT_EQ(hot.BoundsOf(kRed, hot.Rect()).left, x - 1 + 8) << "lifted one up and left";
  EXPECT_EQ(hot.BoundsOf(kRed, hot.Rect()).top, y - 1);
  const COLORREF shadow = hot.At(x + 16, y + 15);
  EXPECT_EQ(GetRValue(shadow), GetGValue(shadow)) << "a grey shadow below and right";
  EXPECT_LT(GetRValue(shadow), 128);

  Canvas grey(120, 22);
  Draw(grey, grayed, ODS_GRAYED, noLibrary_);
  const COLORREF greyed = grey.At(x + 12, y + 8);
  EXPECT_EQ(GetRValue(greyed), GetGValue(greyed));
  EXPECT_EQ(GetGValue(greyed), GetBValue(greyed));
  EXPECT_EQ(grey.Count(kRed, grey.Rect()), 0);
}

// Windows 6 and later with visual styles: the theme's menu parts, the image as it is.
TEST_F(MenuPaint, ThemedItemsUseTheMenuParts) {
  test::FakeSystemInfo system;
  system.major = 6;
  platform::ScopedSeams seams({nullptr, nullptr, &system});
  MenuLooks looks;
  MenuItemLook* look = looks.Add(u"項目", HalfTransparent(kRed).Take(), kMagenta, false);
  const int x = (kMenuGutterWidth - 16) / 2, y = (22 - 16) / 2;
  const struct {
    const char* name;
    UINT state;
    std::vector<std::string> calls;
    COLORREF at;  // left of the image, inside the gutter
  } cases[] = {
      {"normal", 0, {"open MENU", "part 9 state 0", "part 13 state 0", "close"}, PartColor(13, 0)},
      {"hot", ODS_SELECTED,
       {"open MENU", "part 9 state 0", "part 13 state 0", "part 14 state 2", "close"},
       PartColor(14, 2)},
      {"grayed and hot", ODS_SELECTED | ODS_GRAYED,
       {"open MENU", "part 9 state 0", "part 13 state 0", "part 14 state 4", "close"},
       PartColor(14, 4)},
  };
  for (const auto& c : cases) {
    FakeStyles styles;
    Canvas canvas(120, 22);
    Draw(canvas, look, c.state, styles);
    EXPECT_EQ(styles.calls, c.calls) << c.name;
    EXPECT_EQ(canvas.At(1, 1), c.at) << c.name;
    if (c.state & ODS_GRAYED) {
      EXPECT_EQ(canvas.Count(kRed, canvas.Rect()), 0) << c.name << ": greyed";
    } else {
      EXPECT_EQ(canvas.BoundsOf(kRed, canvas.Rect()).left, x + 8) << c.name << ": in place";
      EXPECT_EQ(canvas.BoundsOf(kRed, canvas.Rect()).top, y) << c.name;
    }
  }
  // Before Windows 6 the flat classic look, even with a theme.
  system.major = 5;
  FakeStyles styles;
  Canvas canvas(120, 22);
  Draw(canvas, look, ODS_SELECTED, styles);
  EXPECT_EQ(canvas.At(1, 1), Sys(COLOR_HIGHLIGHT));
}

}  // namespace
}  // namespace norvex::styling::win32
