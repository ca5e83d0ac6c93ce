#include "toolbar/win32/toolbar_actions_win.h"

#include <shellapi.h>

#include "dialogs/win32/dialogs_win.h"
#include "search/url_template.h"
#include "toolbar/win32/toolbar_window_win.h"
#include "usage/usage_log.h"

namespace norvex::toolbar::win32 {

using platform::win32::W;

void Win32ToolbarActions::SetSite(IUnknown* site, const GUID& commandGroup) {
  commandGroup_ = commandGroup;
  site_ = platform::win32::ComPtr<IOleCommandTarget>();
  if (site) site->QueryInterface(IID_IOleCommandTarget, site_.ReceiveVoid());
}

HWND Win32ToolbarActions::Owner() const { return window_ ? window_->hwnd() : nullptr; }

void Win32ToolbarActions::OpenTemplateUrl(const std::u16string& urlTemplate,
                                          const std::u16string& encoding) {
  search::SearchComboBox* box = window_ ? window_->toolbar().searchBox() : nullptr;
  search::OpenTemplateUrl(urlTemplate, encoding, {browser_.browser() ? &browser_ : nullptr, box});
}

// The page tools are not built into the toolbar yet: the keyword goes to the site, which may
// act on it; a browser that does not know the command group ignores it.
void Win32ToolbarActions::AskSite(int command) {
  if (!site_) return;
  site_->Exec(&commandGroup_, static_cast<DWORD>(command), OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
}

void Win32ToolbarActions::Highlight() { AskSite(kSiteCommandHighlight); }
void Win32ToolbarActions::FindInPage() { AskSite(kSiteCommandSearchInPage); }

bool Win32ToolbarActions::ShowOptions() { return dialogs::win32::ShowOptionsDialog(Owner()) == IDOK; }

void Win32ToolbarActions::ShowAbout() { dialogs::win32::ShowAboutDialog(Owner()); }

void Win32ToolbarActions::StartUninstall() { storage::StartUninstall(*this); }

bool Win32ToolbarActions::Start(const std::u16string& program, const std::u16string& arguments) {
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", W(program), W(arguments), nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void Win32ToolbarActions::OpenWindow(const std::u16string& url, int width, int height) {
  pagetools::win32::WebBrowser::OpenHelpWindow(url, height, width);
}

void Win32ToolbarActions::BroadcastRefresh() {
  ::PostMessageW(HWND_BROADCAST, RefreshMessage(), 0, 0);
}

void Win32ToolbarActions::DailyUsageCheck() { usage::DailyCheck(); }

}  // namespace norvex::toolbar::win32
