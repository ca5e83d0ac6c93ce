// A toolbar surface without windows: it keeps what the toolbar shows (search text, grip,
// created controls) and measures text with fixed metrics. The Linux host and the tests use it.
#pragma once

#include <map>
#include <set>
#include <string>

#include "toolbar/toolbar_surface.h"

namespace norvex::toolbar {

class HeadlessSurface final : public ToolbarSurface {
 public:
  // Text metrics: ASCII characters are kNarrowChar pixels wide, others kWideChar; bitmaps are
  // kBitmapWidth wide.
  static constexpr int kNarrowChar = 7;
  static constexpr int kWideChar = 12;
  static constexpr int kBitmapWidth = 16;

  int width = 800;          // the toolbar's client width
  int parentWidth = 800;    // the parent's client width
  int screenOffsetX = 0;    // the toolbar's left edge on the screen
  bool searchBoxFails = false;

  std::u16string searchText;
  bool searchBoxExists = false;
  std::set<int> liveButtons;
  std::set<int> timers;
  int repaints = 0;

  int ClientWidth() override { return width; }
  int ParentClientWidth() override { return parentWidth; }
  void CreateButton(const AgentButton& button) override { liveButtons.insert(button.id); }
  void UpdateButton(const AgentButton&) override {}
  void DestroyButton(int id) override { liveButtons.erase(id); }
  bool CreateSearchBox(const Rect&) override {
    if (searchBoxFails) return false;
    searchBoxExists = true;
    return true;
  }
  void MoveSearchBox(const Rect&) override {}
  void DestroySearchBox() override {
    searchBoxExists = false;
    searchText.clear();
  }
  std::u16string SearchText() override { return searchText; }
  void SetSearchText(const std::u16string& text) override { searchText = text; }
  void CreateGrip(const Rect&) override {}
  void MoveGrip(const Rect&) override {}
  void DestroyGrip() override {}
  int TextWidth(const std::u16string& text) override;
  int BitmapWidth(int bitmapId) override { return bitmapId ? kBitmapWidth : 0; }
  void StartTimer(int id, int) override { timers.insert(id); }
  void StopTimer(int id) override { timers.erase(id); }
  void Repaint(bool) override { ++repaints; }
  int ScreenToClientX(int screenX, int) override { return screenX - screenOffsetX; }
};

}  // namespace norvex::toolbar
