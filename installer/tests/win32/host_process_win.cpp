#include "installer/tests/win32/host_process_win.h"

#include <chrono>

namespace norvex::installer::testing {

HostProcess::HostProcess(const std::wstring& command) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  if (!::CreatePipe(&inRead, &inWrite, &inherit, 0)) return;
  platform::win32::ScopedKernelHandle childIn(inRead);
  input_.Reset(inWrite);
  if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) return;
  platform::win32::ScopedKernelHandle childOut(outWrite);
  output_.Reset(outRead);
  ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION info{};
  std::wstring line = command;
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info)) {
    return;
  }
  ::CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  reader_ = std::thread([this] {
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(output_.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      text_.append(buffer, n);
    }
  });
}

HostProcess::~HostProcess() { Finish(); }

void HostProcess::Send(const std::string& line) {
  const std::string bytes = line + "\n";
  DWORD written = 0;
  if (input_)
    ::WriteFile(input_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool HostProcess::WaitForOutput(const std::string& text, unsigned timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    if (Output().find(text) != std::string::npos) return true;
    if (!process_ || ::WaitForSingleObject(process_.get(), 50) == WAIT_OBJECT_0) {
      // It has ended: what it wrote is all there once the reader has seen the pipe close.
      if (reader_.joinable()) reader_.join();
      return Output().find(text) != std::string::npos;
    }
  }
  return false;
}

std::string HostProcess::Output() {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

int HostProcess::Finish() {
  input_.Close();
  if (process_) {
    if (::WaitForSingleObject(process_.get(), 60000) == WAIT_OBJECT_0) {
      DWORD code = 0;
      if (::GetExitCodeProcess(process_.get(), &code)) exit_code_ = static_cast<int>(code);
    }
    process_.Close();
  }
  if (reader_.joinable()) reader_.join();
  return exit_code_;
}

}  // namespace norvex::installer::testing
