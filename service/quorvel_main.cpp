// Quorvel's entry point: builds the platform, loads the archive library and runs the command
// line or the service.
#include <cstdio>
#include <cstdlib>

#include "service/platform_factory.h"
#include "service/service_frame.h"
#include "service/update_pass.h"

#ifndef NORVEX_UPDATE_URL
#define NORVEX_UPDATE_URL "http://update.norvex.example"
#endif
// The key that signs manifests, as the build made it from NORVEX_UPDATE_PUBLIC_KEY: the bytes
// of its uncompressed point, or nothing.
#include "update_public_key.inc"

#ifndef NORVEX_SCM_FOLDER
#define NORVEX_SCM_FOLDER "/var/lib/quorvel-services"
#endif

int main(int argc, char** argv) {
  using namespace norvex::service;
  std::unique_ptr<PlatformBundle> bundle = CreateServicePlatform(NORVEX_SCM_FOLDER);
  // The program is bound to its archive library; without it, it does not run at all.
  if (!bundle->load_error.empty()) {
    std::fprintf(stderr, "%s\n", bundle->load_error.c_str());
    return 1;
  }
  QuorvelConfig config;
  config.manifest_url = std::string(NORVEX_UPDATE_URL) + kManifestPath;
  config.log_path = bundle->log_path;
  config.move_journal = bundle->move_journal;
  static constexpr unsigned char kPublicKey[] = {NORVEX_UPDATE_PUBLIC_KEY_BYTES 0};
  config.public_key.assign(reinterpret_cast<const char*>(kPublicKey), sizeof kPublicKey - 1);
  const int code = RunQuorvel(argc, argv, bundle->platform, config);
  std::fflush(stdout);
  // A running update pass is cut short with the process, as a stopped service should be.
  std::_Exit(code);
}
