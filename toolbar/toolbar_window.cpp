#include "toolbar/toolbar_window.h"

#include <algorithm>

#include "catalogue/agent_loader.h"

namespace norvex::toolbar {

FacePress FacePressOf(const AgentButton& button, bool menuShowing, bool held) {
  FacePress face;
  face.arrowMenu = button.style == catalogue::MenuStyle::kSplitMenu && menuShowing;
  face.pressed =
      button.style == catalogue::MenuStyle::kMenu ? menuShowing : held && !face.arrowMenu;
  face.arrowShown = button.id != catalogue::kChevronId;
  return face;
}

using catalogue::BuildRole;
using catalogue::MenuStyle;
using catalogue::Placement;

ToolbarWindow::ToolbarWindow(ToolbarSurface& surface, ToolbarActions& actions)
    : surface_(surface), actions_(actions) {}

ToolbarWindow::~ToolbarWindow() = default;

void ToolbarWindow::OnCreate() {
  catalogue::LoadAgents(*this);
  surface_.StartTimer(kUsageTimerId, kUsageTimerDelayMs);
}

void ToolbarWindow::OnDestroy() { TeardownContents(); }

void ToolbarWindow::OnTimer(int id) {
  if (id != kUsageTimerId) return;
  surface_.StopTimer(kUsageTimerId);
  actions_.DailyUsageCheck();
}

void ToolbarWindow::OnInRefresh() {
  if (savedQuery_.empty()) savedQuery_ = SearchText();
  RebuildContents();
}

const AgentButton* ToolbarWindow::Button(int id) const {
  if (chevron_ && id == catalogue::kChevronId) return &*chevron_;
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : &it->second;
}

const AgentButton* ToolbarWindow::ButtonByCommand(int commandId) const {
  for (const auto& [id, button] : buttons_) {
    if (button.commandId == commandId) return &button;
  }
  if (chevron_ && commandId == catalogue::kChevronId) return &*chevron_;
  return nullptr;
}

void ToolbarWindow::AdoptWebTranslationItem(int position) {
  const auto it = buttons_.find(agents_.webTranslationButton);
  if (agents_.webTranslationButton == 0 || it == buttons_.end() || position < 0 ||
      position >= static_cast<int>(agents_.webTranslationItems.size())) {
    return;
  }
  const OverflowEntry& item = agents_.webTranslationItems[position];
  it->second.commandId = item.id;
  SetButtonCaption(it->first, item.caption);
  if (!it->second.visible && chevron_) RefreshOverflowEntry(it->first);
}

std::optional<Rect> ToolbarWindow::searchBoxRect() const {
  if (!searchBox_) return std::nullopt;
  return Rect{searchBoxLeft_, 0, searchBoxLeft_ + searchBoxWidth_, kSearchBoxHeight};
}

std::u16string ToolbarWindow::SearchText() {
  return searchBox_ ? searchBox_->GetText() : std::u16string();
}

// ---- Building the contents -------------------------------------------------------------------

Placement ToolbarWindow::PlaceAgentButton(int width, BuildRole role) {
  if (role == BuildRole::kSettings) {
    const int client = std::min(surface_.ParentClientWidth(), surface_.ClientWidth());
    const int right = std::max(client, kSettingsMinRight);
    settingsLeft_ = right - width;
    settingsWidth_ = width;
    return {{settingsLeft_, 0, right, kButtonHeight}, true};
  }
  const int left = cursor_ + kGap;
  const int right = left + width;
  if (grip_ && settingsLeft_ - kOverflowMargin < right) {
    return {{left, 0, right, kButtonHeight}, false};
  }
  cursor_ = right;
  return {{left, 0, right, kButtonHeight}, true};
}

bool ToolbarWindow::CreateSearchBox() {
  const int left = cursor_ + kGap;
  const int right = cursor_ + kGap + (surface_.ClientWidth() >= kWideToolbar ? kSearchBoxWide
                                                                              : kSearchBoxNarrow);
  search::SearchComboHost* window = surface_.CreateSearchBox({left, 0, right, kSearchBoxHeight});
  if (!window) return false;
  searchBox_ = std::make_unique<search::SearchComboBox>(*window);
  searchBox_->LoadHistory(kHistorySection, kHistoryKeyPrefix);
  surface_.ConnectSearchBox(*searchBox_);
  searchBoxLeft_ = left;
  searchBoxWidth_ = right - left;
  cursor_ = right;
  return true;
}

void ToolbarWindow::CreateResizeGrip() {
  if (grip_) return;
  grip_ = Rect{cursor_ + kGripGap, 0, cursor_ + kGripGap + kGripWidth, kButtonHeight};
  surface_.CreateGrip(*grip_);
  cursor_ += kGripGap + kGripWidth;
  gripPosition_ = cursor_;
}

void ToolbarWindow::CreateAgentButton(const catalogue::AgentButtonSpec& spec) {
  AgentButton button;
  button.id = button.commandId = spec.id;
  button.name = spec.name;
  button.text = spec.caption;
  button.tooltip = spec.tooltip;
  button.image = spec.image;
  button.offImage = spec.offImage;
  button.pressedImage = spec.pressedImage;
  button.transparent = spec.transparent;
  button.style = spec.style;
  button.menu = spec.menu;
  button.rect = spec.rect;
  surface_.CreateButton(button);
  buttons_[spec.id] = std::move(button);
}

void ToolbarWindow::HideAgentButton(int id) { ShowButton(id, false); }

OverflowEntry ToolbarWindow::MakeOverflowEntry(int id) {
  OverflowEntry entry;
  const AgentButton* button = Button(id);
  if (!button) return entry;
  entry.caption = button->text.empty() ? button->name : button->text;
  entry.bitmap = button->enabled ? button->image : button->offImage;
  entry.transparent = button->transparent;
  entry.id = button->commandId;
  entry.button = id;
  entry.grayed = !button->enabled;
  if (button->style != MenuStyle::kPlain) {
    entry.hasSubmenu = true;
    if (button->style == MenuStyle::kSplitMenu) {
      OverflowEntry own;
      own.caption = entry.caption;
      own.id = button->commandId;
      own.bitmap = entry.bitmap;
      own.transparent = entry.transparent;
      entry.children.push_back(std::move(own));
    }
    entry.children.insert(entry.children.end(), button->menu.begin(), button->menu.end());
  }
  return entry;
}

void ToolbarWindow::AddOverflow(OverflowEntry entry) {
  CreateChevron();
  overflow_.push_back(std::move(entry));
  BuildChevronMenu();
}

void ToolbarWindow::BuildChevronMenu() {
  if (!chevron_) return;
  SortOverflow();
  chevron_->menu = overflow_;
  surface_.UpdateButton(*chevron_);
}

// The chevron lists the hidden agents in toolbar order, however they left the toolbar.
void ToolbarWindow::SortOverflow() {
  std::stable_sort(overflow_.begin(), overflow_.end(),
                   [](const OverflowEntry& a, const OverflowEntry& b) { return a.button < b.button; });
}

void ToolbarWindow::CreateChevron() {
  if (chevron_) return;
  AgentButton chevron;
  chevron.id = catalogue::kChevronId;
  chevron.image = chevron.offImage = chevron.pressedImage = kChevronBitmap;
  chevron.transparent = 0xFFFFFF;
  chevron.style = MenuStyle::kMenu;
  chevron.rect = {settingsLeft_ - kChevronWidth, 0, settingsLeft_, kButtonHeight};
  chevron_ = chevron;
  surface_.CreateButton(*chevron_);
}

void ToolbarWindow::DestroyChevron() {
  if (!chevron_) return;
  surface_.DestroyButton(catalogue::kChevronId);
  chevron_.reset();
}

void ToolbarWindow::RefreshOverflowEntry(int id) {
  for (OverflowEntry& entry : overflow_) {
    if (entry.button == id) entry = MakeOverflowEntry(id);
  }
  BuildChevronMenu();
}

void ToolbarWindow::TeardownContents() {
  for (const auto& [id, button] : buttons_) surface_.DestroyButton(id);
  buttons_.clear();
  if (searchBox_) {
    // The history is written back while the window still exists, then the window goes.
    searchBox_->OnDestroy();
    surface_.DestroySearchBox();
    searchBox_.reset();
  }
  if (grip_) surface_.DestroyGrip();
  grip_.reset();
  DestroyChevron();
  overflow_.clear();
  agents_ = catalogue::AgentSet{};
}

void ToolbarWindow::RebuildContents() {
  TeardownContents();
  catalogue::LoadAgents(*this);
  if (!savedQuery_.empty()) {
    if (searchBox_) searchBox_->SetText(savedQuery_);
    savedQuery_.clear();
  }
  RelayoutAgents();
  surface_.Repaint(true);
}

// ---- Buttons ---------------------------------------------------------------------------------

void ToolbarWindow::MoveButton(int id, int left) {
  auto it = buttons_.find(id);
  if (it == buttons_.end()) return;
  AgentButton& b = it->second;
  const int width = b.rect.width();
  b.rect.left = left;
  b.rect.right = left + width;
  surface_.UpdateButton(b);
}

void ToolbarWindow::ShowButton(int id, bool visible) {
  auto it = buttons_.find(id);
  if (it == buttons_.end()) return;
  it->second.visible = visible;
  surface_.UpdateButton(it->second);
}

void ToolbarWindow::SetButtonCaption(int id, const std::u16string& text) {
  auto it = buttons_.find(id);
  if (it == buttons_.end()) return;
  AgentButton& b = it->second;
  b.text = text;
  int width = surface_.TextWidth(text) + surface_.BitmapWidth(b.image) + 8;
  if (b.style != MenuStyle::kPlain) width += kSplitArrowWidth;
  b.rect.right = b.rect.left + width;
  surface_.UpdateButton(b);
}

bool ToolbarWindow::PressOpensMenu(int id, int x) const {
  const AgentButton* button = Button(id);
  return button &&
         (button->style == MenuStyle::kMenu ||
          (button->style == MenuStyle::kSplitMenu && x >= button->rect.width() - kSplitArrowWidth));
}

bool ToolbarWindow::PressButton(int id, int x) {
  const AgentButton* button = Button(id);
  if (!button || !button->enabled) return false;
  if (!PressOpensMenu(id, x)) {
    RouteCommand(button->commandId, 0);
    return false;
  }
  AgentButton& b = id == catalogue::kChevronId ? *chevron_ : buttons_.at(id);
  if (b.menuOpen) {  // a second press closes
    b.menuOpen = false;
    return false;
  }
  b.menuOpen = true;
  return true;
}

void ToolbarWindow::CloseButtonMenu(int buttonId, int itemId) {
  if (chevron_ && buttonId == catalogue::kChevronId) chevron_->menuOpen = false;
  const auto it = buttons_.find(buttonId);
  if (it != buttons_.end()) it->second.menuOpen = false;
  if (itemId != 0) RouteCommand(itemId, 0);
}

// ---- Layout ----------------------------------------------------------------------------------

void ToolbarWindow::ApplySearchBoxRect() {
  if (searchBox_) surface_.MoveSearchBox(*searchBoxRect());
}

void ToolbarWindow::NarrowSearchBoxNearGrip() {
  if (settingsLeft_ - gripPosition_ <= kGripNearSettings && searchBoxWidth_ > kSearchBoxWide) {
    searchBoxWidth_ = kSearchBoxWide;
    ApplySearchBoxRect();
  }
}

void ToolbarWindow::WalkSlots(const std::vector<size_t>& slots, int limit, bool rightOfGrip,
                              std::vector<OverflowEntry>& collected) {
  auto& all = agents_.slots;
  bool restoring = true;
  for (size_t n = 0; n < slots.size(); ++n) {
    catalogue::AgentSlot& slot = all[slots[n]];
    const AgentButton* button = Button(slot.buttonId);
    if (!button) continue;
    const int left = cursor_ + kGap;
    const int right = left + button->rect.width();

    if (right > limit && slot.inToolbar) {
      const bool nextOnToolbar = n + 1 < slots.size() && all[slots[n + 1]].inToolbar;
      if (nextOnToolbar) {
        // Everything from here to the end leaves, from the last slot back.
        for (size_t m = slots.size(); m-- > n;) {
          catalogue::AgentSlot& leaving = all[slots[m]];
          if (!leaving.inToolbar) continue;
          ShowButton(leaving.buttonId, false);
          leaving.inToolbar = false;
          if (rightOfGrip) {
            AddOverflow(MakeOverflowEntry(leaving.buttonId));
          } else {
            collected.push_back(MakeOverflowEntry(leaving.buttonId));
          }
        }
        return;
      }
      ShowButton(slot.buttonId, false);
      slot.inToolbar = false;
      if (rightOfGrip) {
        AddOverflow(MakeOverflowEntry(slot.buttonId));
      } else if (overflow_.empty()) {
        collected.push_back(MakeOverflowEntry(slot.buttonId));
      } else {
        overflow_.push_back(MakeOverflowEntry(slot.buttonId));
        BuildChevronMenu();
      }
      restoring = false;
    } else if (right < limit && !slot.inToolbar && restoring) {
      MoveButton(slot.buttonId, left);
      ShowButton(slot.buttonId, true);
      slot.inToolbar = true;
      cursor_ = right;
      // The returning agent's own entry leaves the chevron's list.
      const auto entry = std::find_if(overflow_.begin(), overflow_.end(),
                                      [&](const OverflowEntry& e) { return e.button == slot.buttonId; });
      if (entry != overflow_.end()) overflow_.erase(entry);
      if (overflow_.empty()) {
        DestroyChevron();
      } else {
        BuildChevronMenu();
      }
    } else {
      MoveButton(slot.buttonId, left);
      if (slot.inToolbar) {
        cursor_ = right;
      } else {
        restoring = false;
      }
    }
  }
}

void ToolbarWindow::RelayoutAgents() {
  if (agents_.searchButton == 0 || settingsLeft_ - kOverflowMargin < 0) return;
  const int limit = settingsLeft_ - kOverflowMargin;
  MoveButton(agents_.searchButton, searchBoxLeft_ + searchBoxWidth_ + kGap);
  cursor_ = buttons_.at(agents_.searchButton).rect.right;

  std::vector<OverflowEntry> collected;
  WalkSlots(agents_.middleSlots, limit, false, collected);
  if (grip_) {
    grip_ = Rect{cursor_ + kGripGap, 0, cursor_ + kGripGap + kGripWidth, kButtonHeight};
    surface_.MoveGrip(*grip_);
    gripPosition_ = cursor_ + kGripGap;
    cursor_ += kGripGap + kGripWidth;
  }
  WalkSlots(agents_.rightSlots, limit, true, collected);
  if (!collected.empty()) {
    CreateChevron();
    overflow_.insert(overflow_.end(), collected.begin(), collected.end());
    BuildChevronMenu();
  }
}

void ToolbarWindow::OnSize(int newWidth) {
  if (searchBox_ && searchBoxWidth_ > kSearchBoxWide) {
    searchBoxWidth_ = kSearchBoxWide;
    ApplySearchBoxRect();
    RelayoutAgents();
  }
  // Without a settings button its place is still the right edge that the layout measures
  // against (a button of no width there), so that agents that fit are shown.
  const Placement p =
      PlaceAgentButton(agents_.settingsButton != 0 ? settingsWidth_ : 0, BuildRole::kSettings);
  if (agents_.settingsButton != 0) MoveButton(agents_.settingsButton, p.rect.left);
  if (chevron_) {
    chevron_->rect = {settingsLeft_ - kChevronWidth - kChevronResizedGap, 0,
                      settingsLeft_ - kChevronResizedGap, kButtonHeight};
    surface_.UpdateButton(*chevron_);
  }
  if (searchBox_ && settingsLeft_ + settingsWidth_ > kSearchBoxAdaptEdge) {
    if (searchBoxWidth_ < kSearchBoxWide && newWidth > kWideToolbar) {
      searchBoxWidth_ = kSearchBoxWide;
      ApplySearchBoxRect();
    } else if (newWidth != 0) {
      const int c = newWidth + searchBoxWidth_ - lastWidth_;
      searchBoxWidth_ = (c < kSearchBoxNarrow || lastWidth_ == 0) ? kSearchBoxNarrow
                        : c <= kSearchBoxWide                     ? c
                                                                  : kSearchBoxWide;
      ApplySearchBoxRect();
    }
  }
  lastWidth_ = newWidth;
  if (!agents_.slots.empty()) {
    RelayoutAgents();
    surface_.Repaint(false);
  }
}

void ToolbarWindow::OnGripDragged(int screenX, int screenY) {
  if (!searchBox_) return;
  const int x = std::min(surface_.ScreenToClientX(screenX, screenY),
                         settingsLeft_ - kOverflowMargin);
  searchBoxWidth_ = std::max(searchBoxWidth_ + x - gripPosition_, kSearchBoxNarrow);
  ApplySearchBoxRect();
  gripPosition_ = x;
  RelayoutAgents();
}

}  // namespace norvex::toolbar
