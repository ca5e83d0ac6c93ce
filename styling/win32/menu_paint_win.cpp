#include "styling/win32/menu_paint_win.h"

#include <algorithm>
#include <set>

#include "platform/platform.h"
#include "platform/win32/module_instance.h"
#include "platform/win32/scoped_dc.h"
#include "styling/win32/gdi_paint_win.h"

namespace norvex::styling::win32 {

namespace {

using platform::win32::ScopedBitmap;
using platform::win32::ScopedSelectObject;
using platform::win32::W;

// The theme's popup menu parts and the item's states.
constexpr int kPopupBackgroundPart = 9;
constexpr int kPopupGutterPart = 13;
constexpr int kPopupItemPart = 14;
constexpr int kItemNormal = 1, kItemHot = 2, kItemDisabled = 3, kItemDisabledHot = 4;
constexpr int kTextColorProperty = 3803;
// Space between the image column and the caption, and after the caption (the submenu arrow).
constexpr int kCaptionGap = 6;
constexpr int kTrailingSpace = 24;

// The looks alive on this thread: only item data found here is ours to read.
thread_local std::set<const MenuItemLook*> g_looks;

const MenuItemLook* Find(ULONG_PTR data) {
  const auto* look = reinterpret_cast<const MenuItemLook*>(data);
  return g_looks.count(look) ? look : nullptr;
}

SIZE TextSize(HDC dc, const std::u16string& text) {
  SIZE size{};
  ::GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  return size;
}

int ItemThemeState(bool hot, bool grayed) {
  if (grayed) return hot ? kItemDisabledHot : kItemDisabled;
  return hot ? kItemHot : kItemNormal;
}

// The flat look of Windows 6 and later needs the theme's menu parts.
bool ThemedMenus() { return platform::Current().system->OsMajorVersion() >= 6; }

}  // namespace

MenuItemLook* MenuLooks::Add(const std::u16string& caption, int bitmapId, COLORREF transparent,
                             bool grayed) {
  HBITMAP image = bitmapId != 0 ? platform::win32::LoadModuleBitmap(bitmapId).Take() : nullptr;
  return Add(caption, image, transparent, grayed);
}

MenuItemLook* MenuLooks::Add(const std::u16string& caption, HBITMAP image, COLORREF transparent,
                             bool grayed) {
  auto look = std::make_unique<MenuItemLook>();
  look->caption = caption;
  look->grayed = grayed;
  look->transparent = transparent;
  look->image.Reset(image);
  if (look->image) {
    look->faded = ToneBitmap(image, transparent, ImageTone::kFaded);
    look->shadow = ToneBitmap(image, transparent, ImageTone::kShadow);
    look->greyed = ToneBitmap(image, transparent, ImageTone::kGreyed);
  }
  MenuItemLook* added = look.get();
  looks_.push_back(std::move(look));
  g_looks.insert(added);
  return added;
}

MenuLooks::~MenuLooks() {
  for (const auto& look : looks_) g_looks.erase(look.get());
}

void AppendOwnerDrawnItem(HMENU menu, const std::u16string& caption, int id, bool grayed,
                          HMENU submenu, MenuItemLook* look) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_DATA | MIIM_STATE;
  info.fType = MFT_OWNERDRAW;
  info.fState = grayed ? MFS_GRAYED : MFS_ENABLED;
  info.wID = static_cast<UINT>(id);
  info.dwTypeData = const_cast<wchar_t*>(W(caption));
  info.dwItemData = reinterpret_cast<ULONG_PTR>(look);
  if (submenu) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = submenu;
  }
  ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
}

HFONT MenuFont() {
  static const platform::win32::ScopedFont font = [] {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      return platform::win32::ScopedFont();
    }
    return platform::win32::ScopedFont(::CreateFontIndirectW(&metrics.lfMenuFont));
  }();
  return font ? font.get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

bool MeasureMenuItem(HWND owner, MEASUREITEMSTRUCT& measure) {
  if (measure.CtlType != ODT_MENU) return false;
  const MenuItemLook* look = Find(measure.itemData);
  if (!look) return false;
  SIZE text{};
  {
    const platform::win32::ScopedWindowDc dc(owner);
    const ScopedSelectObject font(dc.get(), MenuFont());
    text = TextSize(dc.get(), look->caption.empty() ? u" " : look->caption);
  }
  const SIZE image = BitmapSize(look->image.get());
  measure.itemWidth = static_cast<UINT>(kMenuGutterWidth + kCaptionGap + text.cx + kTrailingSpace);
  measure.itemHeight = static_cast<UINT>(
      std::max({kMenuImageSize + 6, static_cast<int>(image.cy) + 6, static_cast<int>(text.cy) + 8}));
  return true;
}

bool DrawMenuItem(const DRAWITEMSTRUCT& item, VisualStyles& styles) {
  if (item.CtlType != ODT_MENU) return false;
  const MenuItemLook* look = Find(item.itemData);
  if (!look) return false;
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  const bool hot = (item.itemState & ODS_SELECTED) != 0;
  const bool grayed = look->grayed || (item.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  const RECT gutter{r.left, r.top, r.left + kMenuGutterWidth, r.bottom};

  ScopedTheme theme(styles, ::WindowFromDC(dc), L"MENU");
  const bool themed = theme && ThemedMenus();
  COLORREF textColor;
  if (themed) {
    styles.DrawThemeBackground(theme.get(), dc, kPopupBackgroundPart, 0, r);
    styles.DrawThemeBackground(theme.get(), dc, kPopupGutterPart, 0, gutter);
    const int state = ItemThemeState(hot, grayed);
    if (hot) styles.DrawThemeBackground(theme.get(), dc, kPopupItemPart, state, r);
    textColor = styles.GetThemeColor(theme.get(), kPopupItemPart, state, kTextColorProperty)
                    .value_or(::GetSysColor(grayed ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
  } else {
    FillSolid(dc, r, ::GetSysColor(hot ? COLOR_HIGHLIGHT : COLOR_MENU));
    textColor = ::GetSysColor(grayed ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
  }

  const SIZE image = BitmapSize(look->image.get());
  if (image.cx > 0) {
    const int x = gutter.left + (kMenuGutterWidth - image.cx) / 2;
    const int y = r.top + (r.bottom - r.top - image.cy) / 2;
    if (grayed) {
      DrawTransparentBitmap(dc, x, y, look->greyed.get(), look->transparent);
    } else if (themed) {
      DrawTransparentBitmap(dc, x, y, look->image.get(), look->transparent);
    } else if (hot) {
      // Lifted over its shadow.
      DrawTransparentBitmap(dc, x + 1, y + 1, look->shadow.get(), look->transparent);
      DrawTransparentBitmap(dc, x - 1, y - 1, look->image.get(), look->transparent);
    } else {
      DrawTransparentBitmap(dc, x, y, look->faded.get(), look->transparent);
    }
  }

  RECT text{gutter.right + kCaptionGap, r.top, r.right, r.bottom};
  const ScopedSelectObject font(dc, MenuFont());
  const platform::win32::ScopedBkMode mode(dc, TRANSPARENT);
  const platform::win32::ScopedTextColor color(dc, textColor);
  ::DrawTextW(
      dc, W(look->caption), static_cast<int>(look->caption.size()), &text,
      DT_SINGLELINE | DT_VCENTER | DT_LEFT | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
  return true;
}

}  // namespace norvex::styling::win32
