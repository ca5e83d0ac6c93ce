// Owner-drawn popup menus with the agents' images. Two looks, as the system's own menus have
// them: on Windows 6 and later with visual styles on, the theme's popup menu parts (background,
// image gutter, item in its state) with the image as it is and greyed for a grayed item;
// otherwise the flat classic menu, the hot item in the highlight colour with its image lifted
// over a dark shadow, other images slightly faded, grayed ones greyed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "styling/win32/visual_styles_win.h"

namespace norvex::styling::win32 {

// What one owner-drawn item shows; its address is the item's data.
struct MenuItemLook {
  std::u16string caption;
  bool grayed = false;
  COLORREF transparent = 0;
  // The image in each of its tones; all empty for an item without an image.
  platform::win32::ScopedBitmap image, faded, shadow, greyed;
};

// The looks of the items of one menu (and its submenus) while it is shown.
class MenuLooks {
 public:
  MenuLooks() = default;
  ~MenuLooks();
  MenuLooks(const MenuLooks&) = delete;
  MenuLooks& operator=(const MenuLooks&) = delete;

  // A look for an item; `bitmapId` 0 (or one the module does not have) gives no image.
  MenuItemLook* Add(const std::u16string& caption, int bitmapId, COLORREF transparent, bool grayed);
  // The same with an image that the look takes over.
  MenuItemLook* Add(const std::u16string& caption, HBITMAP image, COLORREF transparent, bool grayed);

 private:
  std::vector<std::unique_ptr<MenuItemLook>> looks_;
};

// The item size and the column the images take.
inline constexpr int kMenuImageSize = 16;
inline constexpr int kMenuGutterWidth = kMenuImageSize + 8;

// Appends an owner-drawn item to `menu`: its caption stays the item's text (a reader of the menu
// finds it as for any item), `id` its command, `submenu` (when not null) its popup, `look` its
// data.
void AppendOwnerDrawnItem(HMENU menu, const std::u16string& caption, int id, bool grayed,
                          HMENU submenu, MenuItemLook* look);

// WM_MEASUREITEM for an item whose data is a MenuItemLook; false for any other item.
bool MeasureMenuItem(HWND owner, MEASUREITEMSTRUCT& measure);
// WM_DRAWITEM for such an item; false for any other item.
bool DrawMenuItem(const DRAWITEMSTRUCT& item, VisualStyles& styles = SystemVisualStyles());

// The font the system's menus use (made on first use, kept for the process).
HFONT MenuFont();

}  // namespace norvex::styling::win32
