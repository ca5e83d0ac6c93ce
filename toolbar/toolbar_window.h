// The toolbar window's contents and layout: agent buttons built from the catalogue, the search
// box with the search agent's button beside it, the resize grip, the settings button at the
// right end, and the chevron whose menu holds the agents that do not fit. The window itself is
// the surface's business; this class decides what goes where and what every command does.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/agent_toolbar.h"
#include "toolbar/toolbar_surface.h"

namespace norvex::toolbar {

using catalogue::AgentRecord;
using catalogue::OverflowEntry;

inline constexpr int kButtonHeight = 24;
inline constexpr int kSearchBoxHeight = 22;
inline constexpr int kGap = 2;
inline constexpr int kGripWidth = 15;
inline constexpr int kSettingsMinRight = 323;
inline constexpr int kOverflowMargin = 50;
inline constexpr int kSearchBoxWide = 200;
inline constexpr int kSearchBoxNarrow = 70;
// A toolbar at least this wide gets the wide search box when it is built.
inline constexpr int kWideToolbar = 500;
// A resize that leaves the settings button's right edge beyond this adapts the search box.
inline constexpr int kSearchBoxAdaptEdge = 440;
// After a search or a language item: a box within this of the settings button goes back to 200…
inline constexpr int kGripNearSettings = 60;
// …and with the settings button left of this, to 70.
inline constexpr int kNarrowToolbarEdge = 353;
// The chevron sits this far left of the settings button, and moves 3 further at the first resize.
inline constexpr int kChevronWidth = 20;
inline constexpr int kChevronResizedGap = 3;
// The grip stands 3 pixels right of the element before it.
inline constexpr int kGripGap = 3;
// The search history's section and key prefix in "NorvexHistory.ini".
inline constexpr char16_t kHistorySection[] = u"Toolbar";
inline constexpr char16_t kHistoryKeyPrefix[] = u"TB_";
inline constexpr int kSplitArrowWidth = 15;
inline constexpr int kUsageTimerId = 3010;
inline constexpr int kUsageTimerDelayMs = 5000;
using norvex::kChevronBitmap;
using norvex::kGripBitmap;

// The grip's notification code (the search box's are search::kNotifySubmit and the kCbn... codes).
inline constexpr int kGripDragged = 1;

// How a button's face shows that it is pressed (the painter's pressed and arrow-menu flags): a
// split button whose menu shows has its arrow zone pressed instead of its face; a menu button
// is pressed while its menu shows; any other button while the mouse button holds it down
// (`held`). The chevron shows no arrow.
struct FacePress {
  bool pressed = false;
  bool arrowMenu = false;
  bool arrowShown = true;
  bool operator==(const FacePress&) const = default;
};
FacePress FacePressOf(const AgentButton& button, bool menuShowing, bool held);

class ToolbarWindow final : public catalogue::AgentToolbar {
 public:
  ToolbarWindow(ToolbarSurface& surface, ToolbarActions& actions);
  ~ToolbarWindow() override;
  ToolbarWindow(const ToolbarWindow&) = delete;
  ToolbarWindow& operator=(const ToolbarWindow&) = delete;

  // Window messages.
  void OnCreate();
  void OnDestroy();
  void OnSize(int newWidth);
  void OnTimer(int id);
  // "NorvexToolbar::InRefresh": rebuild from the files, keeping the typed query.
  void OnInRefresh();
  // A command: true when handled, false for the window's default handling.
  bool RouteCommand(int id, int code);
  // The grip is dragged: the pointer is at this screen position.
  void OnGripDragged(int screenX, int screenY);

  // A left press on the button built as `id`, at x (relative to its left edge): opens its menu
  // (true), or, for a plain press, sends the button's command to the toolbar (false).
  bool PressButton(int id, int x);
  // Whether a left press at x on the button built as `id` opens its menu (a menu button, or the
  // arrow of a split button) rather than being a plain press.
  bool PressOpensMenu(int id, int x) const;
  // Closes a button's menu, choosing `itemId` (0: nothing chosen).
  void CloseButtonMenu(int buttonId, int itemId);

