#include "tools/host_commands.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "common/text.h"
#include "search/search_combo_box.h"

namespace norvex::tools {

namespace {

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

// The rest of the line after the command word and one space: `type` keeps the typed text's own
// spaces.
std::string Rest(const std::string& line, size_t wordLength) {
  return line.size() > wordLength + 1 ? line.substr(wordLength + 1) : std::string();
}

}  // namespace

bool ParseInt(std::string_view text, int& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  if (text.empty()) return false;
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

int VirtualKeyByName(std::string_view name) {
  static constexpr std::pair<std::string_view, int> kKeys[] = {
      {"Enter", search::kVkReturn}, {"Escape", search::kVkEscape},
      {"Up", search::kVkUp},        {"Down", search::kVkDown},
      {"F4", search::kVkF4},        {"Backspace", search::kVkBack},
      {"Delete", search::kVkDelete}, {"Home", search::kVkHome},
      {"End", search::kVkEnd},      {"Left", search::kVkLeft},
      {"Right", search::kVkRight}};
  for (const auto& [keyName, virtualKey] : kKeys) {
    if (name == keyName) return virtualKey;
  }
  return 0;
}

std::vector<std::string> FormatLayout(const Layout& layout) {
  std::vector<const LayoutItem*> items;
  for (const LayoutItem& item : layout.items) items.push_back(&item);
  std::stable_sort(items.begin(), items.end(), [](const LayoutItem* x, const LayoutItem* y) {
    return x->rect.left < y->rect.left;
  });
  std::vector<std::string> lines;
  for (const LayoutItem* item : items) {
    const catalogue::Rect& r = item->rect;
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "item %d %s %d %d %d %d %d %d ", item->id,
                  item->kind.c_str(), r.left, r.top, r.width(), r.height(), item->visible ? 1 : 0,
                  item->enabled ? 1 : 0);
    lines.push_back(buffer + U8(item->caption));
  }
  for (const OverflowLine& entry : layout.overflow) {
    lines.push_back("overflow " + std::to_string(entry.id) + " " + U8(entry.caption));
    for (const OverflowLine& child : entry.children) {
      lines.push_back("  child " + std::to_string(child.id) + " " + U8(child.caption));
    }
  }
  return lines;
}

std::vector<std::string> FormatDropDown(const DropDown& dropDown) {
  if (!dropDown.shown) return {"dropdown closed"};
  std::vector<std::string> lines;
  for (size_t i = 0; i < dropDown.entries.size(); ++i) {
    const bool selected = static_cast<int>(i) == dropDown.selected;
    lines.push_back((selected ? "dropdown* " : "dropdown ") + U8(dropDown.entries[i]));
  }
  return lines;
}

std::u16string ShownProgramPath(std::u16string_view program, std::u16string_view installFolder,
                                std::u16string_view shownFolder) {
  auto isSeparator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  auto trimmed = [&](std::u16string_view folder) {
    while (!folder.empty() && isSeparator(folder.back())) folder.remove_suffix(1);
    return folder;
  };
  installFolder = trimmed(installFolder);
  std::u16string shown(program);
  if (!installFolder.empty() && program.size() > installFolder.size() &&
      isSeparator(program[installFolder.size()]) &&
      EqualsIgnoreCaseAscii(program.substr(0, installFolder.size()), installFolder)) {
    shown = std::u16string(trimmed(shownFolder)) + std::u16string(program.substr(installFolder.size()));
  }
  std::replace(shown.begin(), shown.end(), u'\\', u'/');
  return shown;
}

namespace refusal {
std::string UnknownCommand(std::string_view line) {
  return "unknown command: " + std::string(line);
}
std::string NoSearchBox() { return "the toolbar has no search box"; }
std::string NoGrip() { return "the toolbar has no grip"; }
std::string UnknownKey(std::string_view name) { return "unknown key: " + std::string(name); }
std::string NoVisibleButton(int commandId) {
  return "no visible button with command " + std::to_string(commandId);
}
std::string NoVisibleMenuButton(int commandId) {
  return "no visible menu button with command " + std::to_string(commandId);
}
std::string NoMenuItem(int item, int commandId) {
  return "no item " + std::to_string(item) + " in the menu of " + std::to_string(commandId);
}
std::string NoOption(std::string_view id) {
  return "no option " + std::string(id) + " in the dialog";
}

std::string NoPage() { return "the browser shows no page"; }
std::string NoScreen() {
  return "this host draws no windows: screenshots are taken by NorvexHost.exe";
}
}  // namespace refusal

std::string OptionLine(const std::u16string& id, bool ticked, const std::u16string& caption) {
  return "option " + U8(id) + (ticked ? " 1 " : " 0 ") + U8(caption);
}

std::string AboutLine(const std::u16string& text) { return "about " + U8(text); }

void HostDriver::RunDialog(HostDialog& dialog, HostOutput& output) {
  if (dialogRunner_) {
    dialogRunner_->RunDialog(dialog);
    return;
  }
  output.Dialog(dialog.Name());
  dialog.Cancel();
}

// ---- Output ----------------------------------------------------------------------------------

HostOutput::HostOutput(std::string program, std::FILE* out, std::FILE* err)
    : program_(std::move(program)), out_(out), err_(err) {}

void HostOutput::Line(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
  if (listener_) listener_->OnLine(line);
}

void HostOutput::Navigate(const std::u16string& url) {
  Line("navigate " + U8(url));
  if (listener_) listener_->OnNavigate(url);
}

void HostOutput::OpenWindow(const std::u16string& url, int width, int height) {
  Line("open-window " + U8(url) + " " + std::to_string(width) + " " + std::to_string(height));
}

void HostOutput::Start(const std::u16string& program, const std::u16string& arguments) {
  Line("start " + U8(program) + " " + U8(arguments));
}

void HostOutput::Dialog(const std::string& name) { Line("dialog " + name); }

void HostOutput::Refuse(const std::string& message) {
  refused_ = true;
  std::fflush(out_);
  std::fprintf(err_, "%s: %s\n", program_.c_str(), message.c_str());
  std::fflush(err_);
  if (listener_) listener_->OnLine(program_ + ": " + message);
}

// ---- Commands --------------------------------------------------------------------------------

CommandInterpreter::CommandInterpreter(HostDriver& driver, HostOutput& output)
    : driver_(driver), output_(output) {
  driver_.SetDialogRunner(this);
}

CommandInterpreter::~CommandInterpreter() { driver_.SetDialogRunner(nullptr); }

void CommandInterpreter::RunAll(std::istream& input) {
  input_ = &input;
  for (std::string line; NextLine(line);) {
    if (!Run(line)) break;
  }
  input_ = nullptr;
}

bool CommandInterpreter::NextLine(std::string& line) {
  if (hasPending_) {
    hasPending_ = false;
    line = std::move(pending_);
    return true;
  }
  return input_ && static_cast<bool>(std::getline(*input_, line));
}

void CommandInterpreter::RunDialog(HostDialog& dialog) {
  output_.Dialog(dialog.Name());
  for (const std::string& line : dialog.Lines()) output_.Line(line);
  std::string line;
  while (!hasPending_ && NextLine(line)) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::istringstream words(text);
    std::string command;
    words >> command;
    if (command.empty() || command[0] == '#') continue;
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    if (command == "check" && args.size() == 2 && (args[1] == "1" || args[1] == "0")) {
      if (!dialog.Check(Utf8ToUtf16(args[0]), args[1] == "1")) {
        output_.Refuse(refusal::NoOption(args[0]));
      }
    } else if (command == "ok" && args.empty()) {
      dialog.Ok();
      return;
    } else if (command == "cancel" && args.empty()) {
      dialog.Cancel();
      return;
    } else {
      // Another command: the dialog closes with Cancel and the command runs after it.
      pending_ = line;
      hasPending_ = true;
    }
  }
  dialog.Cancel();
}

