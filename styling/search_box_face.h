// The search box's face: which state its drop-down button is drawn in, themed or classic, and
// how a drop-down list item is coloured.
#pragma once

#include "styling/button_face.h"

namespace norvex::styling {

struct SearchBoxState {
  bool enabled = true;
  bool hot = false;   // the pointer is over the drop-down button
  bool open = false;  // the drop-down is open
  bool empty = false; // the list has no items
};

// The themed combo box's drop-down button part and its states.
inline constexpr int kComboDropDownPart = 1;
inline constexpr int kComboNormal = 1;
inline constexpr int kComboHot = 2;
inline constexpr int kComboPressed = 3;
inline constexpr int kComboDisabled = 4;

// The theme state of the drop-down button: disabled also while the list is empty.
int ComboButtonThemeState(const SearchBoxState& state);

// The classic scroll button: pushed and flat while open, inactive when disabled or empty.
struct ClassicComboButton {
  bool pushedFlat = false;
  bool inactive = false;
  bool operator==(const ClassicComboButton&) const = default;
};
ClassicComboButton ComboButtonClassicLook(const SearchBoxState& state);

// The colours of a drop-down list item: text on background.
enum class ListColor { kWindow, kWindowText, kHighlight, kHighlightText, kGrayText };
struct ListItemColors {
  ListColor text, background;
  bool operator==(const ListItemColors&) const = default;
};
ListItemColors DropListItemColors(bool selected, bool disabled);

// The item text starts this far from the item's left edge.
inline constexpr int kListTextIndent = 2;

}  // namespace norvex::styling
