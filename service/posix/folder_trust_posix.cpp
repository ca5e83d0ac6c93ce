#include "service/posix/folder_trust_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace norvex::service::posix {

bool IsTrustedOwner(uid_t owner) { return owner == 0 || owner == ::geteuid(); }

namespace {

bool GroupIsTrusted(gid_t group) { return group == 0 || group == ::getegid(); }

}  // namespace

bool IsChangeableByUsers(const struct stat& info) {
  return S_ISLNK(info.st_mode) || !IsTrustedOwner(info.st_uid) || (info.st_mode & S_IWOTH) ||
         ((info.st_mode & S_IWGRP) && !GroupIsTrusted(info.st_gid));
}

bool LetsUsersReplaceEntries(const struct stat& info) {
  if (S_ISLNK(info.st_mode) || !IsTrustedOwner(info.st_uid)) return true;
  const bool writable =
      (info.st_mode & S_IWOTH) || ((info.st_mode & S_IWGRP) && !GroupIsTrusted(info.st_gid));
  return writable && !(info.st_mode & S_ISVTX);
}

std::string FindReplaceableParent(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  // Every folder from the root down to the last separator.
  for (size_t end = 0; end != std::string::npos && end + 1 < path.size();
       end = path.find('/', end + 1)) {
    const std::string folder = end == 0 ? "/" : path.substr(0, end);
    struct stat info;
    if (::lstat(folder.c_str(), &info) != 0 || LetsUsersReplaceEntries(info)) return folder;
  }
  return "";
}

std::string StateFolderRefusal(const struct stat& info) {
  if (!S_ISDIR(info.st_mode)) return "it is not a folder";
  if (!IsTrustedOwner(info.st_uid)) {
    return "it belongs to user " + std::to_string(info.st_uid) + ", not to root";
  }
  if (info.st_mode & (S_IWGRP | S_IWOTH)) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::string("its group or others may write it (mode ") + mode + ")";
  }
  return "";
}

std::unique_ptr<StateFolder> StateFolder::Open(const StateFolder* parent, const std::string& name,
                                               bool create, std::string* refusal) {
  const int at = parent ? parent->fd_ : AT_FDCWD;
  const std::string path = parent ? parent->path_ + "/" + name : name;
  if (!parent) {
    const std::string above = FindReplaceableParent(path);
    if (!above.empty()) {
      *refusal = "users other than root can replace the folder " + above + " above it";
      return nullptr;
    }
  }
  if (create && ::mkdirat(at, name.c_str(), 0755) != 0 && errno != EEXIST) {
    *refusal = std::string("it cannot be made: ") + std::strerror(errno);
    return nullptr;
  }
  const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    refusal->clear();
    return nullptr;
  }
  if (fd < 0) {
    *refusal = errno == ELOOP || errno == ENOTDIR
                   ? "it is a symbolic link or not a folder"
                   : std::string("it cannot be opened: ") + std::strerror(errno);
    return nullptr;
  }
  struct stat info;
  *refusal =
      ::fstat(fd, &info) != 0 ? std::string("it cannot be examined") : StateFolderRefusal(info);
  if (!refusal->empty()) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<StateFolder>(new StateFolder(fd, path));
}

StateFolder::~StateFolder() { ::close(fd_); }

std::string StateFolder::Read(const std::string& name) const {
  // O_NONBLOCK: a FIFO in the file's place does not hold the reader up.
  const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "";
  std::string text;
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    char buffer[4096];
    // The stand-in's files hold a few lines; more is not one of ours.
    for (ssize_t n; text.size() < 65536 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
      text.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return text;
}

long long StateFolder::ModifiedAt(const std::string& name) const {
  struct stat info;
  if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
    return 0;
  }
  return static_cast<long long>(info.st_mtime);
}

bool StateFolder::Exists(const std::string& name) const {
  struct stat info;
  return ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool StateFolder::Write(const std::string& name, const std::string& text) const {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".new-%016llx", static_cast<unsigned long long>(random()));
    const std::string temporary = name + suffix;
    const int fd = ::openat(fd_, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    // rename replaces whatever has the name, a link included, and never follows it.
    ok = ok && ::renameat(fd_, temporary.c_str(), fd_, name.c_str()) == 0;
    if (!ok) ::unlinkat(fd_, temporary.c_str(), 0);
    return ok;
  }
  return false;
}

bool StateFolder::Remove(const std::string& name) const {
  return ::unlinkat(fd_, name.c_str(), 0) == 0;
}

void StateFolder::RemoveWithFiles() const {
  const int listing = ::dup(fd_);
  if (listing < 0) return;
  DIR* folder = ::fdopendir(listing);
  if (folder == nullptr) {
    ::close(listing);
    return;
  }
  ::rewinddir(folder);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(folder);
  for (const std::string& name : names) ::unlinkat(fd_, name.c_str(), 0);
  ::rmdir(path_.c_str());
}

}  // namespace norvex::service::posix
