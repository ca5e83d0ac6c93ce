#include "tests/child_process.h"

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::test {

struct ChildProcess::Running {
  platform::win32::ScopedKernelHandle process;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::string command = "\"" + program + "\"";
  for (const std::string& a : arguments) command += " " + a;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
    return;
  }
  platform::win32::ScopedKernelHandle thread(started.hThread);
  running_ = std::make_unique<Running>();
  running_->process.Reset(started.hProcess);
}

ChildProcess::~ChildProcess() { Wait(); }

int ChildProcess::Wait() {
  if (!running_) return exit_code_;
  DWORD code = 0;
  if (::WaitForSingleObject(running_->process.get(), INFINITE) == WAIT_OBJECT_0 &&
      ::GetExitCodeProcess(running_->process.get(), &code)) {
    exit_code_ = static_cast<int>(code);
  }
  running_.reset();
  return exit_code_;
}

}  // namespace norvex::test
