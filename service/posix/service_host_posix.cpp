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
#include <ctime>
#include <sstream>
#include <thread>

#include "service/posix/folder_trust_posix.h"

namespace norvex::service::posix {

namespace {

constexpr char kFolderVariable[] = "QUORVEL_SERVICE_FOLDER";
// The codes the control manager gives for these conditions, so messages read the same.
constexpr long kErrorNotConnected = 1063;
constexpr long kErrorServiceExists = 1073;
constexpr long kErrorAlreadyRunning = 1056;
constexpr long kErrorNotActive = 1062;

// A refused folder: said where an administrator looks (syslog) and to whoever runs the command.
void ReportRefusedFolder(const std::string& path, const std::string& why) {
  const std::string text = "refused the service manager's folder " + path + ": " + why;
  ::openlog("quorvel", LOG_PID, LOG_DAEMON);
  ::syslog(LOG_ERR, "%s", text.c_str());
  ::closelog();
  std::fprintf(stderr, "%s\n", text.c_str());
}

// The folder name below state (null: name is a path); null when it is missing or refused (which
// is reported).
std::unique_ptr<StateFolder> OpenReporting(const StateFolder* state, const std::string& name,
                                           bool create) {
  std::string why;
  std::unique_ptr<StateFolder> folder = StateFolder::Open(state, name, create, &why);
  if (!folder && !why.empty()) {
    ReportRefusedFolder(state ? state->path() + "/" + name : name, why);
  }
  return folder;
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
  explicit StandInService(std::unique_ptr<StateFolder> folder) : folder_(std::move(folder)) {}

  bool SetDescription(const std::string& description) override {
    return folder_->Write("description", description);
  }

  bool QueryStatus(ServiceStatusRecord* status) override {
    *status = ServiceStatusRecord{};
    status->service_type = 0x110;
    status->current_state = kStopped;
    std::istringstream in(folder_->Read("status"));
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
    std::istringstream config(folder_->Read("config"));
    std::string command;
    std::getline(config, command);
    if (command.size() >= 2 && command.front() == '"' && command.back() == '"') {
      command = command.substr(1, command.size() - 2);
    }
    if (command.empty()) return false;
    folder_->Remove("control");
    ServiceStatusRecord pending;
    pending.service_type = 0x110;
    pending.current_state = kStartPending;
    pending.check_point = 1;
    folder_->Write("status", FormatStatus(pending));
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
      ::setenv(kFolderVariable, folder_->path().c_str(), 1);
      ::execl(command.c_str(), command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int ignored;
    ::waitpid(child, &ignored, 0);
    // Like the control manager, come back once the process has connected (written its pid)
    // or a few seconds have passed.
    for (int i = 0; i < 100 && !folder_->Exists("pid"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return folder_->Exists("pid");
  }

  bool Stop(ServiceStatusRecord* status) override {
    QueryStatus(status);
    if (status->current_state == kStopped) {
      errno = static_cast<int>(kErrorNotActive);
      return false;
    }
    if (!folder_->Write("control", "1\n")) return false;
    // The control manager answers once the handler has run; the handler reports at once.
    for (int i = 0; i < 100; ++i) {
      QueryStatus(status);
      if (status->current_state == kStopPending || status->current_state == kStopped) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  bool Delete() override {
    if (!folder_->Exists("config")) return false;
    folder_->Remove("config");
    folder_->Remove("description");
    ServiceStatusRecord status;
    QueryStatus(&status);
    // A running service keeps its folder until it stops; its dispatcher removes it then.
    if (status.current_state == kStopped) folder_->RemoveWithFiles();
    return true;
  }

 private:
  bool ProcessAlive() {
    const long pid = std::atol(folder_->Read("pid").c_str());
    if (pid <= 0) return folder_->Exists("status") && StartedRecently();
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
  }
  // Between Start and the dispatcher's first report there is no pid yet.
  bool StartedRecently() {
    const long long modified = folder_->ModifiedAt("status");
    return modified != 0 && std::time(nullptr) - modified < 10;
  }

  std::unique_ptr<StateFolder> folder_;
};

class StandInSession : public ServiceManagerSession {
 public:
  explicit StandInSession(std::unique_ptr<StateFolder> state) : state_(std::move(state)) {}

  std::unique_ptr<ManagedService> Create(const ServiceDefinition& definition) override {
    std::unique_ptr<StateFolder> folder = OpenReporting(state_.get(), definition.name, true);
    if (!folder) return nullptr;
    if (folder->Exists("config")) {
      errno = static_cast<int>(kErrorServiceExists);
      return nullptr;
    }
    std::ostringstream config;
    config << definition.command_line << '\n' << definition.display_name << '\n'
           << definition.type << '\n';
    if (!folder->Write("config", config.str())) return nullptr;
    return std::make_unique<StandInService>(std::move(folder));
  }

  std::unique_ptr<ManagedService> Open(const std::string& name, ServiceAccess) override {
    std::unique_ptr<StateFolder> folder = OpenReporting(state_.get(), name, false);
    if (!folder || !folder->Exists("config")) return nullptr;
    return std::make_unique<StandInService>(std::move(folder));
  }

 private:
  std::unique_ptr<StateFolder> state_;
};

std::atomic<int> pending_signal{0};
void OnTerminate(int) { pending_signal = 1; }

}  // namespace

PosixServiceHost::PosixServiceHost(std::string state_folder)
    : state_folder_(std::move(state_folder)) {}

PosixServiceHost::~PosixServiceHost() = default;

std::unique_ptr<ServiceManagerSession> PosixServiceHost::OpenManager() {
  std::unique_ptr<StateFolder> state = OpenReporting(nullptr, state_folder_, true);
  if (!state || ::access(state_folder_.c_str(), W_OK) != 0) return nullptr;
  return std::make_unique<StandInSession>(std::move(state));
}

bool PosixServiceHost::RunDispatcher(const std::string& name, std::function<void()> service_main,
                                     long* error_code) {
  const char* folder = std::getenv(kFolderVariable);
  if (folder != nullptr) service_folder_ = OpenReporting(nullptr, folder, false);
  if (!service_folder_ || !service_folder_->Exists("status")) {
    service_folder_.reset();
    *error_code = last_error_ = kErrorNotConnected;
    return false;
  }
  ::unsetenv(kFolderVariable);
  service_folder_->Write("pid", std::to_string(::getpid()) + "\n");
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
    if (service_folder_->Exists("control")) {
      control = static_cast<uint32_t>(std::atol(service_folder_->Read("control").c_str()));
      service_folder_->Remove("control");
    } else if (pending_signal.exchange(0)) {
      control = 1;
    }
    if (control != 0 && handler_) handler_(control);
  }
  main_thread.join();
  service_folder_->Remove("pid");
  if (!service_folder_->Exists("config")) service_folder_->RemoveWithFiles();
  return true;
}

bool PosixServiceHost::RegisterControlHandler(const std::string&,
                                              std::function<void(uint32_t)> handler) {
  if (!service_folder_) return false;
  handler_ = std::move(handler);
  return true;
}

bool PosixServiceHost::SetStatus(const ServiceStatusRecord& status) {
  if (!service_folder_) return false;
  return service_folder_->Write("status", FormatStatus(status));
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
