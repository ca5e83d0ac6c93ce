// A program run in the background with its standard input and output on pipes (tests only): the
// test writes command lines to it and waits for lines of its output while it keeps running.
#pragma once

#include <mutex>
#include <string>
#include <thread>

#include "platform/win32/scoped_handle.h"

namespace norvex::installer::testing {

class HostProcess {
 public:
  // Starts `command` (a whole command line). started() says whether it did.
  explicit HostProcess(const std::wstring& command);
  ~HostProcess();  // Finish()
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool started() const { return process_.valid(); }
  void Send(const std::string& line);
  // Waits until the output holds `text`, at most `timeout_ms`; false when it does not.
  bool WaitForOutput(const std::string& text, unsigned timeout_ms);
  std::string Output();
  // Closes its input and waits for it to end (at most a minute). Its exit code, or -1.
  int Finish();

 private:
  platform::win32::ScopedKernelHandle process_, input_, output_;
  std::thread reader_;
  std::mutex mutex_;
  std::string text_;
  int exit_code_ = -1;
};

}  // namespace norvex::installer::testing
