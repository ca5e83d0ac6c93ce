// The native host of the toolbar: a headless parent window, a browser object that shows pages of
// our own page model and prints what it is asked to do, and the driver through which the shared
// command interpreter runs the host's command language on them.
#pragma once

#include <memory>
#include <string>

#include "dialogs/options_model.h"
#include "pagetools/browser.h"
#include "pagetools/browser_page.h"
#include "pagetools/page_language.h"
#include "pagetools/page_model.h"
#include "storage/uninstall.h"
#include "tools/host_commands.h"
#include "toolbar/headless_surface.h"
#include "toolbar/toolbar_window.h"

namespace norvex::tools {

// The browser of the host: it goes where it is told and reports it as "navigate URL"; it shows
// `page`, and new windows report "open-window URL WIDTH HEIGHT" when navigated.
class HostBrowser final : public pagetools::Browser {
 public:
  explicit HostBrowser(HostOutput& out) : out_(out) {}
  std::u16string url;
  std::shared_ptr<pagetools::model::Document> page;

  std::u16string LocationUrl() override { return url; }
  void Navigate(const std::u16string& address) override;
  std::shared_ptr<pagetools::PageDocument> TopDocument() override;
  std::unique_ptr<pagetools::NewBrowserWindow> CreateBrowserWindow() override;

 private:
  HostOutput& out_;
};

// The toolbar's options dialog without windows: its model, read when it opens.
class HostOptionsDialog final : public HostDialog {
 public:
  HostOptionsDialog() { model_.Load(); }
  bool accepted() const { return accepted_; }

  std::string Name() override { return "options"; }
  std::vector<std::string> Lines() override;
  bool Check(const std::u16string& id, bool ticked) override;
  void Ok() override;
  void Cancel() override {}

 private:
  dialogs::OptionsModel model_;
  bool accepted_ = false;
};

// The about box without windows: its texts.
class HostAboutDialog final : public HostDialog {
 public:
  std::string Name() override { return "about"; }
  std::vector<std::string> Lines() override;
  bool Check(const std::u16string&, bool) override { return false; }
  void Ok() override {}
  void Cancel() override {}
};

class Host final : public HostDriver,
                   public toolbar::ToolbarActions,
                   public storage::ProgramStarter {
 public:
  Host(int width, HostOutput& out);
  ~Host() override;

  // HostDriver
  bool HasSearchBox() override { return window_.searchBox() != nullptr; }
  bool HasGrip() override { return window_.gripRect().has_value(); }
  void Type(const std::u16string& text) override { surface_.TypeText(text); }
  void Key(int virtualKey) override { surface_.PressKey(virtualKey); }
  std::string Press(int commandId) override;
  std::string Menu(int commandId, int item) override;
  void SetWidth(int width) override;
  void DragGrip(int x) override;
  void ShowPage(const std::u16string& url, const std::u16string& charset,
                const std::u16string& language) override;
  std::string LoadPage(const std::string& path, const std::u16string& url) override;
  std::string ReadSelection() override;
  std::string SavePage(const std::string& folder) override;
  void Refresh() override { window_.OnInRefresh(); }
  Layout ReadLayout() override;
  DropDown ReadDropDown() override;
  // The toolbar's timers run on the host's clock, which stands still between commands: the
  // wait moves it on, and each timer that falls due fires then, followed by what it posted.
  void Wait(int milliseconds) override;
  // Nothing is drawn here.
  std::string Screenshot(const std::string&, std::optional<int>) override {
    return refusal::NoScreen();
  }
  void Settle() override;

  // ToolbarActions
  void OpenTemplateUrl(const std::u16string& urlTemplate, const std::u16string& encoding) override;
  void Highlight() override;
  void FindInPage() override;
  bool ShowOptions() override;
  void ShowAbout() override;
  void StartUninstall() override;
  void OpenWindow(const std::u16string& url, int width, int height) override;
  void BroadcastRefresh() override;
  void DailyUsageCheck() override;

  // ProgramStarter
  bool Start(const std::u16string& program, const std::u16string& arguments) override;

 private:
  // BeforeNavigate2 for the page's address, the page, then DocumentComplete.
  void Show(std::shared_ptr<pagetools::model::Document> page);

  HostOutput& out_;
  toolbar::HeadlessSurface surface_;
  HostBrowser browser_;
  toolbar::ToolbarWindow window_;
  pagetools::PageLanguageWatcher watcher_;
  pagetools::BrowserPage page_{&browser_};
  bool refreshPending_ = false;
};

}  // namespace norvex::tools
