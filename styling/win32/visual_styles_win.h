// Access to the visual styles library ("UxTheme.dll"), loaded at run time so that the toolbar
// also runs where the library is missing, and painted classic there. Each function is looked up
// when it is called; a missing library or function answers as "no theme". Painting code takes a
// VisualStyles so that tests can give it a theme of their own.
#pragma once

#include <optional>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::styling::win32 {

// An open theme's data, as OpenThemeData gives it; null for none.
using ThemeHandle = HANDLE;

class VisualStyles {
 public:
  virtual ~VisualStyles() = default;

  // True when the library is loaded.
  virtual bool Loaded() const = 0;
  // IsAppThemed; false without the library.
  virtual bool IsAppThemed() = 0;
  virtual ThemeHandle OpenThemeData(HWND window, const wchar_t* classList) = 0;
  virtual void CloseThemeData(ThemeHandle theme) = 0;
  // DrawThemeParentBackground, DrawThemeBackground: false when nothing was drawn.
  virtual bool DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) = 0;
  virtual bool DrawThemeBackground(ThemeHandle theme, HDC dc, int part, int state,
                                   const RECT& rect) = 0;
  // GetThemeColor; nothing when the theme has no such colour.
  virtual std::optional<COLORREF> GetThemeColor(ThemeHandle theme, int part, int state,
                                                int property) = 0;

  // The library is loaded and the application is themed.
  bool Themed() { return Loaded() && IsAppThemed(); }
};

// The visual styles of a library loaded by name; "UxTheme.dll" for the system's.
class ThemeLibrary final : public VisualStyles {
 public:
  explicit ThemeLibrary(const wchar_t* fileName);
  ThemeLibrary(const ThemeLibrary&) = delete;
  ThemeLibrary& operator=(const ThemeLibrary&) = delete;

  bool Loaded() const override { return module_.valid(); }
  bool IsAppThemed() override;
  ThemeHandle OpenThemeData(HWND window, const wchar_t* classList) override;
  void CloseThemeData(ThemeHandle theme) override;
  bool DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) override;
  bool DrawThemeBackground(ThemeHandle theme, HDC dc, int part, int state,
                           const RECT& rect) override;
  std::optional<COLORREF> GetThemeColor(ThemeHandle theme, int part, int state,
                                        int property) override;

 private:
  template <typename Function>
  Function Find(const char* name) const {
    return module_ ? reinterpret_cast<Function>(
                         reinterpret_cast<void*>(::GetProcAddress(module_.get(), name)))
                   : nullptr;
  }

  platform::win32::ScopedLibrary module_;
};

// The system's visual styles, loaded once per process.
VisualStyles& SystemVisualStyles();

// Theme data opened for a window, closed when the object goes; empty when it did not open or
// when visual styles are off.
class ScopedTheme {
 public:
  ScopedTheme(VisualStyles& styles, HWND window, const wchar_t* classList)
      : styles_(styles), theme_(styles.Themed() ? styles.OpenThemeData(window, classList) : nullptr) {}
  ~ScopedTheme() {
    if (theme_) styles_.CloseThemeData(theme_);
  }
  ScopedTheme(const ScopedTheme&) = delete;
  ScopedTheme& operator=(const ScopedTheme&) = delete;
  explicit operator bool() const { return theme_ != nullptr; }
  ThemeHandle get() const { return theme_; }

 private:
  VisualStyles& styles_;
  ThemeHandle theme_;
};

}  // namespace norvex::styling::win32
