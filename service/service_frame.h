// The program's entry: the command line (install, uninstall, start, stop, usage) and, when
// the control manager starts it, the service with its status reports, stop handling and the
// hourly worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "service/http_download.h"
#include "service/service_identity.h"
#include "service/service_platform.h"
#include "service/update_files.h"

namespace norvex::service {

inline constexpr char kServiceDescription[] = "Liveupdate Service, Norvex Toolbar";
inline constexpr uint32_t kServiceType = 0x110;

enum class Command { kRunService, kInstall, kUninstall, kStart, kStop, kHelp, kConfig, kInvalid };

// Exit code of "/install" when the program's place is refused (every other outcome of a
// command exits with 0).
inline constexpr int kExitPlaceRefused = 2;

// True for a network (UNC, "\\host\share") or device path ("\\?\", "\\.\"): the service
// must be installed from a folder of the machine itself.
bool IsNetworkOrDevicePath(const std::string& path);

// The first argument, compared without regard to case; null means no argument.
Command ParseCommand(const char* first_argument);
std::string UsageText();

// Hour count of the schedule: uptime milliseconds / 1000 / 3600.
inline uint32_t HourCount(uint32_t uptime_ms) { return uptime_ms / 1000 / 3600; }

// When the worker runs its passes: at start, then at every hour boundary of uptime once the
// second boundary after the start is reached.
class HourlySchedule {
 public:
  explicit HourlySchedule(uint32_t start_hour) : mark_(start_hour) {}
  // True when a pass is due at this poll (and records it).
  bool Due(uint32_t hour_count);
  uint32_t mark() const { return mark_; }

 private:
  uint32_t mark_;
};

struct QuorvelConfig {
  std::string manifest_url;
  std::string log_path;
  // Journal of deferred moves applied first thing when the service starts; empty when the
  // platform keeps the moves itself.
  std::string move_journal;
  DownloadOptions download;
  // The uncompressed P-256 point (65 bytes) of the key that signs manifests; empty: none.
  std::string public_key;
  uint32_t poll_ms = 5000;
  // Tests wait for the worker before the runner goes; the program ends the process instead,
  // which cuts a running pass short.
  bool join_worker = false;
};

// What "/config" prints: the update address, the log's path and the manifests' key (none, or
// the SHA-256 of its SubjectPublicKeyInfo, as "openssl pkey -pubin -outform DER | sha256sum"
// gives it).
std::string ConfigText(const QuorvelConfig& config, Crypto* crypto);

class CommandLine {
 public:
  CommandLine(const ServicePlatform& platform, const UpdateFiles& files, const HttpDownload& http)
      : platform_(platform), files_(files), http_(http) {}
  // Returns the program's exit code.
  int Install();
  void Uninstall();
  void Start();
  void Stop();

 private:
  void Print(const std::string& text) { platform_.console->Print(text); }
  // False, with the reason printed, when the program's place lets others change what the
  // service loads and runs: a network or device path, or a folder (or anything in it) that
  // users other than administrators can change.
  bool PlaceIsSafe(const std::string& program_path);
  std::string LogUrl(const std::string& key) const;

  const ServicePlatform& platform_;
  const UpdateFiles& files_;
  const HttpDownload& http_;
};

// A manual-reset event over the standard library.
class StopSignal {
 public:
  void Set();
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// The running service: status record, control handler, service main and worker.
class ServiceRunner {
 public:
  // run_pass runs one update pass; it is called on the worker thread.
  ServiceRunner(const ServicePlatform& platform, const QuorvelConfig& config,
                std::function<void()> run_pass)
      : platform_(platform), config_(config), run_pass_(std::move(run_pass)) {}

  void ServiceMain();
  void ControlHandler(uint32_t control);
  void ReportServiceStatus(uint32_t state, uint32_t exit_code, uint32_t wait_hint);
  // The worker's loop; returns once a stop was requested.
  void UpdateWorker();
  void ReportErrorEvent(const std::string& function);
  // Waits for the worker thread to end (tests only; see QuorvelConfig::join_worker).
  void JoinWorker() {
    if (worker_.joinable()) worker_.join();
  }
  ~ServiceRunner() {
    if (worker_.joinable()) worker_.detach();
  }

 private:
  const ServicePlatform& platform_;
  const QuorvelConfig& config_;
  std::function<void()> run_pass_;
  ServiceStatusRecord status_;
  std::atomic<uint32_t> check_point_{1};
  StopSignal stop_event_;
  std::atomic<int> stop_requested_{0};
  std::thread worker_;
};

// The whole program: returns its exit code.
int RunQuorvel(int argc, char** argv, const ServicePlatform& platform, const QuorvelConfig& config);

}  // namespace norvex::service
