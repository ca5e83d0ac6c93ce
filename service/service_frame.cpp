#include "service/service_frame.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "service/ecdsa_encoding.h"
#include "service/file_replacement.h"
#include "service/update_pass.h"

namespace norvex::service {

Command ParseCommand(const char* first_argument) {
  if (first_argument == nullptr) return Command::kRunService;
  std::string arg(first_argument);
  for (char& c : arg) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (arg == "/install") return Command::kInstall;
  if (arg == "/uninstall") return Command::kUninstall;
  if (arg == "/start") return Command::kStart;
  if (arg == "/stop") return Command::kStop;
  if (arg == "/?" || arg == "/help") return Command::kHelp;
  if (arg == "/config") return Command::kConfig;
  return Command::kInvalid;
}

std::string UsageText() {
  return "Norvex Toolbar, LiveUpdates Service Version 1.0.0\n"
         "Copyright (C) Norvex. All rights reserved.\n"
         "\n"
         "Usage: QVL [command]\n"
         "Possible commands are:-\n"
         "  /Install    to Install LiveUpdate Service\n"
         "  /Uninstall  to Uninstall LiveUpdate Service\n"
         "  /Start      to Start Service\n"
         "  /Stop       to Stop Service\n"
         "  /? or /Help for this help\n"
         "For example:- C:\\QVL /Start -> Will start the service..\n";
}

std::string ConfigText(const QuorvelConfig& config, Crypto* crypto) {
  std::string text = "Update address: " + config.manifest_url + "\n" +
                     "Update log: " + config.log_path + "\n";
  if (config.public_key.empty()) {
    return text + "Public key: none (manifests are taken without a signature)\n";
  }
  const std::string fingerprint = crypto ? Sha256Of(*crypto, P256PublicKeyDer(config.public_key)) : "";
  return text + "Public key: built in, SHA-256 fingerprint " +
         (fingerprint.empty() ? std::string("unknown") : HexOf(fingerprint)) + "\n";
}

bool IsNetworkOrDevicePath(const std::string& path) {
  return path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
         (path[1] == '\\' || path[1] == '/');
}

bool HourlySchedule::Due(uint32_t hour_count) {
  // The millisecond counter wraps after about 49.7 days and the hour count falls back to 0:
  // run one pass and start the rhythm again from there, instead of a catch-up pass for every
  // hour of the gap.
  if (hour_count < mark_) {
    mark_ = hour_count;
    return true;
  }
  if (hour_count - mark_ > 1) {
    mark_ += 1;
    if (mark_ == 0) mark_ = 1;
    return true;
  }
  return false;
}

std::string CommandLine::LogUrl(const std::string& key) const {
  char url[260];
  const size_t length = platform_.profiles->ReadString(
      files_.ProgramFolder() + "\\LogUrls.ini", "Agent_Urls", key, "", url, sizeof url);
  return std::string(url, length);
}

int CommandLine::Install() {
  const std::string path = platform_.files->ProgramPath();
  bool failed = false;
  if (path.empty() || path.size() > 259) {
    Print("Cannot install Service! \n");
    failed = true;
  } else if (!PlaceIsSafe(path)) {
    // The service runs as LocalSystem and loads its archive library, reads its INI files and
    // replaces files from its own folder: a folder that others can change would hand them
    // the machine.
    Print("Service Installer error! \n");
    return kExitPlaceRefused;
  } else if (auto manager = platform_.host->OpenManager(); !manager) {
    Print("OpenSCManager failed! \n");
    failed = true;
  } else {
    // The path goes in quotes: unquoted, a path with blanks lets the system try a shorter
    // program name first ("C:\Program.exe"), which anyone able to write there controls.
    ServiceDefinition definition{kServiceName, kServiceName, kServiceType, "\"" + path + "\""};
    auto service = manager->Create(definition);
    if (!service) {
      Print("CreateService failed! \n");
      failed = true;
    } else {
      service->SetDescription(kServiceDescription);
    }
  }
  if (failed) {
    Print("Service Installer error! \n");
    return 0;
  }
  http_.SendPing(LogUrl("install"));
  Print("LiveUpdate Service sucessfully installed! \n");
  return 0;
}

bool CommandLine::PlaceIsSafe(const std::string& program_path) {
  if (IsNetworkOrDevicePath(program_path)) {
    Print("Cannot install Service from a network or device path: " + program_path + "\n");
    return false;
  }
  const std::string changeable =
      platform_.files->FindChangeableByUsers(
          ProgramFolderOf(program_path, platform_.files->NarrowCodePage()));
  if (!changeable.empty()) {
    Print("Cannot install Service: " + changeable +
          " can be changed by users who are not administrators. Install it in a folder that "
          "only administrators can change (under Program Files).\n");
    return false;
  }
  return true;
}

void CommandLine::Uninstall() {
  {
    auto manager = platform_.host->OpenManager();
    if (!manager) {
      Print("Unable to open Service Handler!\n");
      return;
    }
    auto service = manager->Open(kServiceName, ServiceAccess::kAll);
    if (!service) {
      Print("Service Uninstall failed!\n");
      return;
    }
    ServiceStatusRecord status;
    if (!service->QueryStatus(&status)) return;
    if (status.current_state != kStopped && !service->Stop(&status)) {
      Print("Unable to stop Service! \n");
      platform_.clock->SleepMs(500);
    }
  }
  auto manager = platform_.host->OpenManager();
  if (!manager) {
    Print("Unable to open Service Handler!\n");
    return;
  }
  auto service = manager->Open(kServiceName, ServiceAccess::kDelete);
  if (!service || !service->Delete()) {
    Print("Service Uninstall failed!\n");
    return;
  }
  service.reset();
  manager.reset();
  http_.SendPing(LogUrl("uninstall"));
  Print("LiveUpdate service Uninstalled! \n");
}

void CommandLine::Start() {
  {
    auto manager = platform_.host->OpenManager();
    if (!manager) {
      Print("Could not connect to SCM Database! \n");
      return;
    }
    auto service = manager->Open(kServiceName, ServiceAccess::kAll);
    if (!service) {
      Print("Could not Open Service! \n");
      return;
    }
    if (!service->Start()) return;
    ServiceStatusRecord status;
    if (!service->QueryStatus(&status)) return;
    uint32_t start_tick = platform_.clock->UptimeMs();
    uint32_t check_point = status.check_point;
    while (status.current_state == kStartPending) {
      uint32_t wait = status.wait_hint / 10;
      if (wait < 1000) wait = 1000;
      if (wait > 10000) wait = 10000;
      platform_.clock->SleepMs(wait);
      if (!service->QueryStatus(&status)) break;
      if (status.check_point > check_point) {
        check_point = status.check_point;
        start_tick = platform_.clock->UptimeMs();
      } else if (platform_.clock->UptimeMs() - start_tick > status.wait_hint) {
        break;
      }
    }
  }
  Print("Live update service started! \n");
}

void CommandLine::Stop() {
  auto manager = platform_.host->OpenManager();
  if (!manager) {
    Print("Could not connect to SCM Database! \n");
    return;
  }
  auto service = manager->Open(kServiceName, ServiceAccess::kExecute);
  if (!service) {
    manager.reset();
    Print("Could not Open Service! \n");
    return;
  }
  ServiceStatusRecord status;
  const bool sent = service->Stop(&status);
  service.reset();
  manager.reset();
  if (sent && (status.current_state == kStopped || status.current_state == kStopPending)) {
    Print("LiveUpdates Service Stopped! \n");
  } else {
    Print("Unable to stop Service! \n");
  }
}

void StopSignal::Set() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = true;
  changed_.notify_all();
}

