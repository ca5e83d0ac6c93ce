// The platform seams in use by this process. They start as the native implementations; tests
// and hosts may put others in their place for a scope.
#pragma once

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "platform/registry.h"
#include "platform/report_client.h"
#include "platform/system_info.h"

namespace norvex::platform {

struct Seams {
  ProfileStore* profile;
  FileSystem* files;
  SystemInfo* system;
  Clock* clock;
  Registry* registry;
  ReportClient* reports;
};

// The seams in use. Never null members.
Seams& Current();

// The native implementations of this build.
ProfileStore& NativeProfileStore();
FileSystem& NativeFileSystem();
SystemInfo& NativeSystemInfo();
Clock& NativeClock();
Registry& NativeRegistry();
ReportClient& NativeReportClient();

// Puts other seams in place for its lifetime; null members keep the current ones.
class ScopedSeams {
 public:
  explicit ScopedSeams(Seams replacement);
  ~ScopedSeams();
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;

 private:
  Seams saved_;
};

}  // namespace norvex::platform
