#include <sys/stat.h>
#include <unistd.h>

#include "service/tests/file_access.h"

namespace norvex::service::testing {

bool OpenToEveryone(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && ::chmod(path.c_str(), info.st_mode | 0777) == 0;
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool RemoveSymbolicLink(const std::string& link) { return ::unlink(link.c_str()) == 0; }

bool PreferLibraryBesideProgram(const std::string&, const std::string&, bool) { return false; }

std::string HostPath(const std::string& path) { return path; }

}  // namespace norvex::service::testing