  // Geometry and state, for hosts, painting and tests.
  const std::map<int, AgentButton>& buttons() const { return buttons_; }
  const AgentButton* Button(int id) const;
  const std::optional<AgentButton>& chevron() const { return chevron_; }
  std::optional<Rect> searchBoxRect() const;
  // The search box's model, or null when the toolbar has none.
  search::SearchComboBox* searchBox() const { return searchBox_.get(); }
  std::optional<Rect> gripRect() const { return grip_; }
  const std::vector<OverflowEntry>& overflow() const { return overflow_; }
  const catalogue::AgentSet& agents() const { return agents_; }
  int settingsLeft() const { return settingsLeft_; }
  int searchBoxWidth() const { return searchBoxWidth_; }

  // The button whose face sends `commandId`, or null.
  const AgentButton* ButtonByCommand(int commandId) const;

  // Makes the Web Page Translation button run the item at `position` of its menu: the button
  // takes the item's command identifier and caption. Nothing happens without such a button or
  // item.
  void AdoptWebTranslationItem(int position);
  void RepaintWithoutErasing() { surface_.Repaint(false); }

  // The toolbar's memory of earlier choices, set again (a toolbar that lives in another
  // process, as the browsers' extension asks it, gets them back this way):
  // - the search engine `recordId` (an engine item of the search agent's menu, or the default
  //   record) becomes current and the search button shows it, as after a search with it;
  // - the Translation or Dictionary button takes the item `itemId` of its menu, as when the item
  //   was chosen, without running it.
  // False, with nothing changed, for an identifier that is no such engine or item.
  bool SelectSearchEngine(int recordId);
  bool AdoptLanguageItem(int itemId);

  // Sets a button's caption and its width to fit it; the next relayout places it.
  void SetButtonCaption(int id, const std::u16string& text);
  void RelayoutAgents();
  void RebuildContents();
  void TeardownContents();

  // AgentToolbar: what the catalogue loader asks while it fills the toolbar.
  catalogue::AgentSet& Agents() override { return agents_; }
  void ResetLayoutCursor() override { cursor_ = 0; }
  catalogue::Placement PlaceAgentButton(int width, catalogue::BuildRole role) override;
  bool CreateSearchBox() override;
  bool HasSearchBox() const override { return searchBox_ != nullptr; }
  void CreateResizeGrip() override;
  bool HasResizeGrip() const override { return grip_.has_value(); }
  void CreateAgentButton(const catalogue::AgentButtonSpec& spec) override;
  void HideAgentButton(int id) override;
  OverflowEntry MakeOverflowEntry(int id) override;
  void AddOverflow(OverflowEntry entry) override;
  bool HasChevron() const override { return chevron_.has_value(); }
  void BuildChevronMenu() override;

 private:
  // Command routing.
  void RunSearch();
  void OnSearchTextChanged();
  void RunLanguageItem(int buttonId, const AgentRecord& record);
  // The button takes the item's caption and, with a search box, its action.
  void AdoptItem(int buttonId, const AgentRecord& record);
  // The search button's caption after a search: the current engine's, or the default's when the
  // current engine opens the same address.
  void ShowCurrentEngineCaption();
  void RunKeywordCommand(const std::u16string& keyword);
  void RunButtonWithQuery(const AgentRecord& record, const std::u16string& withoutQueryUrl);

  // Layout helpers.
  void CreateChevron();
  void DestroyChevron();
  void RefreshOverflowEntry(int id);
  void SortOverflow();
  void MoveButton(int id, int left);
  void ShowButton(int id, bool visible);
  void ApplySearchBoxRect();
  void NarrowSearchBoxNearGrip();
  void WalkSlots(const std::vector<size_t>& slots, int limit, bool rightOfGrip,
                 std::vector<OverflowEntry>& collected);
  std::u16string SearchText();

  ToolbarSurface& surface_;
  ToolbarActions& actions_;

  catalogue::AgentSet agents_;
  std::map<int, AgentButton> buttons_;
  std::optional<AgentButton> chevron_;
  std::vector<OverflowEntry> overflow_;
  std::unique_ptr<search::SearchComboBox> searchBox_;
  std::optional<Rect> grip_;

  int cursor_ = 0;
  int searchBoxLeft_ = 0;
  int searchBoxWidth_ = 0;
  int gripPosition_ = 0;
  int settingsLeft_ = 0;
  int settingsWidth_ = 0;
  int lastWidth_ = 0;
  std::u16string savedQuery_;
};

}  // namespace norvex::toolbar
