// Builds the service's platform for the running system (one implementation per platform).
#pragma once

#include <memory>
#include <string>

#include "service/service_platform.h"

namespace norvex::service {

class PlatformBundle {
 public:
  virtual ~PlatformBundle() = default;
  ServicePlatform platform;
  std::string log_path;       // the update log's fixed path on this platform
  std::string move_journal;   // journal of deferred moves; empty where the system keeps them
  std::string load_error;     // why the archive library is missing; empty when loaded
};

// scm_folder: the state folder of the POSIX service-manager stand-in (ignored on Windows).
std::unique_ptr<PlatformBundle> CreateServicePlatform(const std::string& scm_folder);

}  // namespace norvex::service

namespace norvex::service {

// The system's own implementations, one at a time, for tests that combine real and fake seams.
std::unique_ptr<ServiceFileSystem> CreateNativeFileSystem();
std::unique_ptr<ProfileFiles> CreateNativeProfiles();
std::unique_ptr<HttpClient> CreateNativeHttpClient();
std::unique_ptr<Crypto> CreateNativeCrypto();

}  // namespace norvex::service
