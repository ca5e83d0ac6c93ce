// A program started as a child process of the test, running beside it until the test waits for
// it (tests that need several real processes at once). The child writes to the test's own
// standard output and error.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace norvex::test {

class ChildProcess {
 public:
  // program: a path the system can start (on Windows a Windows path); arguments are passed
  // each as one argument (no blanks or quotes in them).
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  // Waits for the child when it was not waited for.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return running_ != nullptr; }
  // Waits for the end of the child; its exit code, or -1 when it did not start or was killed.
  int Wait();

 private:
  struct Running;
  std::unique_ptr<Running> running_;
  int exit_code_ = -1;
};

}  // namespace norvex::test
