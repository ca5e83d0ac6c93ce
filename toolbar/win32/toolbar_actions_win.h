// What the toolbar's commands lead to on Windows: navigation of the hosting browser, the page
// tools, the dialogs owned by the toolbar window, the uninstall program, help windows, and the
// refresh broadcast to every top-level window of the desktop.
#pragma once

#include "pagetools/win32/web_browser_win.h"
#include "platform/win32/com_ptr.h"
#include "storage/uninstall.h"
#include "toolbar/toolbar_surface.h"

#include <docobj.h>

namespace norvex::toolbar::win32 {

class Win32ToolbarWindow;

// The command group and commands by which the toolbar hands the page-tool keywords to its
// site until it works on the page itself.
inline constexpr int kSiteCommandHighlight = 1;
inline constexpr int kSiteCommandSearchInPage = 2;

class Win32ToolbarActions final : public ToolbarActions, public storage::ProgramStarter {
 public:
  explicit Win32ToolbarActions(pagetools::win32::WebBrowser& browser) : browser_(browser) {}

  void SetWindow(Win32ToolbarWindow* window) { window_ = window; }
  // The band's site, asked to run page-tool keywords (IOleCommandTarget, in the band's own
  // command group); may be null.
  void SetSite(IUnknown* site, const GUID& commandGroup);

  void OpenTemplateUrl(const std::u16string& urlTemplate, const std::u16string& encoding) override;
  void Highlight() override;
  void FindInPage() override;
  bool ShowOptions() override;
  void ShowAbout() override;
  void StartUninstall() override;
  void OpenWindow(const std::u16string& url, int width, int height) override;
  void BroadcastRefresh() override;
  void DailyUsageCheck() override;

  // ProgramStarter: ShellExecuteW with the "open" verb.
  bool Start(const std::u16string& program, const std::u16string& arguments) override;

 private:
  void AskSite(int command);
  HWND Owner() const;

  pagetools::win32::WebBrowser& browser_;
  Win32ToolbarWindow* window_ = nullptr;
  platform::win32::ComPtr<IOleCommandTarget> site_;
  GUID commandGroup_{};
};

}  // namespace norvex::toolbar::win32
