// The search box's behaviour as a model that its window drives: the item list (the search
// history) and the kept text, the edit field's text and selection, the keyboard filters, the
// autocomplete filter, the drop-down (opening, closing, size kept in "window_diams"), choosing
// items, the wheel, focus and dropped text. The model paints nothing and owns no window: it asks
// its host (the Win32 window "AdvComboBoxCtrl", or a headless one) through SearchComboHost, and
// the host reports what the user did through the On... members.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/geometry.h"
#include "resources/control_ids.h"
#include "search/search_box_access.h"
#include "search/search_history.h"

namespace norvex::search {

// Control identifiers, the submit notification and the combo-box notifications (WM_COMMAND high
// words) that the parent receives.
using norvex::kEditFieldId;
using norvex::kSearchBoxId;
inline constexpr int kNotifySubmit = kSearchBoxId;
inline constexpr int kCbnSelChange = 1;
inline constexpr int kCbnSetFocus = 3;
inline constexpr int kCbnKillFocus = 4;
inline constexpr int kCbnEditChange = 5;
inline constexpr int kCbnEditUpdate = 6;
inline constexpr int kCbnDropDown = 7;
inline constexpr int kCbnCloseUp = 8;
inline constexpr int kCbnSelEndOk = 9;
inline constexpr int kCbnSelEndCancel = 10;

// Virtual-key codes that the keyboard filters look at (the Windows values).
inline constexpr int kVkBack = 0x08;
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkEscape = 0x1B;
inline constexpr int kVkEnd = 0x23;
inline constexpr int kVkHome = 0x24;
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkRight = 0x27;
inline constexpr int kVkDown = 0x28;
inline constexpr int kVkDelete = 0x2E;
inline constexpr int kVkF4 = 0x73;

// Most characters the box holds, least drop-down size, its default, and wheel step.
inline constexpr size_t kSearchTextLimit = 50;
inline constexpr int kMinDropWidth = 200;
inline constexpr int kMinDropHeight = 50;
inline constexpr int kWheelDelta = 120;
inline constexpr int kWheelScrollItems = 3;

using norvex::Rect;

// What the model asks of the window it lives in.
class SearchComboHost {
 public:
  virtual ~SearchComboHost() = default;

  // WM_COMMAND to the parent: sent (handled before this returns) or posted (handled later).
  virtual void SendNotification(int code) = 0;
  virtual void PostNotification(int code) = 0;

  // The combo window's rectangle in screen coordinates.
  virtual Rect ScreenRect() const = 0;
  virtual void Repaint() = 0;

  // The edit field: show a text, select characters [start, end), take the focus, handle the key
  // message being filtered (TranslateMessage and DispatchMessageW). A host whose edit field
  // changes its text reports it through SearchComboBox::OnEditUpdate and OnEditChange; a real
  // edit field does so for a text shown with ShowEditText too (while the call runs), and the
  // model behaves the same whether the host reports that one or not.
  virtual void ShowEditText(const std::u16string& text) = 0;
  virtual void SetEditSelection(size_t start, size_t end) = 0;
  virtual void FocusEditField() = 0;
  virtual void PassKeyToEditField(int virtualKey) = 0;

  // The drop-down window: create it at `rect` (screen coordinates; it takes the mouse capture)
  // listing `items` with `selected` selected (-1 none), false when it cannot be made (then the
  // drop-down is not open); destroy it; select or scroll its list.
  virtual bool ShowDropDown(const Rect& rect, const std::vector<ComboItem>& items,
                            int selected) = 0;
  virtual void HideDropDown() = 0;
  // The open drop-down lists these items from now on (after the history was deleted: none).
  virtual void ReplaceDropDownItems(const std::vector<ComboItem>& items) = 0;
  virtual void SelectDropDownItem(int index) = 0;
  virtual void ScrollDropDown(int topIndex) = 0;

  // Tells the browser whether the band has the focus (IInputObjectSite::OnFocusChangeIS).
  virtual void ReportFocusToBrowser(bool focused) = 0;
};

enum class DropEffect { kCopy, kMove };

class SearchComboBox final : public SearchBoxAccess {
 public:
  explicit SearchComboBox(SearchComboHost& host) : host_(host) {}

