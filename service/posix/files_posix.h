// POSIX implementations of the file, profile, clock, console and mover seams.
#pragma once

#include "service/service_platform.h"

namespace norvex::service::posix {

class PosixFiles : public ServiceFileSystem {
 public:
  std::string ProgramPath() override;
  bool IsFolder(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameReplacing(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;
  bool ReadWhole(const std::string& path, std::string* bytes) override;
  bool AppendLogLine(const std::string& path, const std::string& line,
                     std::string* refusal) override;
  std::string FindChangeableByUsers(const std::string& folder) override;
};

class PosixProfiles : public ProfileFiles {
 public:
  size_t ReadString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& fallback, char* buffer, size_t size) override;
  size_t ReadSectionNames(const std::string& file, char* buffer, size_t size) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;
};

class PosixClock : public Clock {
 public:
  LocalTime Now() override;
  uint32_t UptimeMs() override;
  int64_t UtcSeconds() override;
  void SleepMs(uint32_t ms) override;
};

class PosixConsole : public Console {
 public:
  void Print(const std::string& text) override;
};

// POSIX has no delayed move of its own: moves go to a journal that the service applies when
// it next starts, before anything else.
class PosixMover : public FileMover {
 public:
  explicit PosixMover(std::string journal) : journal_(std::move(journal)) {}
  int PlatformId() override { return 2; }
  bool MoveAtRestart(const std::string& source, const std::string& destination) override;
  bool HasShortPath(const std::string& path, size_t buffer_size) override;
  bool SetRunOnce(const std::string&, const std::string&) override { return false; }

 private:
  std::string journal_;
};

}  // namespace norvex::service::posix
