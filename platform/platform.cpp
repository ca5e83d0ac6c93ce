#include "platform/platform.h"

namespace norvex::platform {

Seams& Current() {
  static Seams seams{&NativeProfileStore(), &NativeFileSystem(), &NativeSystemInfo(),
                     &NativeClock(),        &NativeRegistry(),   &NativeReportClient()};
  return seams;
}

ScopedSeams::ScopedSeams(Seams replacement) : saved_(Current()) {
  Seams& current = Current();
  if (replacement.profile) current.profile = replacement.profile;
  if (replacement.files) current.files = replacement.files;
  if (replacement.system) current.system = replacement.system;
  if (replacement.clock) current.clock = replacement.clock;
  if (replacement.registry) current.registry = replacement.registry;
  if (replacement.reports) current.reports = replacement.reports;
}

ScopedSeams::~ScopedSeams() { Current() = saved_; }

}  // namespace norvex::platform
