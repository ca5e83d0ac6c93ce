// The command language of the toolbar hosts (`norvex-host` on Linux, `NorvexHost.exe` under
// Windows): reading command lines, the checks and refusal messages, and the output lines. Both
// hosts share this file; each drives its own toolbar through a HostDriver, so nothing here knows
// about windows.
#pragma once

#include <cstdio>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/agent_types.h"

namespace norvex::tools {

// A whole word as a decimal int: an optional sign, then digits only. False for an empty word, any
// other character, or a value outside the int range; `value` is then unchanged.
bool ParseInt(std::string_view text, int& value);

// The virtual key of a key name of the `key` command (Enter, Escape, Up, Down, F4, Backspace,
// Delete, Home, End, Left, Right); 0 for any other name.
int VirtualKeyByName(std::string_view name);

// One element of the toolbar as `layout` prints it.
struct LayoutItem {
  int id = 0;
  std::string kind;  // "button", "search", "grip", "chevron" or "settings"
  catalogue::Rect rect;
  bool visible = true;
  bool enabled = true;
  std::u16string caption;
};

// An entry of the chevron's menu, with the entries of its submenu.
struct OverflowLine {
  int id = 0;
  std::u16string caption;
  std::vector<OverflowLine> children;
};

struct Layout {
  std::vector<LayoutItem> items;  // in any order
  std::vector<OverflowLine> overflow;
};

// The lines of `layout`: "item ID KIND LEFT TOP WIDTH HEIGHT VISIBLE ENABLED CAPTION" sorted by
// their left edges (items with equal left edges keep their order in `layout.items`), then
// "overflow ID CAPTION" per chevron entry, each followed by "  child ID CAPTION" per entry of its
// submenu.
std::vector<std::string> FormatLayout(const Layout& layout);

// The search box's drop-down list as `dropdown` prints it.
struct DropDown {
  bool shown = false;
  std::vector<std::u16string> entries;
  int selected = -1;
};

// "dropdown TEXT" per entry ("dropdown* TEXT" for the selected one), or "dropdown closed".
std::vector<std::string> FormatDropDown(const DropDown& dropDown);

// A program path of the installation as a host prints it in "start" lines: `installFolder` (the
// folder the toolbar was loaded from, as the system names it) at its start is replaced by
// `shownFolder` (the folder as the host's command line gave it), and backslashes become slashes,
// so that both hosts print the same line. The folder is matched without regard to ASCII case and
// only up to a separator; a path outside it only has its backslashes turned.
std::u16string ShownProgramPath(std::u16string_view program, std::u16string_view installFolder,
                                std::u16string_view shownFolder);

// The reasons for refusing a command, worded once for both hosts.
namespace refusal {
std::string UnknownCommand(std::string_view line);
std::string NoSearchBox();
std::string NoGrip();
std::string UnknownKey(std::string_view name);
std::string NoVisibleButton(int commandId);
std::string NoVisibleMenuButton(int commandId);
std::string NoMenuItem(int item, int commandId);
std::string NoOption(std::string_view id);
std::string NoPage();
std::string NoScreen();
}  // namespace refusal

// A dialog of the toolbar while it is open in a host. The host prints "dialog NAME" and the
// dialog's lines when it opens; commands then act on it until it closes.
class HostDialog {
 public:
  virtual ~HostDialog() = default;
  // "options", "about", or the caption of a dialog the host does not know.
  virtual std::string Name() = 0;
  // What the dialog shows, as lines: OptionLine per row of the options dialog, AboutLine per
  // static text of the about box, top to bottom.
  virtual std::vector<std::string> Lines() = 0;
  // Ticks (or unticks) the row of the agent `id`; false when there is no such row.
  virtual bool Check(const std::u16string& id, bool ticked) = 0;
  // Close the dialog with OK or Cancel.
  virtual void Ok() = 0;
  virtual void Cancel() = 0;
};

// "option ID TICK CAPTION" (TICK 1 or 0) and "about TEXT".
std::string OptionLine(const std::u16string& id, bool ticked, const std::u16string& caption);
std::string AboutLine(const std::u16string& text);

// What runs an open dialog: the interpreter, which reads the commands for it.
class DialogRunner {
 public:
  virtual ~DialogRunner() = default;
  // Returns once the dialog has been closed.
  virtual void RunDialog(HostDialog& dialog) = 0;
};

// Who else hears what a host prints (the interactive host's window).
class HostOutputListener {
 public:
  virtual ~HostOutputListener() = default;
  // Every event line and every refusal (with the program's name), as printed.
  virtual void OnLine(const std::string& line) = 0;
  // The browser went to `url`.
  virtual void OnNavigate(const std::u16string& url) = 0;
};

// What a host prints: event lines on `out`, refusals on `err` prefixed with the program's name.
// Every line is flushed at once, so that the two streams interleave in the order of events when
// they go to one pipe. Remembers whether any command was refused, for the exit status.
class HostOutput {
 public:
  HostOutput(std::string program, std::FILE* out, std::FILE* err);

