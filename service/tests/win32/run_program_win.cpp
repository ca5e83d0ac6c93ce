#include "platform/win32/windows_api.h"
#include "service/tests/file_access.h"
#include "service/tests/run_program.h"

#include <cstdlib>

namespace norvex::service::testing {

namespace {

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  ::CloseHandle(file);
  return bytes;
}

// Wine's CreateProcess starts no program whose path is 260 characters or more; its loader, a
// program of the host system, does. The host's shell catches the output and the exit code,
// which do not come back from a host program otherwise.
ProgramRun RunThroughWineLoader(const std::string& command, const std::string& folder) {
  ProgramRun run;
  char temp[MAX_PATH], output[MAX_PATH], code[MAX_PATH];
  if (!::GetTempPathA(MAX_PATH, temp) || !::GetTempFileNameA(temp, "out", 0, output) ||
      !::GetTempFileNameA(temp, "rc", 0, code)) {
    return run;
  }
  const std::string unix_output = HostPath(output), unix_code = HostPath(code);
  if (unix_output.empty() || unix_code.empty()) return run;
  std::string script = "/usr/lib/wine/wine64 " + command + " > '" + unix_output +
                       "' 2>&1; echo $? > '" + unix_code + "'";
  // Inside the shell's double-quoted argument the program path keeps its double quotes as
  // single ones.
  for (char& c : script) {
    if (c == '"') c = '\'';
  }
  std::string shell = "/bin/sh -c \"" + script + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, shell.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return run;
  }
  ::WaitForSingleObject(process.hProcess, 60000);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  // The shell's process may be reported ended before it has written its files.
  for (int i = 0; i < 100 && ReadWhole(code).empty(); ++i) ::Sleep(50);
  run.output = ReadWhole(output);
  const std::string exit_code = ReadWhole(code);
  if (!exit_code.empty()) run.exit_code = std::atoi(exit_code.c_str());
  ::DeleteFileA(output);
  ::DeleteFileA(code);
  return run;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& folder) {
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
  const char* current = folder.empty() ? nullptr : folder.c_str();
  const BOOL started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        current, &startup, &process);
  ::CloseHandle(write_end);
  if (!started) {
    ::CloseHandle(read_end);
    if (program.size() >= MAX_PATH && !HostPath(program).empty()) {
      return RunThroughWineLoader(command, folder);
    }
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
