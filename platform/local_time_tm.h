// LocalTime to and from the C runtime's struct tm, as both clocks convert them.
#pragma once

#include <ctime>

#include "platform/clock.h"

namespace norvex::platform {

inline LocalTime FromTm(const std::tm& tm) {
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// With the daylight flag -1: the conversion decides whether daylight saving time applies.
inline std::tm ToTm(const LocalTime& time) {
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_isdst = -1;
  return tm;
}

}  // namespace norvex::platform
