#include "helper/win32/helper_system_win.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::helper::win32 {

namespace {

constexpr DWORD kProgramWaitMs = 60000;

}  // namespace

int Win32ProgramRunner::Run(const std::u16string& program, const std::u16string& arguments) {
  std::u16string command = u"\"" + program + u"\"";
  if (!arguments.empty()) command += u" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(command.data()), nullptr, nullptr,
                        FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  const platform::win32::ScopedKernelHandle owned(process.hProcess);
  const platform::win32::ScopedKernelHandle thread(process.hThread);
  if (::WaitForSingleObject(process.hProcess, kProgramWaitMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.hProcess, &code)) return -1;
  return static_cast<int>(code);
}

}  // namespace norvex::helper::win32
