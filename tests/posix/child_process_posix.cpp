#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/child_process.h"

namespace norvex::test {

struct ChildProcess::Running {
  pid_t pid;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  if (pid > 0) running_ = std::make_unique<Running>(Running{pid});
}

ChildProcess::~ChildProcess() { Wait(); }

int ChildProcess::Wait() {
  if (!running_) return exit_code_;
  int status = 0;
  pid_t waited = 0;
  while ((waited = ::waitpid(running_->pid, &status, 0)) < 0 && errno == EINTR) {
  }
  exit_code_ = waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  running_.reset();
  return exit_code_;
}

}  // namespace norvex::test
