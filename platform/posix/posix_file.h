// Small POSIX file helpers shared by the POSIX seams.
#pragma once

#include <sys/stat.h>

#include <string>

namespace norvex::platform::posix {

// The folder part of a path ("." when it has none).
std::string ParentFolder(const std::string& path);

// Reads a whole file; on success fills `st` (when given) from the open file.
bool ReadWholeFile(const std::string& path, std::string& bytes, struct stat* st = nullptr);

// 0666 less the process's umask.
mode_t DefaultFileMode();

}  // namespace norvex::platform::posix
