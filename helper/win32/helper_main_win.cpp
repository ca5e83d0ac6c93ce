// NorvexHelper.exe /uninstalltoolbar [/S] | /prepareupgrade FOLDER [/S]
//
// The product's uninstall program (see helper/helper_app.h). A windowed program without a window
// of its own: it speaks only through message boxes, and not at all with /S.
#include <string>
#include <vector>

#include "helper/helper_app.h"
#include "helper/win32/helper_system_win.h"
#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace {

using norvex::platform::win32::FromW;

std::u16string OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  const std::u16string full = FromW(path, n);
  const size_t slash = full.find_last_of(u'\\');
  return slash == std::u16string::npos ? std::u16string() : full.substr(0, slash);
}

std::vector<std::u16string> Arguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  const norvex::platform::win32::ScopedLocalMemory<wchar_t**> list(
      ::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!list) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(FromW(list.get()[i]));
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace norvex::helper::win32;
  Win32ServiceControl services;
  Win32ProgramRunner programs;
  Win32ModuleRegistrar modules;
  Win32InstalledFiles files;
  Win32Prompt prompt;
  norvex::helper::HelperSystem system{services, programs, modules, files,
                                      norvex::platform::NativeRegistry(), prompt};
  return norvex::helper::RunHelper(system, Arguments(), OwnFolder());
}