void StopSignal::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return set_; });
}

void ServiceRunner::ReportServiceStatus(uint32_t state, uint32_t exit_code, uint32_t wait_hint) {
  status_.current_state = state;
  status_.win32_exit_code = exit_code;
  status_.wait_hint = wait_hint;
  status_.controls_accepted = state == kStartPending ? 0 : 1;
  status_.check_point = (state == kRunning || state == kStopped) ? 0 : check_point_++;
  platform_.host->SetStatus(status_);
}

void ServiceRunner::ControlHandler(uint32_t control) {
  if (control == 1 || control == 5) {
    ReportServiceStatus(kStopPending, 0, 0);
    stop_event_.Set();
    return;
  }
  ReportServiceStatus(status_.current_state, 0, 0);
}

void ServiceRunner::ReportErrorEvent(const std::string& function) {
  char text[80];
  std::snprintf(text, sizeof text, "%s failed with %ld", function.c_str(),
                platform_.host->LastError());
  platform_.host->ReportErrorEvent(kServiceName, kErrorEventId, {kServiceName, text});
}

void ServiceRunner::ServiceMain() {
  // Moves deferred by an earlier process take effect before anything reads the files.
  if (!config_.move_journal.empty()) ApplyMoveJournal(*platform_.files, config_.move_journal);
  if (!platform_.host->RegisterControlHandler(
          kServiceName, [this](uint32_t control) { ControlHandler(control); })) {
    ReportErrorEvent("RegisterServiceCtrlHandler");
    platform_.console->Print("Failed to register Service! \n");
    return;
  }
  status_.service_type = kServiceType;
  status_.service_exit_code = 0;
  ReportServiceStatus(kStartPending, 0, 0);
  ReportServiceStatus(kRunning, 0, 0);
  stop_requested_ = 0;
  try {
    worker_ = std::thread(&ServiceRunner::UpdateWorker, this);
  } catch (...) {
    platform_.console->Print("Unable to load application! \n");
    return;
  }
  stop_event_.Wait();
  stop_requested_ = 1;
  ReportServiceStatus(kStopped, 0, 0);
}

