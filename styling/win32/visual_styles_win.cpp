#include "styling/win32/visual_styles_win.h"

namespace norvex::styling::win32 {

namespace {

using IsAppThemedFunction = BOOL(WINAPI*)();
using OpenThemeDataFunction = HANDLE(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFunction = HRESULT(WINAPI*)(HANDLE);
using DrawThemeParentBackgroundFunction = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
using DrawThemeBackgroundFunction = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*,
                                                     const RECT*);
using GetThemeColorFunction = HRESULT(WINAPI*)(HANDLE, int, int, int, COLORREF*);

}  // namespace

ThemeLibrary::ThemeLibrary(const wchar_t* fileName) : module_(::LoadLibraryW(fileName)) {}

bool ThemeLibrary::IsAppThemed() {
  const auto function = Find<IsAppThemedFunction>("IsAppThemed");
  return function && function() != FALSE;
}

ThemeHandle ThemeLibrary::OpenThemeData(HWND window, const wchar_t* classList) {
  const auto function = Find<OpenThemeDataFunction>("OpenThemeData");
  return function ? function(window, classList) : nullptr;
}

void ThemeLibrary::CloseThemeData(ThemeHandle theme) {
  const auto function = Find<CloseThemeDataFunction>("CloseThemeData");
  if (function && theme) function(theme);
}

bool ThemeLibrary::DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) {
  const auto function = Find<DrawThemeParentBackgroundFunction>("DrawThemeParentBackground");
  return function && SUCCEEDED(function(window, dc, rect));
}

bool ThemeLibrary::DrawThemeBackground(ThemeHandle theme, HDC dc, int part, int state,
                                       const RECT& rect) {
  const auto function = Find<DrawThemeBackgroundFunction>("DrawThemeBackground");
  return function && theme && SUCCEEDED(function(theme, dc, part, state, &rect, nullptr));
}

std::optional<COLORREF> ThemeLibrary::GetThemeColor(ThemeHandle theme, int part, int state,
                                                    int property) {
  const auto function = Find<GetThemeColorFunction>("GetThemeColor");
  COLORREF color = 0;
  if (!function || !theme || FAILED(function(theme, part, state, property, &color))) {
    return std::nullopt;
  }
  return color;
}

VisualStyles& SystemVisualStyles() {
  // Made on first use and kept for the life of the process: the library stays loaded while a
  // theme handle from it may be open.
  static ThemeLibrary* library = new ThemeLibrary(L"UxTheme.dll");
  return *library;
}

}  // namespace norvex::styling::win32
