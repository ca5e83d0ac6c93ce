// A toolbar surface without windows: it keeps what the toolbar shows, measures text with fixed
// metrics, and gives the search box a headless edit field and drop-down. The Linux host and the
// tests use it.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "search/search_combo_box.h"
#include "toolbar/timer_queue.h"
#include "toolbar/toolbar_surface.h"

namespace norvex::toolbar {

class HeadlessSurface final : public ToolbarSurface, private search::SearchComboHost {
 public:
  // Text metrics: ASCII characters are kNarrowChar pixels wide, others kWideChar; bitmaps are
  // kBitmapWidth wide.
  static constexpr int kNarrowChar = 7;
  static constexpr int kWideChar = 12;
  static constexpr int kBitmapWidth = 16;

  HeadlessSurface();
  ~HeadlessSurface() override;

  int width = 800;        // the toolbar's client width
  int parentWidth = 800;  // the parent's client width
  int screenOffsetX = 0;  // the toolbar's left edge on the screen
  bool searchBoxFails = false;  // the search box's window cannot be created
  bool dropDownFails = false;   // the drop-down's window cannot be created

  std::set<int> liveButtons;
  // The toolbar's timers, on a clock that moves when the host or a test advances it.
  TimerQueue timers;
  int repaints = 0;
  bool browserFocused = false;

  // Where the search box's notifications go (the toolbar's command handler for 5025).
  std::function<void(int code)> notify;
  // Delivers the notifications that the search box posted, in order, as a message loop would.
  void DeliverPosted();

  // The user's side of the search box: focus, typing (the text replaces what is there, one
  // character at a time, as typed), keys (through the band's keyboard filter).
  void FocusSearchBox();
  void TypeText(const std::u16string& text);
  void PressKey(int virtualKey);
  bool dropDownShown() const { return dropDownShown_; }
  const std::vector<search::ComboItem>& dropDownItems() const { return dropDownItems_; }
  int dropDownSelection() const { return dropDownSelection_; }
  const std::u16string& editText() const { return editText_; }

  // ToolbarSurface
  int ClientWidth() override { return width; }
  int ParentClientWidth() override { return parentWidth; }
  void CreateButton(const AgentButton& button) override { liveButtons.insert(button.id); }
  void UpdateButton(const AgentButton&) override {}
  void DestroyButton(int id) override { liveButtons.erase(id); }
  search::SearchComboHost* CreateSearchBox(const Rect& rect) override;
  void ConnectSearchBox(search::SearchComboBox& model) override;
  void MoveSearchBox(const Rect& rect) override { searchRect_ = rect; }
  void DestroySearchBox() override;
  void CreateGrip(const Rect&) override {}
  void MoveGrip(const Rect&) override {}
  void DestroyGrip() override {}
  int TextWidth(const std::u16string& text) override;
  int BitmapWidth(int bitmapId) override { return bitmapId ? kBitmapWidth : 0; }
  void StartTimer(int id, int milliseconds) override { timers.Start(id, milliseconds); }
  void StopTimer(int id) override { timers.Stop(id); }
  void Repaint(bool) override { ++repaints; }
  int ScreenToClientX(int screenX, int) override { return screenX - screenOffsetX; }

 private:
  // SearchComboHost: the headless edit field and drop-down.
  void SendNotification(int code) override;
  void PostNotification(int code) override { posted_.push_back(code); }
  search::Rect ScreenRect() const override;
  void Repaint() override { ++repaints; }
  void ShowEditText(const std::u16string& text) override;
  void SetEditSelection(size_t start, size_t end) override;
  void FocusEditField() override;
  void PassKeyToEditField(int virtualKey) override;
  bool ShowDropDown(const search::Rect& rect, const std::vector<search::ComboItem>& items,
                    int selected) override;
  void HideDropDown() override;
  void ReplaceDropDownItems(const std::vector<search::ComboItem>& items) override;
  void SelectDropDownItem(int index) override { dropDownSelection_ = index; }
  void ScrollDropDown(int) override {}
  void ReportFocusToBrowser(bool focused) override { browserFocused = focused; }

  search::SearchComboBox* combo_ = nullptr;  // the toolbar's model of the box, while it exists
  Rect searchRect_;
  std::deque<int> posted_;
  std::u16string editText_;
  size_t selStart_ = 0, selEnd_ = 0;
  bool editFocused_ = false;
  bool dropDownShown_ = false;
  std::vector<search::ComboItem> dropDownItems_;
  int dropDownSelection_ = -1;
};

}  // namespace norvex::toolbar
