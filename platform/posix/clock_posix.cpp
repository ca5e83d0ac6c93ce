#include <time.h>

#include "platform/local_time_tm.h"
#include "platform/platform.h"

namespace norvex::platform {

namespace {

class PosixClock final : public Clock {
 public:
  int64_t Now() override { return static_cast<int64_t>(::time(nullptr)); }

  std::optional<LocalTime> ToLocal(int64_t seconds) override {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    if (!::localtime_r(&t, &local)) return std::nullopt;
    return FromTm(local);
  }

  std::optional<int64_t> FromLocal(const LocalTime& time) override {
    struct tm local = ToTm(time);
    const time_t t = ::mktime(&local);
    // -1 is also one second before 1970 in UTC; the Windows runtime cannot give that either.
    if (t == static_cast<time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(t);
  }
};

}  // namespace

Clock& NativeClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace norvex::platform
