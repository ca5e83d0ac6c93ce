// Whole files that other processes read while we rewrite them ("version.ini", the settings and
// the history): a reader sees the old file or the new one, never a part of either and never no
// file. Both programs write their files through these functions, on both platforms.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace norvex::platform {

enum class WholeFileRead { kRead, kMissing, kFailed };

// Reads a whole file, opened so that a replacement may still be moved over it meanwhile (on
// Windows with FILE_SHARE_DELETE as well as read and write sharing). kMissing when neither the
// file nor its folder exists, kFailed when it exists but cannot be read (or is a folder).
WholeFileRead ReadWholeFile(const std::u16string& path, std::string& bytes);

enum class ExistingFile {
  kReplace,  // a file of that name is replaced
  kKeep,     // a file of that name is left as it is, and the write fails
};

// Writes `bytes` to a new file of a unique name beside `path` (the target's name, a dot and a
// random part), flushes it to the disk (fsync; FlushFileBuffers) and moves it to `path` in one
// step (rename, then a sync of the folder; MoveFileExW with MOVEFILE_WRITE_THROUGH, and
// MOVEFILE_REPLACE_EXISTING for kReplace). On POSIX a replaced file keeps its permission bits
// and a new one gets 0666 less the umask. On Windows a reader that holds the target open keeps
// the move from happening until it closes it: the move is tried again for about ten seconds.
// False, with the target as it was and no temporary file left, when any step fails.
bool WriteFileAtomically(const std::u16string& path, std::string_view bytes,
                         ExistingFile existing = ExistingFile::kReplace);

// The lock that every writer of our files takes around its read-modify-write: exclusive, on the
// folder that holds `file` (flock on the folder on POSIX; on Windows a mutex named after the
// folder's volume and file index, so that every path to one folder names one lock). Readers take
// none. Held from construction until the object goes; not held (held() false) when the folder
// cannot be opened or the lock did not come free within kFolderLockWaitMs, so that no other
// process can hold a writer up for ever.
class FolderWriteLock {
 public:
  static constexpr unsigned kFolderLockWaitMs = 30000;

  explicit FolderWriteLock(const std::u16string& file);
  ~FolderWriteLock();
  FolderWriteLock(const FolderWriteLock&) = delete;
  FolderWriteLock& operator=(const FolderWriteLock&) = delete;

  bool held() const { return held_ != nullptr; }

 private:
  struct Held;
  std::unique_ptr<Held> held_;
};

}  // namespace norvex::platform
