#include "styling/win32/gdi_paint_win.h"

#include <vector>

#include "platform/win32/scoped_dc.h"

namespace norvex::styling::win32 {

using platform::win32::ScopedBitmap;
using platform::win32::ScopedBkColor;
using platform::win32::ScopedMemoryDc;
using platform::win32::ScopedScreenDc;
using platform::win32::ScopedSelectObject;
using platform::win32::ScopedTextColor;

RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

COLORREF ColorOf(FaceColor color) {
  switch (color) {
    case FaceColor::kButtonFace:
      return ::GetSysColor(COLOR_BTNFACE);
    case FaceColor::kButtonShadow:
      return ::GetSysColor(COLOR_BTNSHADOW);
    case FaceColor::kButtonHighlight:
      return ::GetSysColor(COLOR_BTNHIGHLIGHT);
    case FaceColor::kButtonText:
    case FaceColor::kPressedThemeText:  // without a theme to ask
      return ::GetSysColor(COLOR_BTNTEXT);
    case FaceColor::kGrayText:
      return ::GetSysColor(COLOR_GRAYTEXT);
    case FaceColor::kWindowText:
      return ::GetSysColor(COLOR_WINDOWTEXT);
    case FaceColor::kActiveBorder:
      return ::GetSysColor(COLOR_ACTIVEBORDER);
    case FaceColor::kBlack:
      break;
  }
  return RGB(0, 0, 0);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  // ExtTextOut with an opaque rectangle fills in one colour without making a brush.
  const ScopedBkColor background(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  FillSolid(dc, {r.left, r.top, r.right - 1, r.top + 1}, topLeft);
  FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
  FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
  FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

void DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, COLORREF transparent) {
  const SIZE size = BitmapSize(bitmap);
  if (size.cx <= 0 || size.cy <= 0) return;
  ScopedMemoryDc image(::CreateCompatibleDC(dc));
  ScopedMemoryDc maskDc(::CreateCompatibleDC(dc));
  ScopedBitmap mask(::CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
  if (!image || !maskDc || !mask) return;
  ScopedSelectObject selectImage(image.get(), bitmap);
  ScopedSelectObject selectMask(maskDc.get(), mask.get());
  // The mask: white where the bitmap has the transparent colour, black elsewhere.
  {
    const ScopedBkColor imageBack(image.get(), transparent);
    ::BitBlt(maskDc.get(), 0, 0, size.cx, size.cy, image.get(), 0, 0, SRCCOPY);
  }
  // A monochrome source is spread as text colour (0) and background colour (1).
  const ScopedTextColor text(dc, RGB(0, 0, 0));
  const ScopedBkColor back(dc, RGB(255, 255, 255));
  ::BitBlt(dc, x, y, size.cx, size.cy, image.get(), 0, 0, SRCINVERT);
  ::BitBlt(dc, x, y, size.cx, size.cy, maskDc.get(), 0, 0, SRCAND);
  ::BitBlt(dc, x, y, size.cx, size.cy, image.get(), 0, 0, SRCINVERT);
}

ScopedBitmap ToneBitmap(HBITMAP bitmap, COLORREF transparent, ImageTone tone) {
  const SIZE size = BitmapSize(bitmap);
  if (size.cx <= 0 || size.cy <= 0) return ScopedBitmap();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy));
  const ScopedScreenDc screenDc(::GetDC(nullptr));
  const HDC screen = screenDc.get();
  const int read = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(size.cy), pixels.data(),
                               &info, DIB_RGB_COLORS);
  ScopedBitmap toned;
  if (read == size.cy) {
    // DIB pixels are 0x00RRGGBB; the tones work on COLORREF values, 0x00BBGGRR.
    auto swap = [](uint32_t p) { return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF); };
    for (uint32_t& p : pixels) p = swap(p);
    ToneImage(pixels, transparent, tone);
    for (uint32_t& p : pixels) p = swap(p);
    toned.Reset(::CreateCompatibleBitmap(screen, size.cx, size.cy));
    if (toned && ::SetDIBits(screen, toned.get(), 0, static_cast<UINT>(size.cy), pixels.data(),
                             &info, DIB_RGB_COLORS) != size.cy) {
      toned.Reset();
    }
  }
  return toned;
}

}  // namespace norvex::styling::win32
