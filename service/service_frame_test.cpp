#include "service/service_frame.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <thread>

#include "service/ecdsa_encoding.h"
#include "service/tests/file_access.h"
#include "service/tests/service_fakes.h"

namespace norvex::service {
namespace {

using testing::ServiceFixture;

TEST(ParseCommand, FirstArgumentWithoutRegardToCase) {
  const struct {
    const char* arg;
    Command command;
  } cases[] = {
      {nullptr, Command::kRunService}, {"/install", Command::kInstall},
      {"/INSTALL", Command::kInstall}, {"/Install", Command::kInstall},
      {"/uninstall", Command::kUninstall}, {"/Start", Command::kStart},
      {"/sToP", Command::kStop},       {"/?", Command::kHelp},
      {"/HELP", Command::kHelp},       {"install", Command::kInvalid},
      {"", Command::kInvalid},         {"/installx", Command::kInvalid},
      {"/config", Command::kConfig},   {"/CONFIG", Command::kConfig},
      {"config", Command::kInvalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseCommand(c.arg), c.command) << (c.arg ? c.arg : "(none)");
  }
}

TEST(UsageText, CommandsLineUpInColumn15) {
  const std::string usage = UsageText();
  EXPECT_EQ(usage.rfind("Norvex Toolbar, LiveUpdates Service Version 1.0.0\n", 0), 0u);
  for (const char* line : {"  /Install    to ", "  /Uninstall  to ", "  /Start      to ",
                           "  /Stop       to "}) {
    const size_t at = usage.find(line);
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_EQ(usage.find(" to ", at) + 1 - at, 14u) << line;
  }
  EXPECT_NE(usage.find("\n\nUsage: QVL [command]\n"), std::string::npos);
  EXPECT_NE(usage.find("For example:- C:\\QVL /Start -> Will start the service..\n"),
            std::string::npos);
}

TEST(HourlySchedule, FirstAtStartThenEveryHourBoundaryFromTheSecond) {
  // Started at 0 h 30 min: passes at 2 h, 3 h, 4 h of uptime.
  HourlySchedule schedule(HourCount(30 * 60 * 1000));
  const struct {
    uint32_t minutes;
    bool due;
  } polls[] = {{31, false}, {60, false}, {119, false}, {120, true}, {121, false},
               {179, false}, {180, true}, {240, true}, {241, false}};
  for (const auto& p : polls) {
    EXPECT_EQ(schedule.Due(HourCount(p.minutes * 60 * 1000)), p.due) << p.minutes;
  }
}

TEST(HourlySchedule, CatchesUpOnePassPerPollAndSurvivesTheWrap) {
  HourlySchedule schedule(0);
  int passes = 0;
  while (schedule.Due(5)) ++passes;
  EXPECT_EQ(passes, 4);  // mark 0 -> 4: one behind the hour count
  // The 32-bit millisecond counter wraps: the hour count falls back to 0.
  // One pass at the wrap, then the usual rhythm from there.
  HourlySchedule wrapped(1193);
  EXPECT_TRUE(wrapped.Due(0));
  EXPECT_FALSE(wrapped.Due(0));
  EXPECT_FALSE(wrapped.Due(1));
  EXPECT_TRUE(wrapped.Due(2));
  EXPECT_TRUE(wrapped.Due(3));
  EXPECT_FALSE(wrapped.Due(3));
}

// A control manager in memory, with switches for each failure.
class FakeHost : public ServiceHost {
 public:
  struct Record {
    ServiceDefinition definition;
    std::string description;
    uint32_t state = kStopped;
    bool deleted = false;
  };
  bool manager_fails = false, start_fails = false, stop_refused = false, dispatcher_fails = false,
       handler_fails = false;
  std::map<std::string, Record> services;
  std::vector<ServiceStatusRecord> reports;
  std::vector<std::vector<std::string>> events;
  std::function<void(uint32_t)> handler;

  class Service : public ManagedService {
   public:
    Service(FakeHost& host, std::string name) : host_(host), name_(std::move(name)) {}
    bool SetDescription(const std::string& d) override {
      host_.services[name_].description = d;
      return true;
    }
    bool QueryStatus(ServiceStatusRecord* s) override {
      *s = {};
      s->current_state = host_.services[name_].state;
      return true;
    }
    bool Start() override {
      if (host_.start_fails || host_.services[name_].state != kStopped) return false;
      host_.services[name_].state = kStartPending;
      return true;
    }
    bool Stop(ServiceStatusRecord* s) override {
      *s = {};
      Record& r = host_.services[name_];
      if (host_.stop_refused || r.state == kStopped) return false;
      r.state = kStopped;
      s->current_state = kStopPending;
      return true;
    }
    bool Delete() override {
      host_.services.erase(name_);
      return true;
    }

