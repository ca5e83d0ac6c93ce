#include "service/win32/windows_service_api.h"
#include "service/tests/run_program.h"

namespace norvex::service::testing {

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::string command = "\"" + program + "\"";
  for (const std::string& a : arguments) command += " " + a;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
  ::CloseHandle(write_end);
  if (!started) {
    ::CloseHandle(read_end);
    return run;
  }
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0) run.output.append(buffer, n);
  ::CloseHandle(read_end);
  ::WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  run.exit_code = static_cast<int>(code);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return run;
}

}  // namespace norvex::service::testing
