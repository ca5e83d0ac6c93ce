// The native host of the toolbar: a headless parent window, a browser object that prints what
// it is asked to do, and a command interpreter for the host's command language.
#pragma once

#include <cstdio>
#include <string>

#include "pagetools/browser.h"
#include "pagetools/page_language.h"
#include "storage/uninstall.h"
#include "toolbar/headless_surface.h"
#include "toolbar/toolbar_window.h"

namespace norvex::tools {

// The browser of the host: it goes where it is told and reports it as "navigate URL".
class HostBrowser final : public pagetools::Browser {
 public:
  explicit HostBrowser(std::FILE* out) : out_(out) {}
  std::u16string url, charset, language;

  std::u16string LocationUrl() override { return url; }
  void Navigate(const std::u16string& address) override;
  void OpenWindow(const std::u16string& address, int width, int height) override;
  std::u16string DocumentCharset() override { return charset; }
  std::u16string DocumentLanguage() override { return language; }

 private:
  std::FILE* out_;
};

class Host final : public toolbar::ToolbarActions, public storage::ProgramStarter {
 public:
  explicit Host(int width, std::FILE* out = stdout);
  ~Host() override;

  // Runs one command line; false for "quit".
  bool Run(const std::string& line);

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
  void Type(const std::u16string& text);
  void Key(const std::string& name);
  void Press(int commandId);
  void Menu(int buttonCommand, int item);
  void Page(const std::string& url, const std::string& charset, const std::string& language);
  void PrintLayout();
  void PrintDropDown();
  void Print(const std::string& line);
  void Error(const std::string& message);

  std::FILE* out_;
  toolbar::HeadlessSurface surface_;
  HostBrowser browser_;
  toolbar::ToolbarWindow window_;
  pagetools::PageLanguageWatcher watcher_;
  bool refreshPending_ = false;
};

}  // namespace norvex::tools
