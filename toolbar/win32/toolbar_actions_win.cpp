#include "toolbar/win32/toolbar_actions_win.h"

#include <shellapi.h>

#include "dialogs/win32/dialogs_win.h"
#include "search/url_template.h"
#include "toolbar/win32/toolbar_window_win.h"
#include "usage/usage_log.h"

namespace norvex::toolbar::win32 {

using platform::win32::W;

void Win32ToolbarActions::SetWindow(Win32ToolbarWindow* window) {
  window_ = window;
  if (!window) page_.ReleaseReferences();
}

search::SearchComboBox* Win32ToolbarActions::SearchBox() const {
  return window_ ? window_->toolbar().searchBox() : nullptr;
}

HWND Win32ToolbarActions::Owner() const { return window_ ? window_->hwnd() : nullptr; }

void Win32ToolbarActions::OpenTemplateUrl(const std::u16string& urlTemplate,
                                          const std::u16string& encoding) {
  search::OpenTemplateUrl(urlTemplate, encoding,
                          {browser_.browser() ? &browser_ : nullptr, SearchBox()});
}

void Win32ToolbarActions::Highlight() { page_.ToggleHighlight(SearchBox()); }
void Win32ToolbarActions::FindInPage() { page_.SearchInPage(SearchBox()); }

bool Win32ToolbarActions::ShowOptions() { return dialogs::win32::ShowOptionsDialog(Owner()) == IDOK; }

void Win32ToolbarActions::ShowAbout() { dialogs::win32::ShowAboutDialog(Owner()); }

void Win32ToolbarActions::StartUninstall() { storage::StartUninstall(*this); }

bool Win32ToolbarActions::Start(const std::u16string& program, const std::u16string& arguments) {
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", W(program), W(arguments), nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void Win32ToolbarActions::OpenWindow(const std::u16string& url, int width, int height) {
  page_.OpenHelpWindow(url, height, width);
}

void Win32ToolbarActions::BroadcastRefresh() {
  ::PostMessageW(HWND_BROADCAST, RefreshMessage(), 0, 0);
}

void Win32ToolbarActions::DailyUsageCheck() { usage::DailyCheck(); }

}  // namespace norvex::toolbar::win32
