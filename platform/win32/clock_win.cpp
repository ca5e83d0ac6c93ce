#include <time.h>

#include "platform/local_time_tm.h"
#include "platform/platform.h"

namespace norvex::platform {

namespace {

class WinClock final : public Clock {
 public:
  int64_t Now() override { return static_cast<int64_t>(::_time64(nullptr)); }

  std::optional<LocalTime> ToLocal(int64_t seconds) override {
    const __time64_t t = static_cast<__time64_t>(seconds);
    struct tm local {};
    if (::_localtime64_s(&local, &t) != 0) return std::nullopt;
    return FromTm(local);
  }

  std::optional<int64_t> FromLocal(const LocalTime& time) override {
    struct tm local = ToTm(time);
    const __time64_t t = ::_mktime64(&local);
    if (t == static_cast<__time64_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(t);
  }
};

}  // namespace

Clock& NativeClock() {
  static WinClock clock;
  return clock;
}

}  // namespace norvex::platform
