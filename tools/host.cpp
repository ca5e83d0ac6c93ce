#include "tools/host.h"

#include <vector>

#include "common/text.h"
#include "dialogs/about_model.h"
#include "pagetools/model_document.h"
#include "search/url_template.h"
#include "tools/host_page.h"
#include "usage/usage_log.h"

namespace norvex::tools {

namespace {

const catalogue::OverflowEntry* FindEntry(const std::vector<catalogue::OverflowEntry>& entries,
                                          int id) {
  for (const auto& entry : entries) {
    if (entry.id == id) return &entry;
    if (const auto* child = FindEntry(entry.children, id)) return child;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> HostOptionsDialog::Lines() {
  std::vector<std::string> lines;
  for (const auto& row : model_.rows()) lines.push_back(OptionLine(row.id, row.ticked, row.caption));
  return lines;
}

bool HostOptionsDialog::Check(const std::u16string& id, bool ticked) {
  bool found = false;
  for (size_t i = 0; i < model_.rows().size(); ++i) {
    if (model_.rows()[i].id == id) {
      model_.SetTick(i, ticked);
      found = true;
    }
  }
  return found;
}

void HostOptionsDialog::Ok() {
  model_.Accept();
  accepted_ = true;
}

std::vector<std::string> HostAboutDialog::Lines() {
  std::vector<std::string> lines;
  for (const auto& text : dialogs::AboutLines()) lines.push_back(AboutLine(text));
  return lines;
}

void HostBrowser::Navigate(const std::u16string& address) {
  url = address;
  out_.Navigate(address);
}

std::shared_ptr<pagetools::PageDocument> HostBrowser::TopDocument() {
  return pagetools::MakeModelDocument(page);
}

namespace {

// A new browser window: it keeps its size and reports itself when navigated.
class HostWindow final : public pagetools::NewBrowserWindow {
 public:
  explicit HostWindow(HostOutput& out) : out_(out) {}
  void SetHeight(long height) override { height_ = height; }
  void SetLeft(long) override {}
  void SetTop(long) override {}
  void SetWidth(long width) override { width_ = width; }
  void SetAddressBar(bool) override {}
  void SetFullScreen(bool) override {}
  void SetMenuBar(bool) override {}
  void SetToolBar(bool) override {}
  void SetVisible(bool) override {}
  void SetSilent(bool) override {}
  bool Navigate(const std::u16string& url) override {
    out_.OpenWindow(url, static_cast<int>(width_), static_cast<int>(height_));
    return true;
  }

 private:
  HostOutput& out_;
  long width_ = 0, height_ = 0;
};

}  // namespace

std::unique_ptr<pagetools::NewBrowserWindow> HostBrowser::CreateBrowserWindow() {
  return std::make_unique<HostWindow>(out_);
}

Host::Host(int width, HostOutput& out)
    : out_(out), browser_(out), window_(surface_, *this), watcher_(browser_) {
  surface_.width = surface_.parentWidth = width;
  surface_.notify = [this](int code) {
    window_.RouteCommand(catalogue::kSearchBoxId, code);
  };
  window_.OnCreate();
  window_.OnSize(width);
  surface_.DeliverPosted();
}

Host::~Host() { window_.OnDestroy(); }

void Host::Settle() {
  // What the command posted runs now, as the message loop would run it.
  surface_.DeliverPosted();
  if (refreshPending_) {
    refreshPending_ = false;
    window_.OnInRefresh();
  }
}

void Host::Wait(int milliseconds) {
  surface_.timers.Advance(milliseconds, [this](int id) {
    window_.OnTimer(id);
    Settle();
  });
}

std::string Host::Press(int commandId) {
  const toolbar::AgentButton* button = window_.ButtonByCommand(commandId);
  if (!button || !button->visible) return refusal::NoVisibleButton(commandId);
  // The face: clear of a split button's arrow.
  if (window_.PressButton(button->id, 1)) window_.CloseButtonMenu(button->id, 0);
  return {};
}

std::string Host::Menu(int commandId, int item) {
  const toolbar::AgentButton* button = window_.ButtonByCommand(commandId);
  if (!button || !button->visible || button->style == catalogue::MenuStyle::kPlain) {
    return refusal::NoVisibleMenuButton(commandId);
  }
  if (!FindEntry(button->menu, item)) return refusal::NoMenuItem(item, commandId);
  const int id = button->id;
  if (window_.PressButton(id, button->rect.width() - 1)) window_.CloseButtonMenu(id, item);
  return {};
}

// As with a real window, a size that does not change brings no size message.
void Host::SetWidth(int width) {
  if (width == surface_.width) return;
  surface_.width = surface_.parentWidth = width;
  window_.OnSize(width);
}

void Host::DragGrip(int x) {
  window_.OnGripDragged(x, 0);
}

void Host::Show(std::shared_ptr<pagetools::model::Document> page) {
  watcher_.OnBeforeNavigate(page->url);
  browser_.url = page->url;
  browser_.page = std::move(page);
  if (const std::optional<int> item = watcher_.OnDocumentComplete()) {
    window_.AdoptWebTranslationItem(*item);
    window_.RelayoutAgents();
    window_.RepaintWithoutErasing();
  }
}

void Host::ShowPage(const std::u16string& url, const std::u16string& charset,
                    const std::u16string& language) {
  Show(BlankPage(url, charset, language));
}

std::string Host::LoadPage(const std::string& path, const std::u16string& url) {
  std::string error;
  auto page = LoadPageFile(path, url, error);
  if (!page) return error;
  Show(std::move(page));
  return {};
}

std::string Host::ReadSelection() {
  return browser_.page ? SelectionLine(*browser_.page) : "selection none";
}

std::string Host::SavePage(const std::string& folder) {
  if (!browser_.page) return refusal::NoPage();
  std::string error;
  return SavePageFiles(*browser_.page, folder, error) ? std::string() : error;
}

DropDown Host::ReadDropDown() {
  DropDown dropDown;
  dropDown.shown = surface_.dropDownShown();
  for (const auto& item : surface_.dropDownItems()) dropDown.entries.push_back(item.text);
  dropDown.selected = surface_.dropDownSelection();
  return dropDown;
}

Layout Host::ReadLayout() {
  Layout layout;
  auto add = [&](int id, const char* kind, const catalogue::Rect& r, bool visible, bool enabled,
                 const std::u16string& caption) {
    layout.items.push_back({id, kind, r, visible, enabled, caption});
  };
  const int settings = window_.agents().settingsButton;
  for (const auto& [id, button] : window_.buttons()) {
    add(button.commandId, id == settings ? "settings" : "button", button.rect, button.visible,
        button.enabled, button.text);
  }
  if (const auto box = window_.searchBoxRect()) {
    add(catalogue::kSearchBoxId, "search", *box, true, true, window_.searchBox()->GetText());
  }
  if (const auto grip = window_.gripRect()) add(catalogue::kResizeGripId, "grip", *grip, true, true, u"");
  if (const auto& chevron = window_.chevron()) {
    add(catalogue::kChevronId, "chevron", chevron->rect, true, true, u"");
  }
  for (const auto& entry : window_.overflow()) {
    OverflowLine& line = layout.overflow.emplace_back(OverflowLine{entry.id, entry.caption, {}});
    for (const auto& child : entry.children) line.children.push_back({child.id, child.caption, {}});
  }
  return layout;
}

// ---- What the toolbar's commands lead to -------------------------------------------------

void Host::OpenTemplateUrl(const std::u16string& urlTemplate, const std::u16string& encoding) {
  search::OpenTemplateUrl(urlTemplate, encoding, {&browser_, window_.searchBox()});
}

void Host::Highlight() { page_.ToggleHighlight(window_.searchBox()); }
void Host::FindInPage() { page_.SearchInPage(window_.searchBox()); }

bool Host::ShowOptions() {
  HostOptionsDialog dialog;
  RunDialog(dialog, out_);
  return dialog.accepted();
}

void Host::ShowAbout() {
  HostAboutDialog dialog;
  RunDialog(dialog, out_);
}

void Host::StartUninstall() { storage::StartUninstall(*this); }

bool Host::Start(const std::u16string& program, const std::u16string& arguments) {
  out_.Start(program, arguments);
  return true;
}

void Host::OpenWindow(const std::u16string& url, int width, int height) {
  page_.OpenHelpWindow(url, height, width);
}

// The broadcast is posted: the toolbar rebuilds after the command that sent it has finished.
void Host::BroadcastRefresh() { refreshPending_ = true; }

void Host::DailyUsageCheck() { usage::DailyCheck(); }

}  // namespace norvex::tools
