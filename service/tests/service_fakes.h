// Fakes of the service's seams for tests, and a program folder in a temporary folder that
// uses the system's real files and profile functions.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "service/service_platform.h"
#include "service/update_files.h"
#include "tests/test_support.h"

namespace norvex::service::testing {

// A clock that stands still unless told; sleeping advances the uptime.
class FakeClock : public Clock {
 public:
  LocalTime now{2009, 4, 3, 9, 5, 7};
  uint32_t uptime_ms = 0;
  int64_t utc_seconds = 1238749507;  // 2009-04-03 09:05:07 UTC
  std::vector<uint32_t> sleeps;
  LocalTime Now() override { return now; }
  uint32_t UptimeMs() override { return uptime_ms; }
  int64_t UtcSeconds() override { return utc_seconds; }
  void SleepMs(uint32_t ms) override {
    sleeps.push_back(ms);
    uptime_ms += ms;
  }
};

// Answers by address ("https://host:port/object") or, when no answer is set for the whole
// address, by object (path with query); an unknown object gets 404.
class FakeHttp : public HttpClient {
 public:
  struct Answer {
    long status = 200;
    std::string body;
    bool complete = true;         // false: the body breaks off (truncated or stalled)
    std::string failed_step = {};  // set: the request fails before any answer
    std::string location = {};     // the Location header of a redirect
    std::vector<long> close_errors = {};  // handles that fail to close, with these codes
    bool length_announced = true;  // false: the answer has no Content-Length
    bool last_chunk_seen = false;  // true: the body came in chunks, the last one included
  };
  std::map<std::string, Answer> answers;
  std::vector<HttpRequest> requests;
  HttpResult Get(const HttpRequest& request,
                 const std::function<bool(const char*, size_t)>* sink) override;
};

class FakeMover : public FileMover {
 public:
  explicit FakeMover(ServiceFileSystem& files) : files_(files) {}
  int platform_id = 2;
  std::vector<std::pair<std::string, std::string>> moves;
  std::set<std::string> refused_sources;  // MoveAtRestart fails for these
  std::vector<std::pair<std::string, std::string>> run_once;
  int PlatformId() override { return platform_id; }
  bool MoveAtRestart(const std::string& source, const std::string& destination) override {
    if (refused_sources.count(source)) return false;
    moves.emplace_back(source, destination);
    return true;
  }
  bool HasShortPath(const std::string& path, size_t) override { return files_.FileExists(path); }
  bool SetRunOnce(const std::string& name, const std::string& command) override {
    run_once.emplace_back(name, command);
    return true;
  }

 private:
  ServiceFileSystem& files_;
};

// A control manager that has nothing but the system's log, whose events it keeps.
class EventLogHost : public ServiceHost {
 public:
  struct Event {
    std::string source;
    uint32_t id;
    std::vector<std::string> strings;
  };
  std::vector<Event> events;
  std::unique_ptr<ServiceManagerSession> OpenManager() override { return nullptr; }
  bool RunDispatcher(const std::string&, std::function<void()>, long*) override { return false; }
  bool RegisterControlHandler(const std::string&, std::function<void(uint32_t)>) override {
    return false;
  }
  bool SetStatus(const ServiceStatusRecord&) override { return false; }
  bool ReportErrorEvent(const std::string& source, uint32_t id,
                        const std::vector<std::string>& strings) override {
    events.push_back({source, id, strings});
    return true;
  }
  long LastError() override { return 0; }
};

class RecordingConsole : public Console {
 public:
  std::string text;
  void Print(const std::string& t) override { text += t; }
};

// The real archive library, optionally reporting busy, or listing names other than those of the
// files it writes (each with listed_suffix added).
class LinkedArchive : public ArchiveLibrary {
 public:
  bool busy = false;
  std::string listed_suffix;
  int IsBusy() override;
  uintptr_t Open(const std::string& path, uint32_t mode) override;
  int Close(uintptr_t archive) override;
  int FindFirst(uintptr_t archive, const std::string& wildcard, std::string* name) override;
  int FindNext(uintptr_t archive, std::string* name) override;
  int ExtractFound(uintptr_t archive, const std::string& file_name,
                   const std::string& destination_folder, uint32_t mode) override;
};

// The real files of the system with the program file placed in a temporary folder.
class ProgramFolderFiles : public ServiceFileSystem {
 public:
  ProgramFolderFiles(std::unique_ptr<ServiceFileSystem> real, std::string program_path)
      : real_(std::move(real)), program_path_(std::move(program_path)) {}
  std::string ProgramPath() override { return program_path_; }
  void SetProgramPath(std::string path) { program_path_ = std::move(path); }
  bool IsFolder(const std::string& p) override { return real_->IsFolder(p); }
  bool FileExists(const std::string& p) override { return real_->FileExists(p); }
  bool CreateFolder(const std::string& p) override { return real_->CreateFolder(p); }
  bool RemoveFile(const std::string& p) override { return real_->RemoveFile(p); }
  bool RenameReplacing(const std::string& a, const std::string& b) override {
    return real_->RenameReplacing(a, b);
  }
  std::unique_ptr<OutputFile> CreateOutput(const std::string& p) override {
    return real_->CreateOutput(p);
  }
  bool ReadWhole(const std::string& p, std::string* b) override { return real_->ReadWhole(p, b); }
  bool AppendLogLine(const std::string& p, const std::string& l, std::string* r) override {
    return real_->AppendLogLine(p, l, r);
  }
  std::string FindChangeableByUsers(const std::string& folder) override {
    return real_->FindChangeableByUsers(folder);
  }
  unsigned NarrowCodePage() override { return real_->NarrowCodePage(); }

 private:
  std::unique_ptr<ServiceFileSystem> real_;
  std::string program_path_;
};

// A program folder with fakes for the network, the clock, the mover and the console.
class ServiceFixture {
 public:
  ServiceFixture();
  std::filesystem::path Folder() const { return temp_.path(); }
  // A file below the program folder, "/" separated.
  std::filesystem::path At(const std::string& relative) const;
  std::string Read(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes) const;
  bool Exists(const std::string& relative) const;
  // The log's messages without their time stamps and line ends.
  std::vector<std::string> LogMessages() const;
  std::string LogPath() const { return (temp_.path() / "log" / "LiveUpdateLog.txt").string(); }

  test::TempFolder temp_;
  std::unique_ptr<ProgramFolderFiles> files;
  std::unique_ptr<ProfileFiles> profiles;
  FakeClock clock;
  FakeHttp http;
  std::unique_ptr<FakeMover> mover;
  LinkedArchive archive;
  RecordingConsole console;
  std::unique_ptr<Crypto> crypto;  // the system's
  ServicePlatform platform;
};

}  // namespace norvex::service::testing