bool CommandInterpreter::Run(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream words(line);
  std::string command;
  words >> command;
  if (command.empty() || command[0] == '#') return true;  // blank lines and comments
  if (command == "quit") return false;

  std::vector<std::string> args;
  for (std::string word; words >> word;) args.push_back(word);
  const std::string refused = Dispatch(line, command, args);
  if (!refused.empty()) output_.Refuse(refused);
  driver_.Settle();
  return true;
}

std::string CommandInterpreter::Dispatch(const std::string& line, const std::string& command,
                                         const std::vector<std::string>& args) {
  int a = 0, b = 0;
  if (command == "type") {
    if (!driver_.HasSearchBox()) return refusal::NoSearchBox();
    driver_.Type(Utf8ToUtf16(Rest(line, command.size())));
  } else if (command == "key" && args.size() == 1) {
    if (!driver_.HasSearchBox()) return refusal::NoSearchBox();
    const int virtualKey = VirtualKeyByName(args[0]);
    if (virtualKey == 0) return refusal::UnknownKey(args[0]);
    driver_.Key(virtualKey);
  } else if (command == "press" && args.size() == 1 && ParseInt(args[0], a)) {
    return driver_.Press(a);
  } else if (command == "menu" && args.size() == 2 && ParseInt(args[0], a) &&
             ParseInt(args[1], b)) {
    return driver_.Menu(a, b);
  } else if (command == "width" && args.size() == 1 && ParseInt(args[0], a) && a >= 0) {
    driver_.SetWidth(a);
  } else if (command == "grip" && args.size() == 1 && ParseInt(args[0], a)) {
    if (!driver_.HasGrip()) return refusal::NoGrip();
    driver_.DragGrip(a);
  } else if (command == "page" && !args.empty() && args.size() <= 3) {
    driver_.ShowPage(Utf8ToUtf16(args[0]), Utf8ToUtf16(args.size() > 1 ? args[1] : ""),
                     Utf8ToUtf16(args.size() > 2 ? args[2] : ""));
  } else if (command == "load" && !args.empty() && args.size() <= 2) {
    return driver_.LoadPage(args[0], Utf8ToUtf16(args.size() > 1 ? args[1] : ""));
  } else if (command == "selection" && args.empty()) {
    output_.Line(driver_.ReadSelection());
  } else if (command == "save" && args.size() == 1) {
    return driver_.SavePage(args[0]);
  } else if (command == "refresh" && args.empty()) {
    driver_.Refresh();
  } else if (command == "layout" && args.empty()) {
    for (const std::string& out : FormatLayout(driver_.ReadLayout())) output_.Line(out);
  } else if (command == "dropdown" && args.empty()) {
    for (const std::string& out : FormatDropDown(driver_.ReadDropDown())) output_.Line(out);
  } else if (command == "wait" && args.size() == 1 && ParseInt(args[0], a) && a >= 0) {
    driver_.Wait(a);
  } else if (command == "screenshot" && args.size() == 1) {
    return driver_.Screenshot(args[0], std::nullopt);
  } else if (command == "screenshot" && args.size() == 2 && ParseInt(args[1], a)) {
    return driver_.Screenshot(args[0], a);
  } else {
    return refusal::UnknownCommand(line);
  }
  return {};
}

}  // namespace norvex::tools
