// Where the search box's key messages go. A key reaches the box one of two ways: through the
// band's keyboard filter (the browser asks before it dispatches the key), or at the edit field
// itself when a host dispatches keys straight to it, where the box's own filter runs. Each key is
// filtered once: a key the band's filter left to the browser arrives at the edit field next and
// goes to the field unfiltered, as does a key that a filter hands to the field. The window
// forwards the messages and carries out what this object decides; the decisions are made here,
// without a window.
#pragma once

#include <cstdint>
#include <optional>

#include "search/search_combo_box.h"

namespace norvex::search {

// The key messages the filters look at (WM_KEYDOWN, WM_SYSKEYDOWN).
inline constexpr unsigned kKeyDownMessage = 0x0100;
inline constexpr unsigned kSysKeyDownMessage = 0x0104;

// A key message as the window received it: its number, its parameters, and whether it is
// addressed to the edit field.
struct KeyMessage {
  unsigned message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  bool toEditField = true;
  bool operator==(const KeyMessage&) const = default;
};

class KeyRouting {
 public:
  // What the routing asks of the window's edit field.
  class EditField {
   public:
    virtual ~EditField() = default;
    // The band's key message, translated and dispatched as the browser would (it reaches the
    // field's window procedure before this returns).
    virtual void Dispatch(const KeyMessage& key) = 0;
    // WM_KEYDOWN with this key sent to the field (reaching it before this returns).
    virtual void SendKeyDown(int virtualKey) = 0;
    // Tells the model where the field's selection is now (OnEditSelection).
    virtual void ReportSelection() = 0;
  };

  explicit KeyRouting(EditField& field) : field_(field) {}

  // The model that filters the keys; null: none (every key goes to the field unfiltered).
  void SetModel(SearchComboBox* model) { model_ = model; }

  // The band's filter (TranslateAcceleratorIO) for a key message while the edit field has the
  // focus: true when the box consumed it, false when the browser should process it as usual.
  // Messages other than key-downs are the browser's.
  bool FromBand(const KeyMessage& key, bool ctrl);

  // What becomes of a key message that arrives at the edit field's window procedure.
  enum class Arrival {
    kToField,          // no filter runs (a key already filtered, or one a filter hands on): the
                       // field handles it
    kFilteredToField,  // the box's own filter left it to the field: the field handles it, and
                       // the field's new selection is reported (ReportSelection) afterwards
    kConsumed,         // the box's own filter consumed it
  };
  Arrival AtEditField(const KeyMessage& key, bool ctrl);

  // The model hands the key being filtered to the edit field (SearchComboHost::
  // PassKeyToEditField).
  void PassToEditField(int virtualKey);

 private:
  EditField& field_;
  SearchComboBox* model_ = nullptr;
  // While the band's filter runs: its message, so that a key handed on is dispatched as it is.
  std::optional<KeyMessage> bandKey_;
  // A key message on its way to the edit field that a filter has seen: the field's own filter
  // lets it through once.
  std::optional<KeyMessage> seen_;
  // While the box's own filter runs: a key handed on is handled by the field when it returns.
  bool ownFilter_ = false;
  bool passToField_ = false;
};

}  // namespace norvex::search
