// What the toolbar's commands lead to on Windows: navigation of the hosting browser, the page
// tools, the dialogs owned by the toolbar window, the uninstall program, help windows, and the
// refresh broadcast to every top-level window of the desktop.
#pragma once

#include "pagetools/browser_page.h"
#include "pagetools/win32/web_browser_win.h"
#include "platform/win32/com_ptr.h"
#include "storage/uninstall.h"
#include "toolbar/toolbar_surface.h"

namespace norvex::toolbar::win32 {

class Win32ToolbarWindow;

class Win32ToolbarActions final : public ToolbarActions, public storage::ProgramStarter {
 public:
  explicit Win32ToolbarActions(pagetools::win32::WebBrowser& browser) : browser_(browser) {}

  // The toolbar window (null once it is destroyed: the page tools then let go of the page).
  void SetWindow(Win32ToolbarWindow* window);

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
  HWND Owner() const;
  search::SearchComboBox* SearchBox() const;

  pagetools::win32::WebBrowser& browser_;
  pagetools::BrowserPage page_{&browser_};
  Win32ToolbarWindow* window_ = nullptr;
};

}  // namespace norvex::toolbar::win32
