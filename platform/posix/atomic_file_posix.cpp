// The POSIX atomic writer: mkstemp beside the target, write, fsync, rename (or link for a file
// that must not exist yet), fsync of the folder; flock on the folder for writers.

#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/text.h"
#include "platform/posix/posix_file.h"

namespace norvex::platform {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The new name is on the disk only once the folder is: after a power loss the folder names the
// old file or the new one. A file system that cannot sync a folder has nothing more to give;
// the file itself is in place either way, so this does not fail the write.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

WholeFileRead ReadWholeFile(const std::u16string& path, std::string& bytes) {
  const std::string file = Utf16ToUtf8(path);
  if (posix::ReadWholeFile(file, bytes)) return WholeFileRead::kRead;
  struct stat st {};
  return ::stat(file.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)
             ? WholeFileRead::kMissing
             : WholeFileRead::kFailed;
}

bool WriteFileAtomically(const std::u16string& path, std::string_view bytes,
                         ExistingFile existing) {
  const std::string file = Utf16ToUtf8(path);
  struct stat st {};
  const mode_t mode = existing == ExistingFile::kReplace && ::stat(file.c_str(), &st) == 0
                          ? (st.st_mode & 07777)
                          : posix::DefaultFileMode();
  std::string temp = file + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // The data reaches the disk before the new name does: after a power loss the file is the old
  // one or the new one, never empty.
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && existing == ExistingFile::kReplace) {
    ok = ::rename(temp.c_str(), file.c_str()) == 0;
  } else if (ok) {
    // A second name for the complete file, which link refuses to give when the name is taken.
    ok = ::link(temp.c_str(), file.c_str()) == 0;
  }
  if (!ok || existing == ExistingFile::kKeep) ::unlink(temp.c_str());
  if (ok) SyncFolder(posix::ParentFolder(file));
  return ok;
}

struct FolderWriteLock::Held {
  explicit Held(int folder) : fd(folder) {}
  ~Held() { ::close(fd); }  // closing releases the lock
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  const int fd;
};

FolderWriteLock::FolderWriteLock(const std::u16string& file) {
  const int fd =
      ::open(posix::ParentFolder(Utf16ToUtf8(file)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  auto held = std::make_unique<Held>(fd);
  // Anyone who may read the folder may lock it: the wait is bounded, so that a lock that is
  // never given back fails our write instead of stopping us.
  unsigned waited_ms = 0;
  for (unsigned pause_ms = 1;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || waited_ms >= kFolderLockWaitMs) return;
    ::usleep(pause_ms * 1000);
    waited_ms += pause_ms;
    pause_ms = std::min(pause_ms * 2, 16u);
  }
  held_ = std::move(held);
}

FolderWriteLock::~FolderWriteLock() = default;

}  // namespace norvex::platform
