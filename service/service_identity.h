// How the service names itself to the system: in the control manager and in the system's log
// (the event log's source, syslog's tag), and the identifier of the error events it writes.
#pragma once

#include <cstdint>

namespace norvex::service {

inline constexpr char kServiceName[] = "LiveUpdateService";
inline constexpr uint32_t kErrorEventId = 0xC0020001;

}  // namespace norvex::service
