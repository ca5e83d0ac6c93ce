// Schedules an unpacked file to replace its installed counterpart at the next restart: the
// platform's delayed move on the NT family (a journal on POSIX), the list file "livefile.ini"
// with the run-once mover on the older family.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "service/update_files.h"

namespace norvex::service {

inline constexpr char kListFileName[] = "livefile.ini";
inline constexpr char kRunOnceValue[] = "Driftcast";
inline constexpr char kMoverProgram[] = "ShuntFile.exe";
// The platform identifier of the older Windows family (VER_PLATFORM_WIN32_WINDOWS).
inline constexpr int kOlderFamily = 1;

class FileReplacer {
 public:
  explicit FileReplacer(const UpdateFiles& files) : files_(files) {}

  // Both paths relative to the program folder or absolute. True when scheduled.
  bool ReplaceFile(const std::string& source, const std::string& destination);
  // The absolute paths (source, destination) that ReplaceFile hands to the platform.
  std::pair<std::string, std::string> ResolvedPaths(const std::string& source,
                                                    const std::string& destination) const;

  uint32_t entries_written() const { return entry_count_; }

 private:
  const UpdateFiles& files_;
  // Kept for the life of the process: the first replacement starts a fresh list.
  bool list_started_ = false;
  uint32_t entry_count_ = 0;
};

// The journal of moves that a POSIX service applies at its next start. One line per move:
// source, a TAB, destination, LF.
std::string JournalLine(const std::string& source, const std::string& destination);

// Applies every move of the journal in order (creating the destination's folders), then
// removes the journal. Returns the number of moves that failed; lines that are not
// well-formed are skipped and counted as failed.
int ApplyMoveJournal(ServiceFileSystem& fs, const std::string& journal_path);

}  // namespace norvex::service
