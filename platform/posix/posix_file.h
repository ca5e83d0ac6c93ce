// Small POSIX file helpers shared by the POSIX seams.
#pragma once

#include <sys/stat.h>

#include <string>

namespace norvex::platform::posix {

// The folder part of a path ("." when it has none).
std::string ParentFolder(const std::string& path);

// Reads a whole file; on success fills `st` (when given) from the open file.
bool ReadWholeFile(const std::string& path, std::string& bytes, struct stat* st = nullptr);

// Writes the bytes to a temporary file in the same folder and renames it over `path`.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, mode_t mode);

// 0666 less the process's umask.
mode_t DefaultFileMode();

// An exclusive advisory lock on a folder, held for the object's lifetime. Writers of the files
// in that folder take it around their read-modify-write.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace norvex::platform::posix
