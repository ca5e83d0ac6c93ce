#include "search/key_routing.h"

namespace norvex::search {

bool KeyRouting::FromBand(const KeyMessage& key, bool ctrl) {
  if (!model_ || (key.message != kKeyDownMessage && key.message != kSysKeyDownMessage))
    return false;
  field_.ReportSelection();
  bandKey_ = key;
  const int virtualKey = static_cast<int>(key.wParam);
  const int result = key.message == kKeyDownMessage ? model_->TranslateKey(virtualKey, ctrl)
                                                    : model_->TranslateSysKey(virtualKey);
  bandKey_.reset();
  // Left to the browser, the message reaches the edit field next: its own filter lets it be.
  if (result != 0) seen_ = key;
  return result == 0;
}

KeyRouting::Arrival KeyRouting::AtEditField(const KeyMessage& key, bool ctrl) {
  // The same message, wherever the browser first addressed it.
  const bool seen = seen_ && seen_->message == key.message && seen_->wParam == key.wParam &&
                    seen_->lParam == key.lParam;
  seen_.reset();
  if (seen || bandKey_ || ownFilter_ || !model_) return Arrival::kToField;
  field_.ReportSelection();
  ownFilter_ = true;
  passToField_ = false;
  const int virtualKey = static_cast<int>(key.wParam);
  const int result = key.message == kKeyDownMessage ? model_->FilterKey(virtualKey, ctrl)
                                                    : model_->TranslateSysKey(virtualKey);
  ownFilter_ = false;
  const bool toField = passToField_ || result != 0;
  passToField_ = false;
  return toField ? Arrival::kFilteredToField : Arrival::kConsumed;
}

void KeyRouting::PassToEditField(int virtualKey) {
  if (ownFilter_) {
    passToField_ = true;
    return;
  }
  if (bandKey_ && bandKey_->toEditField) {
    const KeyMessage copy = *bandKey_;
    seen_ = copy;
    field_.Dispatch(copy);
  } else {
    seen_ = KeyMessage{kKeyDownMessage, static_cast<uint64_t>(virtualKey), 1, true};
    field_.SendKeyDown(virtualKey);
  }
  seen_.reset();
  field_.ReportSelection();
}

}  // namespace norvex::search
