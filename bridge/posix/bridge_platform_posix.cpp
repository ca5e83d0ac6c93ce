#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "bridge/bridge_platform.h"
#include "common/text.h"

namespace norvex::bridge {

const char* PlatformName() { return "linux"; }

void PrepareStdio() { ::signal(SIGPIPE, SIG_IGN); }

size_t ReadStdin(char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) return 0;
  }
}

bool WriteStdout(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool DetachedStarter::Start(const std::u16string& program, const std::u16string& arguments) {
  const std::string path = Utf16ToUtf8(program);
  const std::string argument = Utf16ToUtf8(arguments);
  if (::access(path.c_str(), X_OK) != 0) return false;
  // A pipe that closes on exec tells whether the grandchild's exec went through.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The child starts a new session and forks again, so the program is no child of ours and
    // holds no terminal; its standard streams are /dev/null, not the browser's pipes.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    const long limit = ::sysconf(_SC_OPEN_MAX);
    for (int fd = STDERR_FILENO + 1; fd < (limit > 0 ? limit : 1024); ++fd) {
      if (fd != report[1]) ::close(fd);
    }
    ::signal(SIGPIPE, SIG_DFL);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    if (!argument.empty()) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    const char failed = 1;
    (void)!::write(report[1], &failed, 1);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  char failed = 0;
  ssize_t n;
  while ((n = ::read(report[0], &failed, 1)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool MakeExecutable(const std::u16string& path) {
  const std::string file = Utf16ToUtf8(path);
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return false;
  return ::chmod(file.c_str(), info.st_mode | S_IXUSR | S_IXGRP | S_IXOTH) == 0;
}

std::u16string ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return Utf8ToUtf16(xdg);
  if (const char* home = std::getenv("HOME"); home && *home) return Utf8ToUtf16(home) + u"/.config";
  return {};
}

}  // namespace norvex::bridge