void ServiceRunner::UpdateWorker() {
  HourlySchedule schedule(HourCount(platform_.clock->UptimeMs()));
  run_pass_();
  while (stop_requested_ != 1) {
    if (schedule.Due(HourCount(platform_.clock->UptimeMs()))) run_pass_();
    platform_.clock->SleepMs(config_.poll_ms);
  }
}

int RunQuorvel(int argc, char** argv, const ServicePlatform& platform,
               const QuorvelConfig& config) {
  UpdateFiles files(platform, config.log_path);
  HttpDownload http(files, config.download);
  CommandLine commands(platform, files, http);
  switch (ParseCommand(argc > 1 ? argv[1] : nullptr)) {
    case Command::kInstall: return commands.Install();
    case Command::kUninstall: commands.Uninstall(); break;
    case Command::kStart: commands.Start(); break;
    case Command::kStop: commands.Stop(); break;
    case Command::kHelp: platform.console->Print(UsageText()); break;
    case Command::kConfig: platform.console->Print(ConfigText(config, platform.crypto)); break;
    case Command::kInvalid:
      platform.console->Print("Inavalid Command! \n");
      platform.console->Print(UsageText());
      break;
    case Command::kRunService: {
      FileReplacer replacer(files);
      UpdatePass pass(files, http, replacer, config.manifest_url, config.public_key);
      ServiceRunner runner(platform, config, [&pass] { pass.RunUpdatePass(); });
      long error = 0;
      if (!platform.host->RunDispatcher(kServiceName, [&runner] { runner.ServiceMain(); },
                                        &error)) {
        runner.ReportErrorEvent("StartServiceCtrlDispatcher");
        platform.console->Print("StartServiceCtrlDispatcher error! \n");
      }
      if (config.join_worker) {
        runner.JoinWorker();
        break;
      }
      // The service has stopped, but its worker may be in the middle of a pass that uses the
      // objects of this scope: end the process here, before they go.
      std::fflush(stdout);
      std::_Exit(0);
    }
  }
  return 0;
}

}  // namespace norvex::service