  // -- Text ------------------------------------------------------------------------------------
  // The edit field's text, or the kept text without an edit field.
  std::u16string GetText() const override;
  // Keeps the text cut to 50 characters, and shows it in the edit field when there is one.
  void SetText(std::u16string_view text);

  // -- History (the item list) -----------------------------------------------------------------
  void LoadHistory(std::u16string_view section, std::u16string_view prefix);
  // Closes an open drop-down first, then adds as SearchHistory does.
  void AddHistory(std::u16string_view text, bool write) override;
  // The "履歴の削除" button: empties the list and the kept text, deletes the file, empties the
  // open drop-down's list (it stays open).
  void DeleteHistory();
  // The window is destroyed: the whole list is written back.
  void OnDestroy();
  const std::vector<ComboItem>& items() const { return history_.items(); }

  // -- Combo-box messages ----------------------------------------------------------------------
  int AddString(std::u16string_view text);  // CB_ADDSTRING: history without the file; index 0
  // CB_RESETCONTENT: empties the list, the box's text and an open drop-down's list.
  void ResetContent();
  int GetCount() const { return static_cast<int>(items().size()); }
  int GetCurSel() const { return current_; }
  // CB_SETCURSEL: the item becomes current and its text is shown in the box; -1 (CB_ERR) and
  // an empty box when the index is -1 or out of range.
  int SetCurSel(int index);
  // CB_SELECTSTRING: as SetCurSel for the item of exactly this text; -1 and nothing changed
  // when there is none.
  int SelectString(std::u16string_view text);
  std::u16string GetLBText(int index) const;      // empty when out of range
  int GetLBTextLen(int index) const;              // -1 when out of range
  // CB_GETTOPINDEX, CB_SETTOPINDEX: the first entry that the open drop-down shows (0 while
  // it is closed). Setting it scrolls the drop-down; -1 when it is closed or the index is not
  // one of its entries.
  int GetTopIndex() const { return open_ ? dropTop_ : 0; }
  int SetTopIndex(int index);

  // -- Edit field ------------------------------------------------------------------------------
  // The edit field was created (on first paint): it shows the kept text, limited to 50.
  void OnEditCreated();
  bool HasEditField() const { return editExists_; }
  // For a host without a real edit field: a typed character replaces the selection unless the
  // text would pass 50 characters (then it is refused, false); the box then shows the new text
  // and the update and change follow as for any edit.
  bool TypeCharacter(char16_t c);
  // EN_UPDATE: the edit field's new text and selection; posts CBN_EDITUPDATE and runs the
  // autocomplete filter (not for the text of a chosen item).
  void OnEditUpdate(std::u16string_view text, size_t selStart, size_t selEnd);
  // EN_CHANGE: CBN_EDITCHANGE while the drop-down is closed.
  void OnEditChange();
  // The edit field's selection as the field has it now (a caret: start == end). A host with a
  // real edit field reports it before a key is filtered and after a key was passed to the field,
  // since the mouse and the field's own key handling move the caret without telling anyone.
  void OnEditSelection(size_t start, size_t end);
  size_t selectionStart() const { return selStart_; }
  size_t selectionEnd() const { return selEnd_; }

  // -- Keyboard --------------------------------------------------------------------------------
  // The band's filter for WM_KEYDOWN while the edit field has the focus: 0 when the key was
  // consumed, 1 when the browser should process it as usual.
  int TranslateKey(int virtualKey, bool ctrl);
  // WM_SYSKEYDOWN: Alt+Up and Alt+Down open or close the drop-down (1); others 1 untouched.
  int TranslateSysKey(int virtualKey);
  // The combo window's own filter: as TranslateKey, but Enter with the drop-down open chooses the
  // list's selected item instead of submitting.
  int FilterKey(int virtualKey, bool ctrl);

