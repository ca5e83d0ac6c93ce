// Scope guards for device contexts and their state: a window's paint (BeginPaint/EndPaint), a
// window's device context (GetDC/ReleaseDC), and the background mode, text colour and
// background colour of a device context, each put back as it was found when the guard goes.
// Selected GDI objects have ScopedSelectObject (scoped_handle.h).
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::platform::win32 {

// WM_PAINT's device context: BeginPaint now, EndPaint when the guard goes.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~ScopedPaint() { ::EndPaint(window_, &paint_); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  HDC dc() const { return dc_; }
  // The part of the window to paint.
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// The device context of a window's client area (of the screen for null), released when the
// guard goes.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedWindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// One setting of a device context changed for the life of the guard and put back as it was:
// `Setting` names its type, its setter (which answers the previous value) and the value that
// means the setter failed.
template <typename Setting>
class ScopedDcSetting {
 public:
  using Value = typename Setting::Value;
  ScopedDcSetting(HDC dc, Value value) : dc_(dc), previous_(Setting::Set(dc, value)) {}
  ~ScopedDcSetting() {
    if (previous_ != Setting::kFailed) Setting::Set(dc_, previous_);
  }
  ScopedDcSetting(const ScopedDcSetting&) = delete;
  ScopedDcSetting& operator=(const ScopedDcSetting&) = delete;

 private:
  HDC dc_;
  Value previous_;
};

struct BkModeSetting {
  using Value = int;
  static constexpr Value kFailed = 0;
  static Value Set(HDC dc, Value mode) { return ::SetBkMode(dc, mode); }
};
struct TextColorSetting {
  using Value = COLORREF;
  static constexpr Value kFailed = CLR_INVALID;
  static Value Set(HDC dc, Value color) { return ::SetTextColor(dc, color); }
};
struct BkColorSetting {
  using Value = COLORREF;
  static constexpr Value kFailed = CLR_INVALID;
  static Value Set(HDC dc, Value color) { return ::SetBkColor(dc, color); }
};

// The background mode, the text colour and the background colour.
using ScopedBkMode = ScopedDcSetting<BkModeSetting>;
using ScopedTextColor = ScopedDcSetting<TextColorSetting>;
using ScopedBkColor = ScopedDcSetting<BkColorSetting>;

}  // namespace norvex::platform::win32