   private:
    FakeHost& host_;
    std::string name_;
  };
  class Session : public ServiceManagerSession {
   public:
    explicit Session(FakeHost& host) : host_(host) {}
    std::unique_ptr<ManagedService> Create(const ServiceDefinition& d) override {
      if (host_.services.count(d.name)) return nullptr;
      host_.services[d.name].definition = d;
      return std::make_unique<Service>(host_, d.name);
    }
    std::unique_ptr<ManagedService> Open(const std::string& name, ServiceAccess) override {
      if (!host_.services.count(name)) return nullptr;
      return std::make_unique<Service>(host_, name);
    }

   private:
    FakeHost& host_;
  };

  std::unique_ptr<ServiceManagerSession> OpenManager() override {
    if (manager_fails) return nullptr;
    return std::make_unique<Session>(*this);
  }
  bool RunDispatcher(const std::string&, std::function<void()> main, long* error) override {
    if (dispatcher_fails) {
      *error = 1063;
      return false;
    }
    std::thread service_main(main);
    // Wait until the service runs, then stop it from this thread as the manager would.
    while (reports.empty() || reports.back().current_state != kRunning) std::this_thread::yield();
    handler(1);
    service_main.join();
    return true;
  }
  bool RegisterControlHandler(const std::string&, std::function<void(uint32_t)> h) override {
    if (handler_fails) return false;
    handler = std::move(h);
    return true;
  }
  bool SetStatus(const ServiceStatusRecord& s) override {
    reports.push_back(s);
    return true;
  }
  bool ReportErrorEvent(const std::string& source, uint32_t id,
                        const std::vector<std::string>& strings) override {
    std::vector<std::string> event = {source, std::to_string(id)};
    event.insert(event.end(), strings.begin(), strings.end());
    events.push_back(event);
    return true;
  }
  long LastError() override { return 1063; }
};

class CommandLineTest : public ::testing::Test {
 protected:
  CommandLineTest() {
    f_.platform.host = &host_;
    f_.Write("LogUrls.ini",
             "[Agent_Urls]\ninstall=http://log.example/i?x=1\nuninstall=http://log.example/u\n");
  }
  std::string Run(const char* arg, int exit_code = 0) {
    f_.console.text.clear();
    QuorvelConfig config;
    config.log_path = f_.LogPath();
    config.poll_ms = 1;
    config.join_worker = true;
    char program[] = "quorvel";
    std::string argument = arg ? arg : "";
    char* argv[] = {program, argument.data(), nullptr};
    EXPECT_EQ(RunQuorvel(arg ? 2 : 1, argv, f_.platform, config), exit_code) << arg;
    return f_.console.text;
  }
  std::vector<std::string> Pinged() {
    std::vector<std::string> objects;
    for (const auto& r : f_.http.requests) objects.push_back(r.object);
    return objects;
  }

