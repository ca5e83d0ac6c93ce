// Toolbar actions that do nothing: for tests and benchmarks where the toolbar's commands lead
// nowhere.
#pragma once

#include <string>

#include "toolbar/toolbar_surface.h"

namespace norvex::test {

class NullToolbarActions final : public toolbar::ToolbarActions {
 public:
  void OpenTemplateUrl(const std::u16string&, const std::u16string&) override {}
  void Highlight() override {}
  void FindInPage() override {}
  bool ShowOptions() override { return false; }
  void ShowAbout() override {}
  void StartUninstall() override {}
  void OpenWindow(const std::u16string&, int, int) override {}
  void BroadcastRefresh() override {}
  void DailyUsageCheck() override {}
};

}  // namespace norvex::test
