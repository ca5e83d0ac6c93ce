// The hosts read their commands from standard input, typed by people or written by scripts.
// Whatever the bytes: every line either reaches the driver with arguments it accepts or is
// refused with a message; "quit" alone ends the input; a program path keeps the text after the
// installation folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/text.h"
#include "tools/host_commands.h"

namespace {

using namespace norvex::tools;

// A driver that checks what reaches it.
class CheckingDriver final : public HostDriver {
 public:
  bool HasSearchBox() override { return true; }
  bool HasGrip() override { return true; }
  void Type(const std::u16string&) override {}
  void Key(int virtualKey) override {
    if (virtualKey == 0) std::abort();
  }
  std::string Press(int) override { return {}; }
  std::string Menu(int, int) override { return {}; }
  void SetWidth(int width) override {
    if (width < 0) std::abort();
  }
  void DragGrip(int) override {}
  void ShowPage(const std::u16string& url, const std::u16string&, const std::u16string&) override {
    if (url.empty()) std::abort();
  }
  // Page files are not read here: the fuzzer must not touch the file system.
  std::string LoadPage(const std::string&, const std::u16string&) override { return {}; }
  std::string ReadSelection() override { return "selection none"; }
  std::string SavePage(const std::string&) override { return {}; }
  void Refresh() override {}
  Layout ReadLayout() override { return {}; }
  DropDown ReadDropDown() override { return {}; }
  void Wait(int milliseconds) override {
    if (milliseconds < 0) std::abort();
  }
  // No file is written: the name must be one word of the line.
  std::string Screenshot(const std::string& path, std::optional<int>) override {
    if (path.empty() || path.find_first_of(" \t\r\n") != std::string::npos) std::abort();
    return {};
  }
  void Settle() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  static std::FILE* sink = std::fopen("/dev/null", "w");
  HostOutput output("fuzz", sink, sink);
  CheckingDriver driver;
  CommandInterpreter interpreter(driver, output);
  std::istringstream lines(bytes);
  for (std::string line; std::getline(lines, line);) {
    std::string word;
    std::istringstream(line) >> word;
    if (!interpreter.Run(line) && word != "quit") std::abort();
  }

  // The input's two halves as a program path and a folder.
  const std::u16string text = norvex::Utf8ToUtf16(bytes);
  const size_t half = text.size() / 2;
  const std::u16string program = text.substr(0, half), folder = text.substr(half);
  const std::u16string shown = ShownProgramPath(program, folder, u"sample/install");
  if (shown.find(u'\\') != std::u16string::npos) std::abort();
  return 0;
}
