// What every command of the toolbar does: button presses, menu choices (from a button or the
// chevron), the search box's notifications and the grip drag.

#include "common/text.h"
#include "toolbar/toolbar_window.h"

namespace norvex::toolbar {

using catalogue::AgentKind;

bool ToolbarWindow::RouteCommand(int id, int code) {
  // The grip's drags arrive through OnGripDragged with their position; its other notifications
  // only repaint.
  if (id == catalogue::kResizeGripId) {
    surface_.Repaint(true);
    return true;
  }
  if (id == catalogue::kSearchBoxId) {
    if (code == search::kNotifySubmit) {
      RunSearch();
      return true;
    }
    if (code == search::kCbnEditUpdate) {
      OnSearchTextChanged();
      return true;
    }
  }
  const AgentRecord* found = agents_.Record(id);
  if (!found) return false;
  // A copy: running the command may change the record in the map.
  const AgentRecord record = *found;

  switch (record.kind) {
    case AgentKind::kSearchButton:
      RunSearch();
      break;
    case AgentKind::kSearchEngine:
      agents_.currentSearchRecord = id;
      RunSearch();
      break;
    case AgentKind::kTranslationItem:
      RunLanguageItem(agents_.translationButton, record);
      break;
    case AgentKind::kDictionaryItem:
      RunLanguageItem(agents_.dictionaryButton, record);
      break;
    case AgentKind::kTranslationButton:
      RunButtonWithQuery(record, agents_.translationWithoutQueryUrl);
      break;
    case AgentKind::kDictionaryButton:
      RunButtonWithQuery(record, agents_.dictionaryWithoutQueryUrl);
      break;
    case AgentKind::kOrdinary:
    default:
      if (record.onclick.compare(0, 4, u"http") == 0) {
        actions_.OpenTemplateUrl(record.onclick, record.encoding);
      } else if (!record.onclick.empty()) {
        RunKeywordCommand(record.onclick);
      }
      break;
  }
  return true;
}

void ToolbarWindow::RunButtonWithQuery(const AgentRecord& record,
                                       const std::u16string& withoutQueryUrl) {
  if (!searchBox_) return;
  if (!TrimWideSpace(SearchText()).empty()) {
    actions_.OpenTemplateUrl(record.onclick, record.encoding);
  } else {
    actions_.OpenTemplateUrl(withoutQueryUrl, u"");
  }
}

void ToolbarWindow::RunSearch() {
  const std::u16string text(TrimWideSpace(SearchText(), TrimSides::kLeading));
  const AgentRecord* current = agents_.Record(agents_.currentSearchRecord);
  const AgentRecord* fallback = agents_.Record(agents_.defaultSearchRecord);
  if (!text.empty()) {
    if (current) actions_.OpenTemplateUrl(current->onclick, current->encoding);
    ShowCurrentEngineCaption();
    NarrowSearchBoxNearGrip();
    if (settingsLeft_ <= kNarrowToolbarEdge && searchBox_) {
      searchBoxWidth_ = kSearchBoxNarrow;
      ApplySearchBoxRect();
    }
    RelayoutAgents();
    surface_.Repaint(false);
    return;
  }
  actions_.OpenTemplateUrl(agents_.searchWithoutQueryUrl, u"");
  if (agents_.searchButton != 0) {
    if (fallback) SetButtonCaption(agents_.searchButton, fallback->caption);
    agents_.currentSearchRecord = agents_.defaultSearchRecord;
    RelayoutAgents();
  }
}

void ToolbarWindow::ShowCurrentEngineCaption() {
  const AgentRecord* current = agents_.Record(agents_.currentSearchRecord);
  const AgentRecord* fallback = agents_.Record(agents_.defaultSearchRecord);
  if (agents_.searchButton != 0 && current && fallback) {
    SetButtonCaption(agents_.searchButton,
                     current->onclick != fallback->onclick ? current->caption : fallback->caption);
  }
}

bool ToolbarWindow::SelectSearchEngine(int recordId) {
  const AgentRecord* record = agents_.Record(recordId);
  if (!record ||
      (record->kind != AgentKind::kSearchEngine && recordId != agents_.defaultSearchRecord)) {
    return false;
  }
  agents_.currentSearchRecord = recordId;
  ShowCurrentEngineCaption();
  RelayoutAgents();
  return true;
}

void ToolbarWindow::OnSearchTextChanged() {
  const bool enabled = !TrimWideSpace(SearchText(), TrimSides::kLeading).empty();
  for (const auto& slotIndex : {agents_.searchInPageSlot, agents_.highlightSlot}) {
    if (!slotIndex) continue;
    const catalogue::AgentSlot& slot = agents_.slots[*slotIndex];
    auto it = buttons_.find(slot.buttonId);
    if (it == buttons_.end()) continue;
    it->second.enabled = enabled;
    surface_.UpdateButton(it->second);
    if (!slot.inToolbar) RefreshOverflowEntry(slot.buttonId);
  }
}

void ToolbarWindow::RunLanguageItem(int buttonId, const AgentRecord& record) {
  if (buttonId == 0 || !buttons_.count(buttonId)) return;
  if (searchBox_) {
    if (!TrimWideSpace(SearchText()).empty()) {
      actions_.OpenTemplateUrl(record.onclick, record.encoding);
    } else if (record.kind == AgentKind::kDictionaryItem) {
      actions_.OpenTemplateUrl(agents_.dictionaryWithoutQueryUrl, u"");
    } else if (record.kind == AgentKind::kTranslationItem) {
      actions_.OpenTemplateUrl(agents_.translationWithoutQueryUrl, u"");
    } else {
      actions_.OpenTemplateUrl(record.onclick, record.encoding);
    }
  }
  AdoptItem(buttonId, record);
  if (searchBox_) {
    NarrowSearchBoxNearGrip();
    RelayoutAgents();
  }
  surface_.Repaint(false);
}

void ToolbarWindow::AdoptItem(int buttonId, const AgentRecord& record) {
  SetButtonCaption(buttonId, record.caption);
  if (!buttons_.at(buttonId).visible && chevron_) RefreshOverflowEntry(buttonId);
  if (searchBox_) {
    // The button now repeats this item: its own record takes the item's action.
    AgentRecord& own = agents_.commands[buttonId];
    own.caption = record.caption;
    own.onclick = record.onclick;
    own.encoding = record.encoding;
  }
}

bool ToolbarWindow::AdoptLanguageItem(int itemId) {
  const AgentRecord* found = agents_.Record(itemId);
  if (!found) return false;
  const AgentRecord record = *found;
  int buttonId = 0;
  if (record.kind == AgentKind::kTranslationItem) buttonId = agents_.translationButton;
  if (record.kind == AgentKind::kDictionaryItem) buttonId = agents_.dictionaryButton;
  if (buttonId == 0 || !buttons_.count(buttonId)) return false;
  AdoptItem(buttonId, record);
  RelayoutAgents();
  return true;
}

void ToolbarWindow::RunKeywordCommand(const std::u16string& keyword) {
  if (keyword == u"highlight") {
    actions_.Highlight();
  } else if (keyword == u"searchinpage") {
    actions_.FindInPage();
  } else if (keyword == u"options") {
    if (actions_.ShowOptions()) actions_.BroadcastRefresh();
  } else if (keyword == u"uninstall") {
    actions_.StartUninstall();
  } else if (keyword == u"showabout") {
    actions_.ShowAbout();
  } else if (keyword.compare(0, 4, u"help") == 0) {
    actions_.OpenWindow(keyword.size() > 5 ? keyword.substr(5) : std::u16string(), 450, 500);
  }
}

}  // namespace norvex::toolbar