  ServiceFixture f_;
  FakeHost host_;
};

TEST_F(CommandLineTest, InstallRegistersQuotedPathAndPings) {
  EXPECT_EQ(Run("/INSTALL"), "LiveUpdate Service sucessfully installed! \n");
  ASSERT_EQ(host_.services.count("LiveUpdateService"), 1u);
  const auto& record = host_.services["LiveUpdateService"];
  EXPECT_EQ(record.definition.command_line, "\"" + f_.files->ProgramPath() + "\"");
  EXPECT_EQ(record.definition.display_name, "LiveUpdateService");
  EXPECT_EQ(record.definition.type, 0x110u);
  EXPECT_EQ(record.description, "Liveupdate Service, Norvex Toolbar");
  EXPECT_EQ(Pinged(), (std::vector<std::string>{"/i?x=1"}));

  EXPECT_EQ(Run("/install"), "CreateService failed! \nService Installer error! \n");
  EXPECT_EQ(Pinged().size(), 1u);
  host_.manager_fails = true;
  EXPECT_EQ(Run("/install"), "OpenSCManager failed! \nService Installer error! \n");
}

TEST(IsNetworkOrDevicePath, UncAndDevicePathsOnly) {
  const struct {
    const char* path;
    bool network;
  } cases[] = {
      {"\\\\srv\\share\\Quorvel.exe", true}, {"\\\\?\\C:\\Norvex\\Quorvel.exe", true},
      {"\\\\.\\C:\\Quorvel.exe", true},      {"//srv/share/Quorvel.exe", true},
      {"C:\\Program Files\\Norvex\\Quorvel.exe", false}, {"\\Norvex\\Quorvel.exe", false},
      {"/opt/norvex/quorvel", false},             {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNetworkOrDevicePath(c.path), c.network) << c.path;
}

TEST_F(CommandLineTest, InstallFromANetworkPathIsRefused) {
  f_.files->SetProgramPath("\\\\srv\\share\\Norvex\\Quorvel.exe");
  EXPECT_EQ(Run("/install", kExitPlaceRefused),
            "Cannot install Service from a network or device path: "
            "\\\\srv\\share\\Norvex\\Quorvel.exe\nService Installer error! \n");
  EXPECT_TRUE(host_.services.empty());
  EXPECT_TRUE(f_.http.requests.empty());
}

TEST_F(CommandLineTest, InstallFromAFolderThatUsersCanChangeIsRefused) {
  // The program folder itself, a file in it, a folder in it, a file further down.
  for (const char* place : {"", "LogUrls.ini", "Agents", "Agents/a.xml"}) {
    ServiceFixture f;
    f.platform.host = &host_;
    f.Write("LogUrls.ini", "[Agent_Urls]\ninstall=http://log.example/i\n");
    f.Write("Agents/a.xml", "<agent/>");
    std::filesystem::path opened = *place ? f.At(place) : f.Folder();
    ASSERT_TRUE(testing::OpenToEveryone(opened.string())) << place;
    f.console.text.clear();
    QuorvelConfig config;
    config.log_path = f.LogPath();
    char program[] = "quorvel", install[] = "/install";
    char* argv[] = {program, install, nullptr};
    EXPECT_EQ(RunQuorvel(2, argv, f.platform, config), kExitPlaceRefused) << place;
    EXPECT_EQ(f.console.text, "Cannot install Service: " + opened.make_preferred().string() +
                                  " can be changed by users who are not administrators. Install "
                                  "it in a folder that only administrators can change (under "
                                  "Program Files).\nService Installer error! \n")
        << place;
    EXPECT_TRUE(host_.services.empty()) << place;
    EXPECT_TRUE(f.http.requests.empty()) << place;
  }
}

// A program folder whose own files are sound, in a folder that everyone may change: whoever can
// rename or delete what that folder holds can put another program folder in this one's place.
TEST_F(CommandLineTest, InstallBelowAFolderThatUsersCanChangeIsRefused) {
  std::filesystem::path above = f_.At("Apps");
  std::filesystem::create_directories(above / "Norvex");
  f_.files->SetProgramPath((above / "Norvex" / "quorvel").string());
  EXPECT_EQ(Run("/install"), "LiveUpdate Service sucessfully installed! \n");
  host_.services.clear();
  ASSERT_TRUE(testing::OpenToEveryone(above.string()));
  EXPECT_EQ(Run("/install", kExitPlaceRefused),
            "Cannot install Service: " + above.make_preferred().string() +
                " can be changed by users who are not administrators. Install it in a folder "
                "that only administrators can change (under Program Files).\nService Installer "
                "error! \n");
  EXPECT_TRUE(host_.services.empty());
}

TEST_F(CommandLineTest, InstallWithoutReportAddressStillSucceeds) {
  f_.Write("LogUrls.ini", "garbage\n[Agent_Urls\ninstall\n");
  EXPECT_EQ(Run("/install"), "LiveUpdate Service sucessfully installed! \n");
  EXPECT_TRUE(f_.http.requests.empty());
}

TEST_F(CommandLineTest, StartStopUninstallMessages) {
  EXPECT_EQ(Run("/start"), "Could not Open Service! \n");
  EXPECT_EQ(Run("/stop"), "Could not Open Service! \n");
  EXPECT_EQ(Run("/uninstall"), "Service Uninstall failed!\n");
  Run("/install");
  EXPECT_EQ(Run("/stop"), "Unable to stop Service! \n");
  EXPECT_EQ(Run("/Start"), "Live update service started! \n");
  // The pending state never changed and the wait hint is 0: one poll, then done.
  EXPECT_EQ(f_.clock.sleeps, (std::vector<uint32_t>{1000}));
  EXPECT_EQ(Run("/stop"), "LiveUpdates Service Stopped! \n");
  host_.services["LiveUpdateService"].state = kRunning;
  host_.stop_refused = true;
  EXPECT_EQ(Run("/uninstall"), "Unable to stop Service! \nLiveUpdate service Uninstalled! \n");
  EXPECT_EQ(host_.services.count("LiveUpdateService"), 0u);
  EXPECT_EQ(Pinged(), (std::vector<std::string>{"/i?x=1", "/u"}));
  host_.manager_fails = true;
  EXPECT_EQ(Run("/start"), "Could not connect to SCM Database! \n");
  EXPECT_EQ(Run("/stop"), "Could not connect to SCM Database! \n");
  EXPECT_EQ(Run("/uninstall"), "Unable to open Service Handler!\n");
}

TEST_F(CommandLineTest, ConfigSaysAddressLogAndKey) {
  const std::string expected_start = "Update address: \nUpdate log: " + f_.LogPath() + "\n";
  EXPECT_EQ(Run("/Config"),
            expected_start + "Public key: none (manifests are taken without a signature)\n");
  // With a key: the SHA-256 of its SubjectPublicKeyInfo, as sha256sum gives it of the DER file.
  QuorvelConfig config;
  config.manifest_url = "https://updates.example/toolbar/bin/liveupdate.ini";
  config.log_path = "c:\\Temp\\LiveUpdateLog.txt";
  const auto pem = ReadPem(test::ReadBytes(test::SourceFolder() +
                                           u"/service/tests/testdata/test-only-key.pub.pem"));
  ASSERT_TRUE(pem);
  config.public_key = ReadP256PublicKeyDer(pem->der).value_or("");
  EXPECT_EQ(ConfigText(config, f_.crypto.get()),
            "Update address: https://updates.example/toolbar/bin/liveupdate.ini\n"
            "Update log: c:\\Temp\\LiveUpdateLog.txt\n"
            "Public key: built in, SHA-256 fingerprint " +
                HexOf(Sha256Of(*f_.crypto, pem->der)) + "\n");
}

TEST_F(CommandLineTest, HelpAndInvalid) {
  EXPECT_EQ(Run("/?"), UsageText());
  EXPECT_EQ(Run("/help"), UsageText());
  EXPECT_EQ(Run("-x"), "Inavalid Command! \n" + UsageText());
}

TEST_F(CommandLineTest, DispatcherFailureIsReportedAsAnEvent) {
  host_.dispatcher_fails = true;
  EXPECT_EQ(Run(nullptr), "StartServiceCtrlDispatcher error! \n");
  ASSERT_EQ(host_.events.size(), 1u);
  EXPECT_EQ(host_.events[0],
            (std::vector<std::string>{"LiveUpdateService", std::to_string(0xC0020001u),
                                      "LiveUpdateService",
                                      "StartServiceCtrlDispatcher failed with 1063"}));
}

TEST_F(CommandLineTest, ServiceReportsItsStatesAndRunsAPassAtStart) {
  f_.http.answers["/toolbar/bin/liveupdate.ini"] = {200, "[COMMON]\nVERSION=\n"};
  Run(nullptr);
  ASSERT_EQ(host_.reports.size(), 4u);
  const uint32_t states[] = {kStartPending, kRunning, kStopPending, kStopped};
  const uint32_t accepted[] = {0, 1, 1, 1};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(host_.reports[i].current_state, states[i]) << i;
    EXPECT_EQ(host_.reports[i].controls_accepted, accepted[i]) << i;
    EXPECT_EQ(host_.reports[i].service_type, 0x110u);
    EXPECT_EQ(host_.reports[i].wait_hint, 0u);
  }
  EXPECT_EQ(host_.reports[0].check_point, 1u);
  EXPECT_EQ(host_.reports[1].check_point, 0u);
  EXPECT_EQ(host_.reports[2].check_point, 2u);
  EXPECT_EQ(host_.reports[3].check_point, 0u);
}

TEST_F(CommandLineTest, HandlerFailureEndsTheServiceMain) {
  host_.handler_fails = true;
  QuorvelConfig config;
  config.log_path = f_.LogPath();
  ServiceRunner runner(f_.platform, config, [] {});
  runner.ServiceMain();
  EXPECT_EQ(f_.console.text, "Failed to register Service! \n");
  ASSERT_EQ(host_.events.size(), 1u);
  EXPECT_EQ(host_.events[0].back(), "RegisterServiceCtrlHandler failed with 1063");
  EXPECT_TRUE(host_.reports.empty());
}

TEST(UpdateWorker, RunsAtStartThenHourly) {
  ServiceFixture f;
  QuorvelConfig config;
  config.poll_ms = 5000;
  f.clock.uptime_ms = 30 * 60 * 1000;  // started at 0 h 30 min
  std::vector<uint32_t> pass_minutes;
  ServiceRunner* self = nullptr;
  ServiceRunner runner(f.platform, config, [&] {
    pass_minutes.push_back(f.clock.uptime_ms / 60000);
    if (pass_minutes.size() == 4) self->ControlHandler(1);
  });
  self = &runner;
  FakeHost host;
  f.platform.host = &host;
  runner.ServiceMain();
  runner.JoinWorker();
  // The stop reaches the worker at one of its next polls; until then it keeps the rhythm.
  ASSERT_GE(pass_minutes.size(), 4u);
  EXPECT_EQ(std::vector<uint32_t>(pass_minutes.begin(), pass_minutes.begin() + 4),
            (std::vector<uint32_t>{30, 120, 180, 240}));
  for (size_t i = 4; i < pass_minutes.size(); ++i) EXPECT_EQ(pass_minutes[i], 60 * (i + 1));
}

}  // namespace
}  // namespace norvex::service
