// Small GDI drawing helpers of the toolbar's painting: solid fills and 3-D edges in exact
// pixels, bitmaps drawn with a transparent colour left out, and toned copies of bitmaps. Every
// GDI object selected is restored and every object made is freed before they return.
#pragma once

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "styling/button_face.h"
#include "styling/image_tones.h"

namespace norvex::styling::win32 {

RECT ToRect(const Rect& r);

// The colour a face colour stands for on this system.
COLORREF ColorOf(FaceColor color);

void FillSolid(HDC dc, const RECT& rect, COLORREF color);

// A 3-D rectangle one pixel wide: the top row (less its last pixel) and the left column (less
// its last pixel) in `topLeft`, the right column and the bottom row in `bottomRight`.
void Draw3dRect(HDC dc, const RECT& rect, COLORREF topLeft, COLORREF bottomRight);

// The bitmap's own size; (0, 0) for none.
SIZE BitmapSize(HBITMAP bitmap);

// Draws `bitmap` with its top-left corner at (x, y); its pixels of the colour `transparent`
// keep what the device context shows there. A mask is made from the transparent colour and the
// bitmap is combined with the destination by XOR, then AND with the mask, then XOR again.
void DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, COLORREF transparent);

// A copy of `bitmap` (as 32-bit pixels) in the given tone, its transparent colour kept; empty
// when the bitmap cannot be read.
platform::win32::ScopedBitmap ToneBitmap(HBITMAP bitmap, COLORREF transparent, ImageTone tone);

}  // namespace norvex::styling::win32
