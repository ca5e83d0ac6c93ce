#include <vector>

#include "helper/win32/helper_system_win.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::helper::win32 {

namespace {

using platform::win32::FromW;
using platform::win32::ScopedKernelHandle;
using platform::win32::ScopedServiceHandle;
using platform::win32::W;

ScopedServiceHandle OpenNamedService(const std::u16string& name, DWORD access) {
  ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return {};
  return ScopedServiceHandle(::OpenServiceW(manager.get(), W(name), access));
}

}  // namespace

std::optional<ServiceState> Win32ServiceControl::Query(const std::u16string& name) {
  const ScopedServiceHandle service =
      OpenNamedService(name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
  if (!service) return std::nullopt;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
    return std::nullopt;
  }
  ServiceState state;
  state.stopped = status.dwCurrentState == SERVICE_STOPPED;
  state.process_id = status.dwProcessId;
  ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> config(needed);
  if (needed > 0 && ::QueryServiceConfigW(service.get(),
                                          reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                          needed, &needed)) {
    state.command =
        FromW(reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->lpBinaryPathName);
  }
  return state;
}

bool Win32ServiceControl::Stop(const std::u16string& name) {
  const ScopedServiceHandle service = OpenNamedService(name, SERVICE_STOP);
  if (!service) return false;
  SERVICE_STATUS status{};
  return ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) ||
         ::GetLastError() == ERROR_SERVICE_NOT_ACTIVE;
}

bool Win32ServiceControl::Remove(const std::u16string& name) {
  const ScopedServiceHandle service = OpenNamedService(name, DELETE);
  return service && ::DeleteService(service.get());
}

bool Win32ServiceControl::WaitForProcessEnd(uint32_t process_id, uint32_t timeout_ms) {
  if (process_id == 0) return true;
  const ScopedKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  if (!process) return true;  // already gone
  return ::WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace norvex::helper::win32
