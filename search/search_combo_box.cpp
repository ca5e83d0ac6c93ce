#include "search/search_combo_box.h"

#include <algorithm>

#include "storage/settings.h"

namespace norvex::search {

namespace {

std::u16string Cut(std::u16string_view text) {
  return std::u16string(text.substr(0, std::min(text.size(), kSearchTextLimit)));
}

}  // namespace

// -- Text ------------------------------------------------------------------------------------

std::u16string SearchComboBox::GetText() const { return editExists_ ? editText_ : kept_; }

void SearchComboBox::SetText(std::u16string_view text) {
  // Cut in every case: an edit field created later shows the kept text, and its limit does not
  // shorten a text it is given.
  kept_ = Cut(text);
  if (editExists_) {
    selStart_ = selEnd_ = kept_.size();
    ShowInEditField(kept_, ShownText::kEdit);
    host_.SetEditSelection(selStart_, selEnd_);
  }
}

void SearchComboBox::ShowText(std::u16string text) {
  kept_ = std::move(text);
  if (editExists_) ShowInEditField(kept_, ShownText::kChoice);
}

// A real edit field reports a text set in it as an update and a change while the setting call
// runs; a headless one may not. The parent hears the same either way: what the host did not
// report is done here.
void SearchComboBox::ShowInEditField(std::u16string text, ShownText why) {
  editText_ = std::move(text);
  selStart_ = std::min(selStart_, editText_.size());
  selEnd_ = std::min(selEnd_, editText_.size());
  showing_ = why;
  showReported_ = false;
  host_.ShowEditText(editText_);
  const bool reported = showReported_;
  showing_.reset();
  if (!reported && why != ShownText::kCreation) {
    EditUpdated(why == ShownText::kEdit);
    OnEditChange();
  }
}

// -- History ---------------------------------------------------------------------------------

void SearchComboBox::LoadHistory(std::u16string_view section, std::u16string_view prefix) {
  history_.LoadHistory(section, prefix);
}

void SearchComboBox::AddHistory(std::u16string_view text, bool write) {
  if (open_) CloseDropDown();
  history_.AddHistory(text, write);
}

void SearchComboBox::DeleteHistory() {
  history_.DeleteHistory();
  kept_.clear();
  current_ = -1;
  host_.Repaint();
  if (open_) {
    shown_.clear();
    dropSelected_ = -1;
    dropTop_ = 0;
    host_.ReplaceDropDownItems(shown_);
  }
}

void SearchComboBox::OnDestroy() { history_.SaveHistory(); }

// -- Combo-box messages ----------------------------------------------------------------------

int SearchComboBox::AddString(std::u16string_view text) {
  AddHistory(text, false);
  return history_.Find(text);
}

void SearchComboBox::ResetContent() {
  history_.items().clear();
  current_ = -1;
  if (open_) {
    shown_.clear();
    dropSelected_ = -1;
    dropTop_ = 0;
    host_.ReplaceDropDownItems(shown_);
  }
  kept_.clear();
  if (editExists_) ShowInEditField(u"", ShownText::kChoice);
}

int SearchComboBox::SetCurSel(int index) {
  if (index < 0 || index >= GetCount()) index = -1;
  SelectByMessage(index);
  return index;
}

int SearchComboBox::SelectString(std::u16string_view text) {
  const int index = history_.Find(text);
  if (index >= 0) SelectByMessage(index);
  return index;
}

// The item becomes current and the box shows its text (none: an empty box), as a standard
// combo box shows the selection in its edit field.
void SearchComboBox::SelectByMessage(int index) {
  current_ = index;
  ShowText(index < 0 ? std::u16string() : items()[static_cast<size_t>(index)].text);
}

std::u16string SearchComboBox::GetLBText(int index) const {
  if (index < 0 || index >= GetCount()) return {};
  return items()[static_cast<size_t>(index)].text;
}

int SearchComboBox::GetLBTextLen(int index) const {
  if (index < 0 || index >= GetCount()) return -1;
  return static_cast<int>(items()[static_cast<size_t>(index)].text.size());
}

int SearchComboBox::SetTopIndex(int index) {
  if (!open_ || index < 0 || index >= static_cast<int>(shown_.size())) return -1;
  dropTop_ = index;
  host_.ScrollDropDown(dropTop_);
  return 0;
}

// -- Edit field ------------------------------------------------------------------------------

void SearchComboBox::OnEditCreated() {
  editExists_ = true;
  selStart_ = selEnd_ = 0;
  ShowInEditField(Cut(kept_), ShownText::kCreation);
}

bool SearchComboBox::TypeCharacter(char16_t c) {
  if (!editExists_) return false;
  const size_t start = std::min(selStart_, selEnd_), end = std::max(selStart_, selEnd_);
  if (editText_.size() - (end - start) + 1 > kSearchTextLimit) return false;
  std::u16string text = editText_;
  text.replace(start, end - start, 1, c);
  selStart_ = selEnd_ = start + 1;
  ShowInEditField(std::move(text), ShownText::kEdit);
  return true;
}

void SearchComboBox::OnEditUpdate(std::u16string_view text, size_t selStart, size_t selEnd) {
  if (showing_) {
    // The edit field reports the text that we are showing in it: the text and caret are ours.
    showReported_ = true;
    if (*showing_ != ShownText::kCreation) EditUpdated(*showing_ == ShownText::kEdit);
    return;
  }
  editText_.assign(text);
  selStart_ = std::min(selStart, editText_.size());
  selEnd_ = std::min(selEnd, editText_.size());
  EditUpdated(true);
}

void SearchComboBox::EditUpdated(bool filter) {
  host_.PostNotification(kCbnEditUpdate);
  if (filter) RunAutocomplete();
}

void SearchComboBox::OnEditSelection(size_t start, size_t end) {
  selStart_ = std::min(start, editText_.size());
  selEnd_ = std::min(end, editText_.size());
}

void SearchComboBox::OnEditChange() {
  if (showing_ == ShownText::kCreation) return;
  if (!open_) host_.SendNotification(kCbnEditChange);
}

void SearchComboBox::RunAutocomplete() {
  if (editFocused_) {
    const std::u16string& text = editText_;
    if (text.empty()) {
      if (open_) CloseDropDown();
      arrowNavigation_ = false;
      return;
    }
    std::vector<ComboItem> matches = history_.StartingWith(text);
    if (!arrowNavigation_) {
      if (open_) CloseDropDown();
      if (!matches.empty()) OpenDropDown(std::move(matches), false);
    }
  }
  arrowNavigation_ = false;
}

// -- Keyboard --------------------------------------------------------------------------------

int SearchComboBox::TranslateKey(int virtualKey, bool ctrl) {
  if (ctrl) {
    switch (virtualKey) {
      case 'A':
        if (editExists_) {
          selStart_ = 0;
          selEnd_ = editText_.size();
          host_.SetEditSelection(selStart_, selEnd_);
        }
        host_.PassKeyToEditField(virtualKey);
        return 0;
      case 'C':
      case 'V':
      case 'X':
        host_.PassKeyToEditField(virtualKey);
        return 0;
      default:
        break;
    }
  }
  switch (virtualKey) {
    case kVkReturn:
      host_.PostNotification(kNotifySubmit);
      return 1;
    case kVkEscape:
      if (open_) CloseDropDown();
      host_.Repaint();
      return 1;
    case kVkBack:
    case kVkDelete:
      host_.PassKeyToEditField(virtualKey);
      return 0;
    case kVkHome:
    case kVkEnd:
    case kVkLeft:
      if (!editExists_) return 1;
      MoveCaret(virtualKey);
      host_.PassKeyToEditField(virtualKey);
      return 0;
    case kVkUp:
      MoveSelection(-1);
      return 0;
    case kVkDown:
      MoveSelection(+1);
      return 0;
    case kVkRight:
      if (editExists_ && (selStart_ != selEnd_ || selEnd_ != editText_.size())) {
        MoveCaret(virtualKey);
        host_.PassKeyToEditField(virtualKey);
        return 0;
      }
      EditUpdated(true);
      return 1;
    case kVkF4:
      ToggleDropDown();
      return 0;
    default:
      return 1;
  }
}

int SearchComboBox::TranslateSysKey(int virtualKey) {
  if (virtualKey == kVkUp || virtualKey == kVkDown) ToggleDropDown();
  return 1;
}

int SearchComboBox::FilterKey(int virtualKey, bool ctrl) {
  if (virtualKey == kVkReturn && !ctrl && open_) {
    ChooseItem(dropSelected_);
    return 0;
  }
  return TranslateKey(virtualKey, ctrl);
}

// The caret keys as the edit field handles them, so that the model knows where the caret is
// (no notification tells it): the caret is the selection's end; Left and Right move it by one
// from there and drop the selection.
void SearchComboBox::MoveCaret(int virtualKey) {
  size_t caret = selEnd_;
  if (virtualKey == kVkHome) caret = 0;
  if (virtualKey == kVkEnd) caret = editText_.size();
  if (virtualKey == kVkLeft && caret > 0) --caret;
  if (virtualKey == kVkRight && caret < editText_.size()) ++caret;
  selStart_ = selEnd_ = caret;
}

// The mark keeps the filter from running on the text of the item chosen here; it ends with
// the choice (or at once when there is nothing to choose).
void SearchComboBox::MoveSelection(int step) {
  arrowNavigation_ = true;
  const int target = dropSelected_ + step;
  if (open_ && target >= 0 && target < static_cast<int>(shown_.size())) {
    dropSelected_ = target;
    host_.SelectDropDownItem(target);
    ChooseItem(target);
  }
  arrowNavigation_ = false;
}

// -- Drop-down -------------------------------------------------------------------------------

void SearchComboBox::OpenDropDown(std::vector<ComboItem> list, bool wholeList) {
  if (items().empty()) return;
  int width = storage::ReadWindowDimension(u"dropwidth");
  int height = storage::ReadWindowDimension(u"dropheight");
  if (width < 1 || height < 1) {
    width = kMinDropWidth;
    height = kMinDropHeight;
  } else {
    width = std::max(width, kMinDropWidth);
    height = std::max(height, kMinDropHeight);
  }
  const Rect combo = host_.ScreenRect();
  shown_ = std::move(list);
  open_ = true;
  wholeList_ = wholeList;
  dropTop_ = 0;
  dropWidth_ = width;
  dropHeight_ = height;
  // The combo's current item, where the list shows it.
  dropSelected_ = -1;
  if (current_ >= 0 && current_ < GetCount()) {
    const std::u16string& text = items()[static_cast<size_t>(current_)].text;
    for (size_t i = 0; i < shown_.size(); ++i) {
      if (shown_[i].text == text) dropSelected_ = static_cast<int>(i);
    }
  }
  if (!host_.ShowDropDown(Rect{combo.left, combo.bottom, combo.left + width, combo.bottom + height},
                          shown_, dropSelected_)) {
    // No window, no drop-down: nothing is listed, chosen or reported for it.
    open_ = false;
    wholeList_ = false;
    shown_.clear();
    dropSelected_ = -1;
    return;
  }
  host_.SendNotification(kCbnDropDown);
}

void SearchComboBox::CloseDropDown() {
  if (!open_) return;
  if (dropWidth_ > 0 && dropHeight_ > 0) {
    storage::WriteWindowDimension(u"dropwidth", dropWidth_);
    storage::WriteWindowDimension(u"dropheight", dropHeight_);
  }
  open_ = false;
  wholeList_ = false;
  shown_.clear();
  dropSelected_ = -1;
  host_.HideDropDown();
  host_.Repaint();
  if (justChosen_) {
    justChosen_ = false;
  } else {
    host_.SendNotification(kCbnSelEndCancel);
  }
  host_.SendNotification(kCbnCloseUp);
}

void SearchComboBox::ToggleDropDown() {
  if (open_ && wholeList_) {
    CloseDropDown();
  } else if (open_) {
    wholeList_ = true;  // the filter's drop-down stays, now as if opened by the button
  } else {
    OpenDropDown(items(), true);
  }
}

void SearchComboBox::OnDropButtonClick() {
  OnSetFocus();
  ToggleDropDown();
}

void SearchComboBox::ChooseItem(int index) {
  if (!open_ || index < 0 || index >= static_cast<int>(shown_.size())) return;
  const ComboItem item = shown_[static_cast<size_t>(index)];
  if (item.disabled) return;
  ShowText(item.text);
  current_ = history_.Find(item.text);
  if (editExists_) {
    selStart_ = 0;
    selEnd_ = editText_.size();
    host_.FocusEditField();
    host_.SetEditSelection(selStart_, selEnd_);
  }
  justChosen_ = true;
  host_.SendNotification(kCbnSelEndOk);
  host_.SendNotification(kCbnSelChange);
  host_.Repaint();
}

void SearchComboBox::SubmitFromList(int index) { host_.PostNotification(kNotifySubmit); }

void SearchComboBox::ClickDropDownItem(int index) {
  if (!open_ || index < 0 || index >= static_cast<int>(shown_.size())) return;
  if (shown_[static_cast<size_t>(index)].disabled) return;
  ChooseItem(index);
  SubmitFromList(index);
  CloseDropDown();
}

void SearchComboBox::HoverDropDownItem(int index) {
  if (!open_ || index < 0 || index >= static_cast<int>(shown_.size())) return;
  if (shown_[static_cast<size_t>(index)].disabled) return;
  dropSelected_ = index;
  host_.SelectDropDownItem(index);
}

std::pair<int, int> SearchComboBox::ResizeDropDown(int width, int height) {
  dropWidth_ = std::max(width, kMinDropWidth);
  dropHeight_ = std::max(height, kMinDropHeight);
  return {dropWidth_, dropHeight_};
}

void SearchComboBox::OnDropDownScrolled(int topIndex) {
  if (open_ && topIndex >= 0 && topIndex < static_cast<int>(shown_.size())) dropTop_ = topIndex;
}

void SearchComboBox::OnAppDeactivated() { CloseDropDown(); }

// -- Mouse wheel -----------------------------------------------------------------------------

void SearchComboBox::OnMouseWheel(int delta) {
  if (!open_) return;
  wheelSum_ += delta;
  int direction = 0;
  if (wheelSum_ >= kWheelDelta) direction = -1;  // away from the user: towards the top
  if (wheelSum_ <= -kWheelDelta) direction = +1;
  if (direction == 0) return;
  wheelSum_ = 0;
  if (wholeList_) {
    const int count = static_cast<int>(shown_.size());
    dropTop_ = std::clamp(dropTop_ + direction * kWheelScrollItems, 0, std::max(count - 1, 0));
    host_.ScrollDropDown(dropTop_);
  } else {
    MoveSelection(direction);
  }
}

// -- Focus -----------------------------------------------------------------------------------

void SearchComboBox::OnSetFocus() {
  focused_ = true;
  host_.FocusEditField();
}

void SearchComboBox::OnKillFocus() { CloseDropDown(); }

void SearchComboBox::OnEditSetFocus() {
  editFocused_ = true;
  focused_ = true;
  host_.SendNotification(kCbnSetFocus);
  host_.ReportFocusToBrowser(true);
}

void SearchComboBox::OnEditKillFocus(FocusTarget target) {
  editFocused_ = false;
  if (target != FocusTarget::kElsewhere) return;
  // Nothing else would close the drop-down now (a deactivated application's drop-down only
  // posts its close), and the loss must not wait for it.
  if (open_) CloseDropDown();
  focused_ = false;
  host_.SendNotification(kCbnSelEndCancel);
  host_.SendNotification(kCbnKillFocus);
  host_.ReportFocusToBrowser(false);
  selStart_ = selEnd_ = 0;
  host_.SetEditSelection(0, 0);
}

// -- Drag and drop ---------------------------------------------------------------------------

void SearchComboBox::OnDropText(std::u16string_view text, bool unicodeText) {
  if (!unicodeText) return;
  // Text dragged from a page often spans lines; a query is one line (a line break would also
  // break the history file's line when the query is recorded).
  std::u16string line(text);
  for (char16_t& c : line) {
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  SetText(line);
  host_.FocusEditField();
}

}  // namespace norvex::search
