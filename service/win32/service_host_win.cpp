#include "service/win32/service_host_win.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/scoped_handle.h"

namespace norvex::service::win32 {

namespace {

using ScHandle = platform::win32::ScopedServiceHandle;

ServiceStatusRecord FromStatus(const SERVICE_STATUS& s) {
  return ServiceStatusRecord{s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted,
                             s.dwWin32ExitCode, s.dwServiceSpecificExitCode, s.dwCheckPoint,
                             s.dwWaitHint};
}

class Win32Service : public ManagedService {
 public:
  explicit Win32Service(SC_HANDLE h) : h_(h) {}
  bool SetDescription(const std::string& description) override {
    SERVICE_DESCRIPTIONA text{const_cast<char*>(description.c_str())};
    return ::ChangeServiceConfig2A(h_.get(), SERVICE_CONFIG_DESCRIPTION, &text) != 0;
  }
  bool QueryStatus(ServiceStatusRecord* status) override {
    SERVICE_STATUS_PROCESS s{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(h_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s),
                                sizeof s, &needed)) {
      return false;
    }
    *status = ServiceStatusRecord{s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted,
                                  s.dwWin32ExitCode, s.dwServiceSpecificExitCode, s.dwCheckPoint,
                                  s.dwWaitHint};
    return true;
  }
  bool Start() override { return ::StartServiceA(h_.get(), 0, nullptr) != 0; }
  bool Stop(ServiceStatusRecord* status) override {
    SERVICE_STATUS s{};
    const bool sent = ::ControlService(h_.get(), SERVICE_CONTROL_STOP, &s) != 0;
    *status = FromStatus(s);
    return sent;
  }
  bool Delete() override { return ::DeleteService(h_.get()) != 0; }

 private:
  ScHandle h_;
};

class Win32Session : public ServiceManagerSession {
 public:
  explicit Win32Session(SC_HANDLE h) : h_(h) {}
  std::unique_ptr<ManagedService> Create(const ServiceDefinition& d) override {
    const SC_HANDLE service = ::CreateServiceA(
        h_.get(), d.name.c_str(), d.display_name.c_str(), SERVICE_ALL_ACCESS, d.type,
        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, d.command_line.c_str(), nullptr, nullptr,
        nullptr, nullptr, nullptr);
    if (!service) return nullptr;
    return std::make_unique<Win32Service>(service);
  }
  std::unique_ptr<ManagedService> Open(const std::string& name, ServiceAccess access) override {
    const SC_HANDLE service = ::OpenServiceA(h_.get(), name.c_str(), static_cast<DWORD>(access));
    if (!service) return nullptr;
    return std::make_unique<Win32Service>(service);
  }

 private:
  ScHandle h_;
};

// The dispatcher calls plain functions; these carry the core's callbacks to them.
std::function<void()> service_main_callback;
std::function<void(uint32_t)> control_callback;
SERVICE_STATUS_HANDLE status_handle = nullptr;
char service_name[256];

void WINAPI ServiceMainThunk(DWORD, LPSTR*) { service_main_callback(); }
void WINAPI ControlThunk(DWORD control) {
  if (control_callback) control_callback(control);
}

}  // namespace

std::unique_ptr<ServiceManagerSession> Win32ServiceHost::OpenManager() {
  const SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return nullptr;
  return std::make_unique<Win32Session>(manager);
}

bool Win32ServiceHost::RunDispatcher(const std::string& name, std::function<void()> service_main,
                                     long* error_code) {
  service_main_callback = std::move(service_main);
  lstrcpynA(service_name, name.c_str(), sizeof service_name);
  SERVICE_TABLE_ENTRYA table[] = {{service_name, ServiceMainThunk}, {nullptr, nullptr}};
  if (::StartServiceCtrlDispatcherA(table)) return true;
  *error_code = static_cast<long>(::GetLastError());
  return false;
}

bool Win32ServiceHost::RegisterControlHandler(const std::string& name,
                                              std::function<void(uint32_t)> handler) {
  control_callback = std::move(handler);
  status_handle = ::RegisterServiceCtrlHandlerA(name.c_str(), ControlThunk);
  return status_handle != nullptr;
}

bool Win32ServiceHost::SetStatus(const ServiceStatusRecord& s) {
  SERVICE_STATUS status{s.service_type,    s.current_state,     s.controls_accepted,
                        s.win32_exit_code, s.service_exit_code, s.check_point,
                        s.wait_hint};
  return status_handle && ::SetServiceStatus(status_handle, &status);
}

bool Win32ServiceHost::ReportErrorEvent(const std::string& source, uint32_t event_id,
                                        const std::vector<std::string>& strings) {
  const platform::win32::ScopedEventSource log(::RegisterEventSourceA(nullptr, source.c_str()));
  if (!log) return false;
  std::vector<const char*> texts;
  for (const std::string& s : strings) texts.push_back(s.c_str());
  return ::ReportEventA(log.get(), EVENTLOG_ERROR_TYPE, 0, event_id, nullptr,
                        static_cast<WORD>(texts.size()), 0, texts.data(), nullptr) != 0;
}

long Win32ServiceHost::LastError() { return static_cast<long>(::GetLastError()); }

}  // namespace norvex::service::win32
