#include "tools/host.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "common/text.h"
#include "search/url_template.h"
#include "usage/usage_log.h"

namespace norvex::tools {

namespace {

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

// The rest of the line after the command word and one space.
std::string Rest(const std::string& line, size_t wordLength) {
  return line.size() > wordLength + 1 ? line.substr(wordLength + 1) : std::string();
}

bool ParseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  size_t used = 0;
  try {
    value = std::stoi(text, &used);
  } catch (...) {
    return false;
  }
  return used == text.size();
}

const catalogue::OverflowEntry* FindEntry(const std::vector<catalogue::OverflowEntry>& entries,
                                          int id) {
  for (const auto& entry : entries) {
    if (entry.id == id) return &entry;
    if (const auto* child = FindEntry(entry.children, id)) return child;
  }
  return nullptr;
}

}  // namespace

void HostBrowser::Navigate(const std::u16string& address) {
  url = address;
  std::fprintf(out_, "navigate %s\n", U8(address).c_str());
}

void HostBrowser::OpenWindow(const std::u16string& address, int width, int height) {
  std::fprintf(out_, "open-window %s %d %d\n", U8(address).c_str(), width, height);
}

Host::Host(int width, std::FILE* out)
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

void Host::Print(const std::string& line) { std::fprintf(out_, "%s\n", line.c_str()); }

void Host::Error(const std::string& message) { std::fprintf(stderr, "norvex-host: %s\n", message.c_str()); }

bool Host::Run(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  if (command.empty() || command[0] == '#') return true;  // blank lines and comments
  if (command == "quit") return false;

  std::vector<std::string> args;
  for (std::string word; words >> word;) args.push_back(word);
  int a = 0, b = 0;
  if (command == "type") {
    Type(Utf8ToUtf16(Rest(line, command.size())));
  } else if (command == "key" && args.size() == 1) {
    Key(args[0]);
  } else if (command == "press" && args.size() == 1 && ParseInt(args[0], a)) {
    Press(a);
  } else if (command == "menu" && args.size() == 2 && ParseInt(args[0], a) &&
             ParseInt(args[1], b)) {
    Menu(a, b);
  } else if (command == "width" && args.size() == 1 && ParseInt(args[0], a) && a >= 0) {
    surface_.width = surface_.parentWidth = a;
    window_.OnSize(a);
  } else if (command == "grip" && args.size() == 1 && ParseInt(args[0], a)) {
    if (!window_.gripRect()) {
      Error("the toolbar has no grip");
    } else {
      window_.OnGripDragged(a, 0);
    }
  } else if (command == "page" && !args.empty() && args.size() <= 3) {
    Page(args[0], args.size() > 1 ? args[1] : "", args.size() > 2 ? args[2] : "");
  } else if (command == "refresh" && args.empty()) {
    window_.OnInRefresh();
  } else if (command == "layout" && args.empty()) {
    PrintLayout();
  } else if (command == "dropdown" && args.empty()) {
    PrintDropDown();
  } else {
    Error("unknown command: " + line);
  }
  // What the command posted runs now, as the message loop would run it.
  surface_.DeliverPosted();
  if (refreshPending_) {
    refreshPending_ = false;
    window_.OnInRefresh();
  }
  return true;
}

void Host::Type(const std::u16string& text) {
  if (!window_.searchBox()) {
    Error("the toolbar has no search box");
    return;
  }
  surface_.TypeText(text);
}

void Host::Key(const std::string& name) {
  static const std::pair<const char*, int> kKeys[] = {
      {"Enter", search::kVkReturn}, {"Escape", search::kVkEscape},
      {"Up", search::kVkUp},        {"Down", search::kVkDown},
      {"F4", search::kVkF4},        {"Backspace", search::kVkBack},
      {"Delete", search::kVkDelete}};
  if (!window_.searchBox()) {
    Error("the toolbar has no search box");
    return;
  }
  for (const auto& [keyName, virtualKey] : kKeys) {
    if (name == keyName) {
      surface_.PressKey(virtualKey);
      return;
    }
  }
  Error("unknown key: " + name);
}

