// Windows implementations of the file, profile, clock, console and mover seams.
#pragma once

#include "service/service_platform.h"

namespace norvex::service::win32 {

class Win32Files : public ServiceFileSystem {
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
  unsigned NarrowCodePage() override;
};

class Win32Profiles : public ProfileFiles {
 public:
  size_t ReadString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& fallback, char* buffer, size_t size) override;
  size_t ReadSectionNames(const std::string& file, char* buffer, size_t size) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;
};

// The multimedia timer of WINMM.dll, which is not one of the system's known libraries: it is
// loaded from the system folder only, on the first use, and never from the program folder.
// Null when the system folder has none. Tests point it at a stand-in.
using UptimeTimer = unsigned long(__stdcall*)();
UptimeTimer& MultimediaTimer();

class Win32Clock : public Clock {
 public:
  LocalTime Now() override;
  uint32_t UptimeMs() override;
  int64_t UtcSeconds() override;
  void SleepMs(uint32_t ms) override;
};

class Win32Console : public Console {
 public:
  void Print(const std::string& text) override;
};

class Win32Mover : public FileMover {
 public:
  int PlatformId() override;
  bool MoveAtRestart(const std::string& source, const std::string& destination) override;
  bool HasShortPath(const std::string& path, size_t buffer_size) override;
  bool SetRunOnce(const std::string& value_name, const std::string& command) override;
};

}  // namespace norvex::service::win32
