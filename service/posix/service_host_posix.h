// The service-manager stand-in for POSIX. Every service has a folder below a fixed state
// folder:
//   <state>/<name>/config       line 1 the command line as registered, line 2 the display
//                               name, line 3 the service type
//   <state>/<name>/description  the description
//   <state>/<name>/status       seven numbers: the last status record the service reported
//   <state>/<name>/pid          the process id of the running service
//   <state>/<name>/control      a control code waiting for the service
// "Start" runs the registered program detached, with QUORVEL_SERVICE_FOLDER naming its
// folder; the program's dispatcher finds its folder through it and polls for controls.
// Whoever can change these folders decides what root runs: the state folder and every service
// folder must be folders of root's (of the caller's, for a caller that is not root) that no
// group and no other user may write, reached without a link, below parents that no user can
// replace (StateFolder). A refused folder is reported through syslog and on standard error,
// and the manager (or the service) is then not there.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "service/service_platform.h"

namespace norvex::service::posix {

class StateFolder;

class PosixServiceHost : public ServiceHost {
 public:
  explicit PosixServiceHost(std::string state_folder);
  ~PosixServiceHost() override;

  std::unique_ptr<ServiceManagerSession> OpenManager() override;
  bool RunDispatcher(const std::string& name, std::function<void()> service_main,
                     long* error_code) override;
  bool RegisterControlHandler(const std::string& name,
                              std::function<void(uint32_t)> handler) override;
  bool SetStatus(const ServiceStatusRecord& status) override;
  bool ReportErrorEvent(const std::string& source, uint32_t event_id,
                        const std::vector<std::string>& strings) override;
  long LastError() override { return last_error_; }

 private:
  std::string state_folder_;
  std::unique_ptr<StateFolder> service_folder_;  // set by the dispatcher
  std::function<void(uint32_t)> handler_;
  long last_error_ = 0;
};

}  // namespace norvex::service::posix
