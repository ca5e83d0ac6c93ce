#include "toolbar/headless_surface.h"

#include <algorithm>

namespace norvex::toolbar {

HeadlessSurface::HeadlessSurface() = default;
HeadlessSurface::~HeadlessSurface() = default;

int HeadlessSurface::TextWidth(const std::u16string& text) {
  int width = 0;
  for (char16_t c : text) {
    if (c >= 0xDC00 && c <= 0xDFFF) continue;  // second half of a pair: counted with the first
    width += c < 0x80 ? kNarrowChar : kWideChar;
  }
  return width;
}

search::SearchComboHost* HeadlessSurface::CreateSearchBox(const Rect& rect) {
  if (searchBoxFails) return nullptr;
  searchRect_ = rect;
  editText_.clear();
  selStart_ = selEnd_ = 0;
  return this;
}

// The headless edit field exists at once (a window makes it at its first paint).
void HeadlessSurface::ConnectSearchBox(search::SearchComboBox& model) {
  combo_ = &model;
  combo_->OnEditCreated();
}

void HeadlessSurface::DestroySearchBox() {
  if (!combo_) return;
  combo_ = nullptr;
  posted_.clear();
  editFocused_ = dropDownShown_ = false;
  dropDownItems_.clear();
  editText_.clear();
}

void HeadlessSurface::DeliverPosted() {
  while (!posted_.empty()) {
    const int code = posted_.front();
    posted_.pop_front();
    if (notify) notify(code);
  }
}

void HeadlessSurface::SendNotification(int code) {
  if (notify) notify(code);
}

search::Rect HeadlessSurface::ScreenRect() const {
  return {searchRect_.left + screenOffsetX, searchRect_.top, searchRect_.right + screenOffsetX,
          searchRect_.bottom};
}

void HeadlessSurface::ShowEditText(const std::u16string& text) {
  editText_ = text;
  selStart_ = std::min(selStart_, editText_.size());
  selEnd_ = std::min(selEnd_, editText_.size());
  // As a real edit field answers WM_SETTEXT: an update, then a change.
  if (combo_) {
    combo_->OnEditUpdate(editText_, selStart_, selEnd_);
    combo_->OnEditChange();
  }
}

void HeadlessSurface::SetEditSelection(size_t start, size_t end) {
  selStart_ = std::min(start, editText_.size());
  selEnd_ = std::min(end, editText_.size());
}

void HeadlessSurface::FocusEditField() {
  if (!combo_ || editFocused_) return;
  editFocused_ = true;
  combo_->OnEditSetFocus();
}

void HeadlessSurface::FocusSearchBox() {
  if (combo_) combo_->OnSetFocus();
}

// The edit field's own handling of the keys that the filters hand over.
void HeadlessSurface::PassKeyToEditField(int virtualKey) {
  if (!combo_) return;
  size_t start = std::min(selStart_, selEnd_), end = std::max(selStart_, selEnd_);
  std::u16string text = editText_;
  switch (virtualKey) {
    case search::kVkBack:
      if (start == end && start > 0) --start;
      break;
    case search::kVkDelete:
      if (start == end && end < text.size()) ++end;
      break;
    case search::kVkHome:
      selStart_ = selEnd_ = 0;
      return;
    case search::kVkEnd:
      selStart_ = selEnd_ = text.size();
      return;
    case search::kVkLeft:  // from the caret (the selection's end), dropping the selection
      selStart_ = selEnd_ = selEnd_ > 0 ? selEnd_ - 1 : 0;
      return;
    case search::kVkRight:
      selStart_ = selEnd_ = selEnd_ < text.size() ? selEnd_ + 1 : selEnd_;
      return;
    default:
      return;  // clipboard keys: the headless edit field has no clipboard
  }
  if (start == end) return;
  text.erase(start, end - start);
  editText_ = text;
  selStart_ = selEnd_ = start;
  combo_->OnEditUpdate(text, start, start);
  combo_->OnEditChange();
}

void HeadlessSurface::TypeText(const std::u16string& text) {
  if (!combo_) return;
  FocusSearchBox();
  // Select everything (Ctrl+A), then type over it; an empty text deletes the selection.
  combo_->TranslateKey('A', true);
  if (text.empty()) {
    PassKeyToEditField(search::kVkBack);
    return;
  }
  for (char16_t c : text) {
    if (!combo_->TypeCharacter(c)) break;  // the box holds at most 50 characters
    selStart_ = combo_->selectionStart();
    selEnd_ = combo_->selectionEnd();
  }
}

void HeadlessSurface::PressKey(int virtualKey) {
  if (!combo_) return;
  FocusSearchBox();
  combo_->TranslateKey(virtualKey, false);
}

bool HeadlessSurface::ShowDropDown(const search::Rect&, const std::vector<search::ComboItem>& items,
                                   int selected) {
  if (dropDownFails) return false;
  dropDownShown_ = true;
  dropDownItems_ = items;
  dropDownSelection_ = selected;
  return true;
}

void HeadlessSurface::HideDropDown() {
  dropDownShown_ = false;
  dropDownItems_.clear();
  dropDownSelection_ = -1;
}

void HeadlessSurface::ReplaceDropDownItems(const std::vector<search::ComboItem>& items) {
  dropDownItems_ = items;
}

}  // namespace norvex::toolbar