  void Line(const std::string& line);
  void Navigate(const std::u16string& url);
  void OpenWindow(const std::u16string& url, int width, int height);
  void Start(const std::u16string& program, const std::u16string& arguments);
  void Dialog(const std::string& name);  // "options" or "about"
  void Refuse(const std::string& message);

  // `listener` (or none) hears every line from now on.
  void SetListener(HostOutputListener* listener) { listener_ = listener; }

  bool refused() const { return refused_; }
  // 1 when any command was refused, else 0.
  int ExitStatus() const { return refused_ ? 1 : 0; }

 private:
  std::string program_;
  std::FILE* out_;
  std::FILE* err_;
  HostOutputListener* listener_ = nullptr;
  bool refused_ = false;
};

// What each command does to a host's toolbar. The interpreter has parsed and checked the
// arguments; the methods that can still be refused return the reason (from `refusal`), or an
// empty string when the command was carried out.
class HostDriver {
 public:
  virtual ~HostDriver() = default;

  virtual bool HasSearchBox() = 0;
  virtual bool HasGrip() = 0;

  // The search box's text becomes `text` as if typed over a full selection.
  virtual void Type(const std::u16string& text) = 0;
  // A key press in the search box.
  virtual void Key(int virtualKey) = 0;
  // A left click on the face of the visible button that sends `commandId`; a menu that opens is
  // closed with nothing chosen.
  virtual std::string Press(int commandId) = 0;
  // Opens the menu of the visible button that sends `commandId` (0: the chevron) and chooses
  // `item`, which must be an entry of that menu or of one of its submenus.
  virtual std::string Menu(int commandId, int item) = 0;
  virtual void SetWidth(int width) = 0;
  // Drags the resize grip to toolbar x-coordinate `x`.
  virtual void DragGrip(int x) = 0;
  // The browser goes to `url`: BeforeNavigate2, then DocumentComplete for a page with that
  // character set and html lang.
  virtual void ShowPage(const std::u16string& url, const std::u16string& charset,
                        const std::u16string& language) = 0;
  // The browser shows the HTML file `path` (frames' sources relative to it) under the address
  // `url` (empty: the file's own file:// address): BeforeNavigate2, then DocumentComplete. The
  // reason when the file cannot be read, else empty.
  virtual std::string LoadPage(const std::string& path, const std::u16string& url) = 0;
  // "selection none", "selection top TEXT" or "selection frame N TEXT".
  virtual std::string ReadSelection() = 0;
  // Writes the shown page as DIR/page.html and its frames as DIR/frame-N.html; the reason when
  // that fails, else empty.
  virtual std::string SavePage(const std::string& folder) = 0;
  // The refresh broadcast arrives.
  virtual void Refresh() = 0;
  virtual Layout ReadLayout() = 0;
  virtual DropDown ReadDropDown() = 0;
  // Runs the host's message loop for `milliseconds` (timers fire meanwhile).
  virtual void Wait(int milliseconds) = 0;
  // Writes a PNG picture of the toolbar as the screen shows it, with whatever popup it has open
  // (the drop-down), to `path`. With `menuOf`, the menu of the visible button that sends it (0:
  // the chevron) is opened for the picture and closed again with nothing chosen. The reason when
  // there is no picture, else empty.
  virtual std::string Screenshot(const std::string& path, std::optional<int> menuOf) = 0;
  // After every command line: lets what the command posted run, as a message loop would.
  virtual void Settle() = 0;

  // Who runs the toolbar's dialogs when they open; null: they are named and closed with Cancel.
  void SetDialogRunner(DialogRunner* runner) { dialogRunner_ = runner; }
  // Runs a dialog that has just opened, as the runner says.
  void RunDialog(HostDialog& dialog, HostOutput& output);

 private:
  DialogRunner* dialogRunner_ = nullptr;
};

// Reads command lines and runs them on a driver, and runs the toolbar's dialogs while they are
// open: a dialog that opens is printed ("dialog NAME" and its lines); then "check ID 1|0" sets a
// row's tick, "ok" and "cancel" close it, and any other line closes it with Cancel first and is
// run after it. The end of input closes it with Cancel.
class CommandInterpreter final : public DialogRunner {
 public:
  CommandInterpreter(HostDriver& driver, HostOutput& output);
  ~CommandInterpreter() override;
  CommandInterpreter(const CommandInterpreter&) = delete;
  CommandInterpreter& operator=(const CommandInterpreter&) = delete;

  // Runs the lines of `input` until "quit" or its end; dialogs read their commands from it too.
  void RunAll(std::istream& input);

  // Runs one line (UTF-8, a trailing carriage return ignored). Blank lines and lines starting
  // with '#' do nothing. False for "quit", true otherwise, also when the command was refused.
  bool Run(std::string line);

  // DialogRunner
  void RunDialog(HostDialog& dialog) override;

 private:
  std::string Dispatch(const std::string& line, const std::string& command,
                       const std::vector<std::string>& args);
  // The next line: one that closed a dialog first, else one of the input.
  bool NextLine(std::string& line);

  HostDriver& driver_;
  HostOutput& output_;
  std::istream* input_ = nullptr;
  std::string pending_;
  bool hasPending_ = false;
};

}  // namespace norvex::tools
