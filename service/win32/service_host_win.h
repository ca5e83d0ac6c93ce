#pragma once

#include "service/service_platform.h"

namespace norvex::service::win32 {

// The control manager, the dispatcher and the event log.
class Win32ServiceHost : public ServiceHost {
 public:
  std::unique_ptr<ServiceManagerSession> OpenManager() override;
  bool RunDispatcher(const std::string& name, std::function<void()> service_main,
                     long* error_code) override;
  bool RegisterControlHandler(const std::string& name,
                              std::function<void(uint32_t)> handler) override;
  bool SetStatus(const ServiceStatusRecord& status) override;
  bool ReportErrorEvent(const std::string& source, uint32_t event_id,
                        const std::vector<std::string>& strings) override;
  long LastError() override;
};

}  // namespace norvex::service::win32
