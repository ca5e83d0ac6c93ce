// Seam: the current time and conversion to and from the local time of the system's time zone,
// as the C runtime's 64-bit time functions give them.
#pragma once

#include <cstdint>
#include <optional>

namespace norvex::platform {

// A local calendar time: month 1 to 12, day 1 to 31, hour 0 to 23.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const LocalTime&) const = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970-01-01 00:00 UTC (_time64).
  virtual int64_t Now() = 0;
  // The local time of a moment (_localtime64); nothing when it cannot be converted.
  virtual std::optional<LocalTime> ToLocal(int64_t seconds) = 0;
  // The moment of a local time, daylight saving time decided by the conversion itself
  // (_mktime64 with the daylight flag -1). Fields out of their ranges are carried over into the
  // next larger field, as the runtime does; nothing when the time cannot be represented.
  virtual std::optional<int64_t> FromLocal(const LocalTime& time) = 0;
};

}  // namespace norvex::platform
