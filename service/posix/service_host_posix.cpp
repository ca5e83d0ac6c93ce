#include "service/posix/service_host_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace norvex::service::posix {

namespace {

constexpr char kFolderVariable[] = "QUORVEL_SERVICE_FOLDER";
// The codes the control manager gives for these conditions, so messages read the same.
constexpr long kErrorNotConnected = 1063;
constexpr long kErrorServiceExists = 1073;
constexpr long kErrorAlreadyRunning = 1056;
constexpr long kErrorNotActive = 1062;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteTextAtomically(const std::string& path, const std::string& text) {
  const std::string partial = path + ".new";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  return std::rename(partial.c_str(), path.c_str()) == 0;
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::string FormatStatus(const ServiceStatusRecord& s) {
  std::ostringstream out;
  out << s.service_type << ' ' << s.current_state << ' ' << s.controls_accepted << ' '
      << s.win32_exit_code << ' ' << s.service_exit_code << ' ' << s.check_point << ' '
      << s.wait_hint << '\n';
  return out.str();
}

class StandInService : public ManagedService {
 public:
  explicit StandInService(std::string folder) : folder_(std::move(folder)) {}

  bool SetDescription(const std::string& description) override {
    return WriteTextAtomically(folder_ + "/description", description);
  }

  bool QueryStatus(ServiceStatusRecord* status) override {
    *status = ServiceStatusRecord{};
    status->service_type = 0x110;
    status->current_state = kStopped;
    std::istringstream in(ReadText(folder_ + "/status"));
    ServiceStatusRecord read;
    if (in >> read.service_type >> read.current_state >> read.controls_accepted >>
        read.win32_exit_code >> read.service_exit_code >> read.check_point >> read.wait_hint) {
      *status = read;
    }
    // A service process that went away without reporting STOPPED has stopped all the same.
    if (status->current_state != kStopped && !ProcessAlive()) {
      status->current_state = kStopped;
      status->check_point = 0;
    }
    return true;
  }

  bool Start() override {
    ServiceStatusRecord status;
    QueryStatus(&status);
    if (status.current_state != kStopped) {
      errno = static_cast<int>(kErrorAlreadyRunning);
      return false;
    }
    std::istringstream config(ReadText(folder_ + "/config"));
    std::string command;
    std::getline(config, command);
    if (command.size() >= 2 && command.front() == '"' && command.back() == '"') {
      command = command.substr(1, command.size() - 2);
    }
    if (command.empty()) return false;
    std::remove((folder_ + "/control").c_str());
    ServiceStatusRecord pending;
    pending.service_type = 0x110;
    pending.current_state = kStartPending;
    pending.check_point = 1;
    WriteTextAtomically(folder_ + "/status", FormatStatus(pending));
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
      // Detach twice so that the service is nobody's child and outlives the command.
      ::setsid();
      if (::fork() != 0) ::_exit(0);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::setenv(kFolderVariable, folder_.c_str(), 1);
      ::execl(command.c_str(), command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int ignored;
    ::waitpid(child, &ignored, 0);
    // Like the control manager, come back once the process has connected (written its pid)
    // or a few seconds have passed.
    for (int i = 0; i < 100 && !Exists(folder_ + "/pid"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Exists(folder_ + "/pid");
  }

  bool Stop(ServiceStatusRecord* status) override {
    QueryStatus(status);
    if (status->current_state == kStopped) {
      errno = static_cast<int>(kErrorNotActive);
      return false;
    }
    if (!WriteTextAtomically(folder_ + "/control", "1\n")) return false;
    // The control manager answers once the handler has run; the handler reports at once.
    for (int i = 0; i < 100; ++i) {
      QueryStatus(status);
      if (status->current_state == kStopPending || status->current_state == kStopped) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  bool Delete() override {
    if (!Exists(folder_ + "/config")) return false;
    std::remove((folder_ + "/config").c_str());
    std::remove((folder_ + "/description").c_str());
    ServiceStatusRecord status;
    QueryStatus(&status);
    // A running service keeps its folder until it stops; its dispatcher removes it then.
    if (status.current_state == kStopped) RemoveFolder();
    return true;
  }

  void RemoveFolder() {
    for (const char* file : {"/status", "/pid", "/control", "/status.new", "/control.new"}) {
      std::remove((folder_ + file).c_str());
    }
    ::rmdir(folder_.c_str());
  }

 private:
  bool ProcessAlive() {
    const std::string pid_text = ReadText(folder_ + "/pid");
    const long pid = std::atol(pid_text.c_str());
    if (pid <= 0) return Exists(folder_ + "/status") && StartedRecently();
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
  }
  // Between Start and the dispatcher's first report there is no pid yet.
  bool StartedRecently() {
    struct stat info;
    if (::stat((folder_ + "/status").c_str(), &info) != 0) return false;
    return std::time(nullptr) - info.st_mtime < 10;
  }

  std::string folder_;
};

class StandInSession : public ServiceManagerSession {
 public:
  explicit StandInSession(std::string state) : state_(std::move(state)) {}

  std::unique_ptr<ManagedService> Create(const ServiceDefinition& definition) override {
    const std::string folder = state_ + "/" + definition.name;
    if (Exists(folder + "/config")) {
      errno = static_cast<int>(kErrorServiceExists);
      return nullptr;
    }
    ::mkdir(folder.c_str(), 0755);
    std::ostringstream config;
    config << definition.command_line << '\n' << definition.display_name << '\n'
           << definition.type << '\n';
    if (!WriteTextAtomically(folder + "/config", config.str())) return nullptr;
    return std::make_unique<StandInService>(folder);
  }

  std::unique_ptr<ManagedService> Open(const std::string& name, ServiceAccess) override {
    const std::string folder = state_ + "/" + name;
    if (!Exists(folder + "/config")) return nullptr;
    return std::make_unique<StandInService>(folder);
  }

 private:
  std::string state_;
};

std::atomic<int> pending_signal{0};
void OnTerminate(int) { pending_signal = 1; }

}  // namespace

std::unique_ptr<ServiceManagerSession> PosixServiceHost::OpenManager() {
  ::mkdir(state_folder_.c_str(), 0755);
  struct stat info;
  if (::stat(state_folder_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      ::access(state_folder_.c_str(), W_OK) != 0) {
    return nullptr;
  }
  return std::make_unique<StandInSession>(state_folder_);
}

bool PosixServiceHost::RunDispatcher(const std::string& name, std::function<void()> service_main,
                                     long* error_code) {
  const char* folder = std::getenv(kFolderVariable);
  if (folder == nullptr || !Exists(std::string(folder) + "/status")) {
    *error_code = last_error_ = kErrorNotConnected;
    return false;
  }
  service_folder_ = folder;
  ::unsetenv(kFolderVariable);
  WriteTextAtomically(service_folder_ + "/pid", std::to_string(::getpid()) + "\n");
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);

  std::atomic<bool> finished{false};
  std::thread main_thread([&] {
    service_main();
    finished = true;
  });
  // The dispatcher's loop: controls arrive as a file (or as SIGTERM) and run the handler
  // on this thread, as the control manager runs handlers on the dispatcher's thread.
  while (!finished) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    uint32_t control = 0;
    const std::string control_file = service_folder_ + "/control";
    if (Exists(control_file)) {
      control = static_cast<uint32_t>(std::atol(ReadText(control_file).c_str()));
      std::remove(control_file.c_str());
    } else if (pending_signal.exchange(0)) {
      control = 1;
    }
    if (control != 0 && handler_) handler_(control);
  }
  main_thread.join();
  std::remove((service_folder_ + "/pid").c_str());
  if (!Exists(service_folder_ + "/config")) StandInService(service_folder_).RemoveFolder();
  return true;
}

bool PosixServiceHost::RegisterControlHandler(const std::string&,
                                              std::function<void(uint32_t)> handler) {
  if (service_folder_.empty()) return false;
  handler_ = std::move(handler);
  return true;
}

bool PosixServiceHost::SetStatus(const ServiceStatusRecord& status) {
  if (service_folder_.empty()) return false;
  return WriteTextAtomically(service_folder_ + "/status", FormatStatus(status));
}

bool PosixServiceHost::ReportErrorEvent(const std::string& source, uint32_t event_id,
                                        const std::vector<std::string>& strings) {
  ::openlog(source.c_str(), LOG_PID, LOG_DAEMON);
  std::string text;
  for (const std::string& s : strings) text += (text.empty() ? "" : ": ") + s;
  ::syslog(LOG_ERR, "event 0x%08X %s", event_id, text.c_str());
  ::closelog();
  return true;
}

}  // namespace norvex::service::posix