void Host::PrintDropDown() {
  if (!surface_.dropDownShown()) {
    Print("dropdown closed");
    return;
  }
  const auto& items = surface_.dropDownItems();
  for (size_t i = 0; i < items.size(); ++i) {
    Print(std::string(static_cast<int>(i) == surface_.dropDownSelection() ? "dropdown* " : "dropdown ") +
          U8(items[i].text));
  }
}

void Host::Press(int commandId) {
  const toolbar::AgentButton* button = window_.ButtonByCommand(commandId);
  if (!button || !button->visible) {
    Error("no visible button with command " + std::to_string(commandId));
    return;
  }
  // The face: clear of a split button's arrow.
  if (window_.PressButton(button->id, 1)) window_.CloseButtonMenu(button->id, 0);
}

void Host::Menu(int buttonCommand, int item) {
  const toolbar::AgentButton* button = window_.ButtonByCommand(buttonCommand);
  if (!button || !button->visible || button->style == catalogue::MenuStyle::kPlain) {
    Error("no visible menu button with command " + std::to_string(buttonCommand));
    return;
  }
  if (!FindEntry(button->menu, item)) {
    Error("no item " + std::to_string(item) + " in the menu of " + std::to_string(buttonCommand));
    return;
  }
  const int id = button->id;
  if (window_.PressButton(id, button->rect.width() - 1)) window_.CloseButtonMenu(id, item);
}

void Host::Page(const std::string& url, const std::string& charset, const std::string& language) {
  const std::u16string address = Utf8ToUtf16(url);
  watcher_.OnBeforeNavigate(address);
  browser_.url = address;
  browser_.charset = Utf8ToUtf16(charset);
  browser_.language = Utf8ToUtf16(language);
  watcher_.OnDocumentComplete(&window_);
}

void Host::PrintLayout() {
  struct Item {
    int left;
    std::string line;
  };
  std::vector<Item> items;
  auto add = [&](int id, const char* kind, const catalogue::Rect& r, bool visible, bool enabled,
                 const std::u16string& caption) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "item %d %s %d %d %d %d %d %d ", id, kind, r.left, r.top,
                  r.width(), r.height(), visible ? 1 : 0, enabled ? 1 : 0);
    items.push_back({r.left, buffer + U8(caption)});
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
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& x, const Item& y) { return x.left < y.left; });
  for (const Item& item : items) Print(item.line);
  for (const auto& entry : window_.overflow()) {
    Print("overflow " + std::to_string(entry.id) + " " + U8(entry.caption));
    for (const auto& child : entry.children) {
      Print("  child " + std::to_string(child.id) + " " + U8(child.caption));
    }
  }
}

// ---- What the toolbar's commands lead to -------------------------------------------------

void Host::OpenTemplateUrl(const std::u16string& urlTemplate, const std::u16string& encoding) {
  search::OpenTemplateUrl(urlTemplate, encoding, {&browser_, window_.searchBox()});
}

void Host::Highlight() { Print("command highlight"); }
void Host::FindInPage() { Print("command searchinpage"); }

bool Host::ShowOptions() {
  Print("dialog options");
  return false;  // the host's dialog closes with Cancel
}

void Host::ShowAbout() { Print("dialog about"); }

void Host::StartUninstall() { storage::StartUninstall(*this); }

bool Host::Start(const std::u16string& program, const std::u16string& arguments) {
  Print("start " + U8(program) + " " + U8(arguments));
  return true;
}

void Host::OpenWindow(const std::u16string& url, int width, int height) {
  browser_.OpenWindow(url, width, height);
}

// The broadcast is posted: the toolbar rebuilds after the command that sent it has finished.
void Host::BroadcastRefresh() { refreshPending_ = true; }

void Host::DailyUsageCheck() { usage::DailyCheck(); }

}  // namespace norvex::tools
