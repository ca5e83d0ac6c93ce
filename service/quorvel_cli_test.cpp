// Quorvel driven only through its command line, as an administrator would: install, start
// (the pass at start runs against a server of the test's own), stop, uninstall, and the
// failure messages. Runs the loopback build of the program from a program folder of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "service/ecdsa_encoding.h"
#include "service/platform_factory.h"
#include "service/tests/file_access.h"
#include "tests/http_test_server.h"
#include "service/tests/run_program.h"
#include "service/tests/scheduled_moves.h"
#include "tests/test_support.h"
#include "unzip32/zip_writer.h"

namespace norvex::service {
namespace {

namespace fs = std::filesystem;
using testing::RunProgram;
using test::TestHttpServer;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

class QuorvelCli : public ::testing::Test {
 protected:
  QuorvelCli() : server_(NORVEX_TEST_UPDATE_PORT) {
    program_ = temp_.path() / "Program Files" / "Norvex";
    fs::create_directories(program_);
    fs::copy_file(QUORVEL_LOOPBACK, program_ / fs::path(QUORVEL_LOOPBACK).filename());
    fs::copy_file(ARCHIVE_LIBRARY, program_ / fs::path(ARCHIVE_LIBRARY).filename());
    exe_ = (program_ / fs::path(QUORVEL_LOOPBACK).filename()).string();
    log_start_ = fs::exists(LOG_FILE) ? fs::file_size(LOG_FILE) : 0;
  }
  ~QuorvelCli() override {
    // Leave no service behind whatever happened.
    RunProgram(exe_, {"/stop"});
    RunProgram(exe_, {"/uninstall"});
    testing::ForgetScheduledMoves(program_.string());
  }
  std::string Run(const std::string& argument) {
    const auto run = RunProgram(exe_, argument.empty() ? std::vector<std::string>{}
                                                       : std::vector<std::string>{argument});
    EXPECT_EQ(run.exit_code, 0) << argument;
    // A Windows console stream writes each LF as CR LF.
    std::string output;
    for (size_t i = 0; i < run.output.size(); ++i) {
      if (!(run.output[i] == '\r' && i + 1 < run.output.size() && run.output[i + 1] == '\n')) {
        output += run.output[i];
      }
    }
    return output;
  }
  std::string NewLog() {
    const std::string all = fs::exists(LOG_FILE) ? ReadFile(LOG_FILE) : "";
    return all.size() > log_start_ ? all.substr(log_start_) : "";
  }
  // Waits up to 60 s for the end of the pass: its last step stamps "product.ini". (Another
  // build tree's tests may write to the same log at the same time, so the log alone does not
  // tell whose pass ended.)
  bool WaitForPassEnd() {
    for (int i = 0; i < 600; ++i) {
      if (ReadFile(program_ / "product.ini").find("PRODUCT_VERSION=") != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  void Publish() {
    const std::string base = "http://127.0.0.1:" + std::to_string(server_.port());
    server_.Set("/toolbar/bin/liveupdate.ini",
                {200, "[COMMON]\r\nVERSION=1.0.10\r\n"
                      "[A]\r\nNAME=Agents\r\nVERSION=1.0.10\r\nFolder=PRODUCT_HOME\\Agents\r\n"
                      "URL=" + base + "/m/agents.zip\r\n"
                      "[SETTING]\r\nVERSION=1.0.10\r\nFolder=PRODUCT_HOME\r\nURL=" + base +
                      "/m/setting.zip\r\n"});
    server_.Set("/m/agents.zip", {200, unzip::MakeZip({{"a.xml", "new a"}, {"sub/b.xml", "new b"}})});
    server_.Set("/m/setting.zip", {200, unzip::MakeZip({{"strings.ini", "[s]\r\nk=v\r\n"}})});
    server_.Set("/log/install", {200, "ok"});
    server_.Set("/log/uninstall", {200, "ok"});
    const std::string logs = "[Agent_Urls]\r\ninstall=" + base + "/log/install\r\nuninstall=" +
                             base + "/log/uninstall\r\n";
    WriteFile(program_ / "LogUrls.ini", logs);
    WriteFile(program_ / "version.ini", "[COMMON]\r\nVERSION=1.0.9\r\n");
    WriteFile(program_ / "Agents" / "a.xml", "old a");
  }
  // Waits up to 60 s for a line of this pass's log that starts with text.
  bool WaitForLogLine(const std::string& text) {
    for (int i = 0; i < 600; ++i) {
      if (NewLog().find("] " + text) != std::string::npos ||
          NewLog().find(" " + text) != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  // The program built with the tests' key in place of the program of this folder.
  void UseSignedProgram() {
    fs::copy_file(QUORVEL_LOOPBACK_SIGNED, exe_, fs::copy_options::overwrite_existing);
  }
  bool Requested(const std::string& path) {
    for (const std::string& r : server_.Requests()) {
      if (r.rfind("GET " + path + " ", 0) == 0) return true;
    }
    return false;
  }

  test::TempFolder temp_;
  TestHttpServer server_;
  fs::path program_;
  std::string exe_;
  uintmax_t log_start_ = 0;
};

TEST_F(QuorvelCli, InstallStartPassStopUninstall) {
  ASSERT_TRUE(server_.listening()) << "port " << NORVEX_TEST_UPDATE_PORT << " is taken";
  Publish();
  EXPECT_EQ(Run("/Install"), "LiveUpdate Service sucessfully installed! \n");
  EXPECT_TRUE(Requested("/log/install"));
  // Registered in quotes: the folder name has a blank.
  EXPECT_EQ(testing::RegisteredServiceCommand(STANDIN_FOLDER), "\"" + exe_ + "\"");
  EXPECT_EQ(Run("/install"), "CreateService failed! \nService Installer error! \n");
  EXPECT_EQ(Run("/stop"), "Unable to stop Service! \n");

  EXPECT_EQ(Run("/start"), "Live update service started! \n");
  ASSERT_TRUE(WaitForPassEnd()) << NewLog();
  const std::string log = NewLog();
  for (const char* line :
       {"Start live update", "Step 2: Success in downloading ini ",
        "Step 3: There are some difference ", "Step 4: Downloading and updating ... ",
        "Unzip success:Temp\\.\\Agents\\agents.zip", "Unzip success:Temp\\.\\setting.zip",
        "Step 5: Downloaded and extracted files... ", "Success in move file ex",
        "Step 7: Finished local file updation successfully ", "Success to do update"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(log.substr(4, 1), "/");
#ifdef _WIN32
  // Written through a text-mode stream: CR LF becomes CR CR LF.
  EXPECT_NE(log.find("Success to do update\r\r\n"), std::string::npos);
#else
  EXPECT_NE(log.find("Success to do update\r\n"), std::string::npos);
#endif
  EXPECT_NE(ReadFile(program_ / "version.ini").find("VERSION=1.0.10"), std::string::npos);
  EXPECT_NE(ReadFile(program_ / "product.ini").find("PRODUCT_VERSION=1.0.10"), std::string::npos);
  EXPECT_NE(ReadFile(program_ / "product.ini").find("LAST_UPDATE_TIME=20"), std::string::npos);
  // The files wait in the working folder; the installed ones are untouched until the restart.
  EXPECT_EQ(ReadFile(program_ / "Temp" / "Agents" / "a.xml"), "new a");
  EXPECT_EQ(ReadFile(program_ / "Agents" / "a.xml"), "old a");
  const auto moves = testing::ScheduledMoves(program_.string());
  EXPECT_EQ(moves.size(), 3u);
  const std::string working =
      (fs::path("Norvex") / "Temp" / "").make_preferred().string();  // the working folder
  for (const auto& move : moves) {
    EXPECT_NE(move.first.find(working), std::string::npos) << move.first;
    EXPECT_EQ(move.second.find(working), std::string::npos) << move.second;
  }

  EXPECT_EQ(Run("/STOP"), "LiveUpdates Service Stopped! \n");
#ifndef _WIN32
  // The stand-in has no restart of the system: the service applies the journal of deferred
  // moves when it next starts, before its first pass.
  for (int i = 0; i < 100 && Run("/stop") != "Unable to stop Service! \n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(Run("/start"), "Live update service started! \n");
  for (int i = 0; i < 100 && ReadFile(program_ / "Agents" / "a.xml") != "new a"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(ReadFile(program_ / "Agents" / "a.xml"), "new a");
  EXPECT_EQ(ReadFile(program_ / "Agents" / "sub" / "b.xml"), "new b");
  EXPECT_EQ(ReadFile(program_ / "strings.ini"), "[s]\r\nk=v\r\n");
  EXPECT_TRUE(testing::ScheduledMoves(program_.string()).empty());
#endif
  EXPECT_EQ(Run("/uninstall"), "LiveUpdate service Uninstalled! \n");
  EXPECT_TRUE(Requested("/log/uninstall"));
  EXPECT_EQ(Run("/start"), "Could not Open Service! \n");
  EXPECT_EQ(Run("/stop"), "Could not Open Service! \n");
  EXPECT_EQ(Run("/uninstall"), "Service Uninstall failed!\n");
}

TEST_F(QuorvelCli, ConsoleRunWithoutManagerAndMissingLibrary) {
  EXPECT_EQ(Run(""), "StartServiceCtrlDispatcher error! \n");
  EXPECT_EQ(Run("/bogus").rfind("Inavalid Command! \nNorvex Toolbar, LiveUpdates Service", 0), 0u);
  fs::remove(program_ / fs::path(ARCHIVE_LIBRARY).filename());
  const auto run = RunProgram(exe_, {"/help"});
  EXPECT_NE(run.exit_code, 0);
  EXPECT_EQ(run.output.find("Usage"), std::string::npos);
}

TEST_F(QuorvelCli, ConfigSaysAddressLogAndKey) {
  const std::string address = "Update address: http://127.0.0.1:" +
                              std::to_string(NORVEX_TEST_UPDATE_PORT) +
                              "/toolbar/bin/liveupdate.ini\n";
#ifdef _WIN32
  const std::string log = "Update log: c:\\Temp\\LiveUpdateLog.txt\n";
#else
  const std::string log = "Update log: /tmp/LiveUpdateLog.txt\n";
#endif
  EXPECT_EQ(Run("/config"),
            address + log + "Public key: none (manifests are taken without a signature)\n");
  UseSignedProgram();
  // The fingerprint that "openssl pkey -pubin -outform DER | sha256sum" gives of the tests' key.
  const auto pem = ReadPem(ReadFile(fs::path(TEST_KEYS) / "test-only-key.pub.pem"));
  ASSERT_TRUE(pem);
  const std::string fingerprint = HexOf(Sha256Of(*CreateNativeCrypto(), pem->der));
  EXPECT_EQ(Run("/CONFIG"),
            address + log + "Public key: built in, SHA-256 fingerprint " + fingerprint + "\n");
}

// A site published with quorvel-publish, taken by a service built with the tests' key; the same
// site with its manifest changed after signing is refused, and nothing of it installed.
TEST_F(QuorvelCli, PublishedSiteRoundTrip) {
  ASSERT_TRUE(server_.listening()) << "port " << NORVEX_TEST_UPDATE_PORT << " is taken";
  Publish();  // the program folder's files, the reports and the archives
  const std::string base = "http://127.0.0.1:" + std::to_string(server_.port());
  const fs::path site = temp_.path() / "site";
  const std::string manifest =
      "[COMMON]\r\nVERSION=1.0.10\r\n"
      "[A]\r\nNAME=Agents\r\nVERSION=1.0.10\r\nFolder=PRODUCT_HOME\\Agents\r\n"
      "URL=" + base + "/m/agents.zip\r\n"
      "[SETTING]\r\nVERSION=1.0.10\r\nFolder=PRODUCT_HOME\r\nURL=" + base +
      "/m/setting.zip";
  WriteFile(site / "liveupdate.ini", manifest);
  WriteFile(site / "modules" / "agents.zip",
            unzip::MakeZip({{"a.xml", "new a"}, {"sub/b.xml", "new b"}}));
  WriteFile(site / "modules" / "setting.zip", unzip::MakeZip({{"strings.ini", "[s]\r\nk=v\r\n"}}));
  const auto published = RunProgram(QUORVEL_PUBLISH,
                                    {site.string(), (fs::path(TEST_KEYS) / "test-only-key.pem").string()});
  ASSERT_EQ(published.exit_code, 0) << published.output;
  EXPECT_NE(published.output.find("[A] agents.zip: SHA256 and SIZE set"), std::string::npos)
      << published.output;
  const std::string filled = ReadFile(site / "liveupdate.ini");
  EXPECT_NE(filled.find("/m/agents.zip\r\nSHA256="), std::string::npos) << filled;
  EXPECT_NE(filled.find("/m/setting.zip\r\nSHA256="), std::string::npos) << filled;
  // The first serial of a manifest that had none.
  EXPECT_EQ(filled.rfind("[COMMON]\r\nSERIAL=1\r\nVERSION=1.0.10\r\n", 0), 0u) << filled;
  EXPECT_NE(published.output.find("SERIAL=1"), std::string::npos) << published.output;
#ifndef _WIN32
  // The signature is what OpenSSL's own program accepts.
  const auto verified = RunProgram(
      "/usr/bin/openssl", {"dgst", "-sha256", "-verify",
                           (fs::path(TEST_KEYS) / "test-only-key.pub.pem").string(), "-signature",
                           (site / "liveupdate.ini.sig").string(), (site / "liveupdate.ini").string()});
  EXPECT_EQ(verified.exit_code, 0) << verified.output;
  EXPECT_NE(verified.output.find("Verified OK"), std::string::npos) << verified.output;
#endif
  UseSignedProgram();
  ASSERT_EQ(Run("/install"), "LiveUpdate Service sucessfully installed! \n");

  // Changed after signing: refused.
  std::string changed = filled;
  changed.replace(changed.find("VERSION=1.0.10"), 14, "VERSION=1.0.11");
  server_.Set("/toolbar/bin/liveupdate.ini", {200, changed});
  server_.Set("/toolbar/bin/liveupdate.ini.sig", {200, ReadFile(site / "liveupdate.ini.sig")});
  EXPECT_EQ(Run("/start"), "Live update service started! \n");
  ASSERT_TRUE(WaitForLogLine("Failed to do the update")) << NewLog();
  EXPECT_NE(NewLog().find("Signature error:" + base + "/toolbar/bin/liveupdate.ini.sig"),
            std::string::npos)
      << NewLog();
  EXPECT_EQ(ReadFile(program_ / "version.ini"), "[COMMON]\r\nVERSION=1.0.9\r\n");
  EXPECT_FALSE(Requested("/m/agents.zip"));
  EXPECT_EQ(Run("/stop"), "LiveUpdates Service Stopped! \n");
  for (int i = 0; i < 100 && Run("/stop") != "Unable to stop Service! \n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  // As published: taken, and the modules installed.
  server_.Set("/toolbar/bin/liveupdate.ini", {200, filled});
  EXPECT_EQ(Run("/start"), "Live update service started! \n");
  ASSERT_TRUE(WaitForPassEnd()) << NewLog();
  const std::string log = NewLog();
  EXPECT_NE(log.find("Success to do update"), std::string::npos) << log;
  EXPECT_NE(log.find("Move at restart:"), std::string::npos) << log;
  EXPECT_NE(ReadFile(program_ / "version.ini").find("VERSION=1.0.10"), std::string::npos);
  EXPECT_EQ(ReadFile(program_ / "Temp" / "Agents" / "a.xml"), "new a");
  // The service keeps the serial it took, where the installer does not reach.
  EXPECT_NE(ReadFile(program_ / "product.ini").find("MANIFEST_SERIAL=1"), std::string::npos);

  // Published again, valid for 30 days: the next serial and an expiry.
  const auto again = RunProgram(
      QUORVEL_PUBLISH,
      {site.string(), (fs::path(TEST_KEYS) / "test-only-key.pem").string(), "--valid-days", "30"});
  ASSERT_EQ(again.exit_code, 0) << again.output;
  const std::string republished = ReadFile(site / "liveupdate.ini");
  EXPECT_EQ(republished.rfind("[COMMON]\r\nEXPIRES=20", 0), 0u) << republished;
  EXPECT_NE(republished.find("\r\nSERIAL=2\r\nVERSION=1.0.10\r\n"), std::string::npos)
      << republished;
}

// The publisher never signs what services would refuse: a SERIAL that is not a number, one that
// cannot go higher, an expiry that has passed; the site is then left as it was.
TEST_F(QuorvelCli, PublisherRefusesWhatServicesWouldRefuse) {
  const fs::path site = temp_.path() / "site";
  const std::string key = (fs::path(TEST_KEYS) / "test-only-key.pem").string();
  const struct {
    const char* common;
    std::vector<std::string> options;
    const char* message;
  } cases[] = {
      {"SERIAL=x\r\n", {}, "[COMMON] SERIAL is not a number"},
      {"SERIAL=18446744073709551615\r\n", {}, "[COMMON] SERIAL cannot go higher"},
      {"EXPIRES=2001-01-01T00:00:00Z\r\n", {}, "[COMMON] EXPIRES 2001-01-01T00:00:00Z has passed"},
      {"EXPIRES=tomorrow\r\n", {}, "[COMMON] EXPIRES is not a time"},
      {"", {"--valid-days", "0"}, "--valid-days takes a number of days from 1 to 36500"},
  };
  for (const auto& c : cases) {
    const std::string manifest = std::string("[COMMON]\r\nVERSION=1.0.10\r\n") + c.common;
    WriteFile(site / "liveupdate.ini", manifest);
    std::vector<std::string> arguments{site.string(), key};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    // Its messages go to standard error, which the run does not capture.
    const auto run = RunProgram(QUORVEL_PUBLISH, arguments);
    EXPECT_EQ(run.exit_code, 1) << c.message;
    EXPECT_EQ(ReadFile(site / "liveupdate.ini"), manifest) << c.message;
    EXPECT_FALSE(fs::exists(site / "liveupdate.ini.sig")) << c.message;
  }
}

#ifdef _WIN32
TEST_F(QuorvelCli, SystemLibraryIsNeverTakenFromTheProgramFolder) {
  ASSERT_TRUE(server_.listening()) << "port " << NORVEX_TEST_UPDATE_PORT << " is taken";
  Publish();
  fs::copy_file(PLANTED_LIBRARY, program_ / "WININET.dll");
  const std::string program_name = fs::path(exe_).filename().string();
  ASSERT_TRUE(testing::PreferLibraryBesideProgram(program_name, "wininet", true));
  const std::string installed = Run("/install");
  testing::PreferLibraryBesideProgram(program_name, "wininet", false);
  EXPECT_EQ(installed, "LiveUpdate Service sucessfully installed! \n");
  // The report went out through the system's WININET.dll, and the planted one was not loaded.
  EXPECT_TRUE(Requested("/log/install"));
  EXPECT_FALSE(fs::exists(program_ / "planted-library-loaded.txt"));
}
#endif

TEST_F(QuorvelCli, ProgramPathTooLongForItsBufferLoadsNoLibraryFromTheCurrentFolder) {
  // The program in a folder whose path, with the program's name, is 260 characters or more...
  fs::path deep = temp_.path();
  while (deep.string().size() < 270) deep /= std::string(40, 'd');
  fs::create_directories(deep);
  const fs::path program = deep / fs::path(QUORVEL_LOOPBACK).filename();
  fs::copy_file(QUORVEL_LOOPBACK, program);
  // ...started from a folder that holds an archive library.
  const fs::path current = temp_.path() / "current";
  fs::create_directories(current);
  fs::copy_file(ARCHIVE_LIBRARY, current / fs::path(ARCHIVE_LIBRARY).filename());
  const auto run = RunProgram(program.string(), {"/help"}, current.string());
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_EQ(run.output.find("Usage"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace norvex::service
