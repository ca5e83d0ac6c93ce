#include "platform/command_line.h"

#include "common/text.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace norvex::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(Utf16ToUtf8(win32::FromW(wide[i])));
    ::LocalFree(wide);
    return arguments;
  }
  // Without the wide command line, the narrow one is all there is.
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace norvex::platform