  // -- Drop-down -------------------------------------------------------------------------------
  // WM_USER + 101 (button, F4, Alt+Up, Alt+Down): open with the whole list; a drop-down the
  // filter opened is kept and taken over; one opened this way closes.
  void ToggleDropDown();
  // A left click on the drop-down button: the combo window takes the focus, then the drop-down
  // opens or closes.
  void OnDropButtonClick();
  // WM_USER + 2: closes an open drop-down, keeping its size in "window_diams".
  void CloseDropDown();
  // WM_USER + 1: chooses the item at `index` of the drop-down's list.
  void ChooseItem(int index);
  // WM_USER + 5: posts the submit notification.
  void SubmitFromList(int index);
  // A click released on the list: choose, submit, close (the list box's three messages).
  void ClickDropDownItem(int index);
  // The pointer is over an item (hot tracking); disabled items are not selected.
  void HoverDropDownItem(int index);
  // The user resizes the drop-down; returns the size it takes (never below 200 x 50).
  std::pair<int, int> ResizeDropDown(int width, int height);
  // The drop-down's list was scrolled (by its scroll bar) to show `topIndex` first.
  void OnDropDownScrolled(int topIndex);
  // WM_ACTIVATEAPP with false, a click outside: the drop-down closes.
  void OnAppDeactivated();
  bool dropDownOpen() const { return open_; }
  bool dropDownShowsWholeList() const { return open_ && wholeList_; }
  const std::vector<ComboItem>& dropDownItems() const { return shown_; }
  int dropDownSelection() const { return dropSelected_; }
  int dropDownTopIndex() const { return dropTop_; }
  std::pair<int, int> dropDownSize() const { return {dropWidth_, dropHeight_}; }

  // -- Mouse wheel -----------------------------------------------------------------------------
  void OnMouseWheel(int delta);

  // -- Focus -----------------------------------------------------------------------------------
  void OnSetFocus();                        // WM_SETFOCUS on the combo window
  void OnKillFocus();                       // WM_KILLFOCUS on the combo window
  void OnEditSetFocus();
  // Where the focus went when the edit field lost it: to the combo window (which hands it back),
  // into the open drop-down (still the box's), or away from the box.
  enum class FocusTarget { kComboWindow, kDropDown, kElsewhere };
  // Away from the box, an open drop-down closes first; then the loss is reported.
  void OnEditKillFocus(FocusTarget target);
  bool focused() const { return focused_; }

  // -- Drag and drop ---------------------------------------------------------------------------
  static DropEffect DragEffect(bool ctrlHeld) { return ctrlHeld ? DropEffect::kCopy : DropEffect::kMove; }
  // A drop of Unicode text sets it (at most 50 characters) and focuses the box; nothing is
  // submitted. Other formats are ignored.
  void OnDropText(std::u16string_view text, bool unicodeText);

 private:
  // Why a text is shown in the edit field: the field was just created (nothing is reported), an
  // item was chosen or selected by message (reported, not filtered), or the text was edited or
  // set (reported and filtered).
  enum class ShownText { kCreation, kChoice, kEdit };

  void OpenDropDown(std::vector<ComboItem> items, bool wholeList);
  void RunAutocomplete();
  // The autocomplete filter from its first step: CBN_EDITUPDATE, then the filter itself.
  void EditUpdated(bool filter);
  void MoveSelection(int step);  // Up, Down and the wheel in a filtered drop-down
  void MoveCaret(int virtualKey);  // Home, End, Left, Right passed to the edit field
  void ShowText(std::u16string text);
  void ShowInEditField(std::u16string text, ShownText why);
  void SelectByMessage(int index);

  SearchComboHost& host_;
  SearchHistory history_;
  std::u16string kept_;
  int current_ = -1;

  bool editExists_ = false;
  std::u16string editText_;
  size_t selStart_ = 0, selEnd_ = 0;
  bool editFocused_ = false;

  bool focused_ = false;
  bool open_ = false;
  bool wholeList_ = false;
  bool justChosen_ = false;
  bool arrowNavigation_ = false;
  // While ShowEditText runs: why the text is shown, and whether the host reported it.
  std::optional<ShownText> showing_;
  bool showReported_ = false;
  int wheelSum_ = 0;
  std::vector<ComboItem> shown_;
  int dropSelected_ = -1;
  int dropTop_ = 0;
  int dropWidth_ = 0, dropHeight_ = 0;
};

}  // namespace norvex::search
