// The service's program folder, its INI files and its update log: path rules, profile reads
// with growing buffers, and the time-stamped log line.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "service/service_platform.h"

namespace norvex::service {

// "%04d/%02d/%02d %02d:%02d:%02d " followed by the message and CR LF.
std::string FormatLogLine(const LocalTime& time, const std::string& message);
// "%04d%02d%02d%02d%02d": the twelve digits of "LAST_UPDATE_TIME".
std::string FormatUpdateTime(const LocalTime& time);

// The path with every "\.\" replaced by one backslash, until none is left.
std::string CollapseDotSegments(std::string path);

// The program file's path cut before its last separator; "." when it has none. code_page: that
// of the path's bytes (separators are found by characters).
std::string ProgramFolderOf(const std::string& program_path,
                            unsigned code_page = kUtf8CodePage);

// The path of a file beside the program file, joined with the program path's own separator.
// Empty when the program's path is empty (the platform could not give it, or it was too long)
// or has no folder: the file is then not taken from the current folder instead.
std::string ProgramSiblingPath(const std::string& program_path, const std::string& file_name,
                               unsigned code_page = kUtf8CodePage);

class UpdateFiles {
 public:
  // log_path: the fixed path of the update log on this platform.
  UpdateFiles(const ServicePlatform& platform, std::string log_path);

  const ServicePlatform& platform() const { return platform_; }
  const std::string& ProgramFolder() const { return program_folder_; }
  std::string VersionIniPath() const { return program_folder_ + "\\version.ini"; }
  std::string ProductIniPath() const { return program_folder_ + "\\product.ini"; }

  // A path with ":\" after its first character (or, on POSIX, a leading "/") is absolute and
  // comes back unchanged; any other path is joined to the program folder with a backslash.
  std::string ResolveProgramPath(const std::string& path) const;

  // Creates every folder along path (the part after the last separator, found by characters
  // of the platform's code page, is the file name), starting at the program folder. True when all of them exist afterwards.
  bool CreateFolderChain(const std::string& path) const;

  // A value of any length; the file name goes through ResolveProgramPath.
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback) const;
  std::vector<std::string> ReadIniSectionNames(const std::string& file) const;
  bool WriteIniString(const std::string& file, const std::string& section,
                      const std::string& key, const std::string& value) const;

  // Appends one time-stamped line; a log that cannot be opened is skipped without trace. A log
  // that is refused (something that is not the service's own log is in its place, see
  // AppendLogLine) is skipped too, and reported through the system's log (the event log,
  // syslog) the first time in a pass: otherwise whoever put it there would have turned the log
  // off unseen.
  void WriteUpdateLog(const std::string& message) const;
  // Starts a pass: the log's next refusal is reported again.
  void BeginPass() const { log_refusal_reported_ = false; }

 private:
  ServicePlatform platform_;
  mutable std::atomic<bool> log_refusal_reported_{false};
  std::string log_path_;
  std::string program_folder_;
};

}  // namespace norvex::service
