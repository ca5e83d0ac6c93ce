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
#pragma once

#include <atomic>
#include <string>

#include "service/service_platform.h"

namespace norvex::service::posix {

class PosixServiceHost : public ServiceHost {
 public:
  explicit PosixServiceHost(std::string state_folder) : state_folder_(std::move(state_folder)) {}

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
  std::string service_folder_;  // set by the dispatcher
  std::function<void(uint32_t)> handler_;
  long last_error_ = 0;
};

}  // namespace norvex::service::posix
