#include "styling/search_box_face.h"

namespace norvex::styling {

int ComboButtonThemeState(const SearchBoxState& state) {
  if (!state.enabled || state.empty) return kComboDisabled;
  if (state.open) return kComboPressed;
  if (state.hot) return kComboHot;
  return kComboNormal;
}

ClassicComboButton ComboButtonClassicLook(const SearchBoxState& state) {
  return {state.open, !state.enabled || state.empty};
}

ListItemColors DropListItemColors(bool selected, bool disabled) {
  const ListColor background = selected ? ListColor::kHighlight : ListColor::kWindow;
  if (disabled) return {ListColor::kGrayText, background};
  return {selected ? ListColor::kHighlightText : ListColor::kWindowText, background};
}

}  // namespace norvex::styling
