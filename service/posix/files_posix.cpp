// POSIX files, profile files (over the INI text engine and the atomic writer that the toolbar's
// profile store uses too), clock, console and the journal of deferred moves.
#include "service/posix/files_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <thread>

#include "common/text.h"
#include "platform/ini_file.h"
#include "platform/posix/posix_file.h"
#include "service/file_replacement.h"
#include "service/posix/folder_trust_posix.h"
#include "service/posix/posix_paths.h"

namespace norvex::service::posix {

namespace {

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { Close(); }
  bool Write(const char* data, size_t size) override {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        ok_ = false;
        return false;
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  bool Close() override {
    if (fd_ >= 0) {
      if (::close(fd_) != 0) ok_ = false;
      fd_ = -1;
    }
    return ok_;
  }

 private:
  int fd_;
  bool ok_ = true;
};

// The profile file's text, through the engine that also writes it; nothing when it cannot be
// read.
std::optional<platform::IniText> ReadIniText(const std::string& file) {
  std::string bytes;
  if (!platform::posix::ReadWholeFile(NativePath(file), bytes)) return std::nullopt;
  return platform::IniText::FromBytes(bytes);
}

}  // namespace

std::string PosixFiles::ProgramPath() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  return std::string(buffer, static_cast<size_t>(n));
}

bool PosixFiles::IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixFiles::FileExists(const std::string& path) {
  struct stat info;
  return ::stat(NativePath(path).c_str(), &info) == 0;
}

bool PosixFiles::CreateFolder(const std::string& path) {
  return ::mkdir(NativePath(path).c_str(), 0755) == 0;
}

bool PosixFiles::RemoveFile(const std::string& path) {
  return ::unlink(NativePath(path).c_str()) == 0;
}

bool PosixFiles::RenameReplacing(const std::string& from, const std::string& to) {
  return ::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

std::unique_ptr<OutputFile> PosixFiles::CreateOutput(const std::string& path) {
  const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixOutputFile>(fd);
}

bool PosixFiles::ReadWhole(const std::string& path, std::string* bytes) {
  return platform::posix::ReadWholeFile(NativePath(path), *bytes);
}

bool PosixFiles::AppendLogLine(const std::string& path, const std::string& line,
                               std::string* refusal) {
  // The log lies in a folder that everyone can write: neither the folder nor the file may be
  // a symbolic link, and a file that someone else made (or that has another name, a hard
  // link) is not written. O_NONBLOCK keeps a FIFO put in its place from holding us up.
  const auto refuse = [&](std::string reason) {
    if (refusal) *refusal = std::move(reason);
    return false;
  };
  if (refusal) refusal->clear();
  const std::string native = NativePath(path);
  const size_t cut = native.rfind('/');
  const std::string folder =
      cut == std::string::npos ? "." : (cut == 0 ? "/" : native.substr(0, cut));
  const std::string name = cut == std::string::npos ? native : native.substr(cut + 1);
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (directory < 0) {
    return errno == ELOOP || errno == ENOTDIR ? refuse("its folder is a symbolic link") : false;
  }
  const int fd = ::openat(directory, name.c_str(),
                          O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          0644);
  const int open_error = errno;
  ::close(directory);
  if (fd < 0) {
    switch (open_error) {
      case ELOOP:
        return refuse("it is a symbolic link");
      case ENXIO:
      case EISDIR:
      case EWOULDBLOCK:
        return refuse("it is not a plain file");
      // Where the system keeps even root from files that others made in a folder like /tmp
      // (fs.protected_regular), such a file cannot be opened.
      case EACCES:
      case EPERM:
        return refuse(std::string("it cannot be opened: ") + std::strerror(open_error));
      default:
        return false;
    }
  }
  PosixOutputFile out(fd);
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return refuse("it is not a plain file");
  if (info.st_nlink != 1) return refuse("it has more than one name (a hard link)");
  if (info.st_uid != ::geteuid()) {
    return refuse("it belongs to user " + std::to_string(info.st_uid));
  }
  const bool written = out.Write(line.data(), line.size());
  return out.Close() && written;
}

namespace {

std::string FindBelow(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || IsChangeableByUsers(info)) return path;
  if (!S_ISDIR(info.st_mode)) return "";
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) return path;
  std::string found;
  while (found.empty()) {
    const dirent* entry = ::readdir(folder);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    found = FindBelow(path + "/" + name);
  }
  ::closedir(folder);
  return found;
}

}  // namespace

std::string PosixFiles::FindChangeableByUsers(const std::string& folder) {
  // Whoever can rename a folder above could put a folder of their own in this one's place.
  const std::string native = NativePath(folder);
  const std::string above = FindReplaceableParent(native);
  return above.empty() ? FindBelow(native) : above;
}

size_t PosixProfiles::ReadString(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& fallback,
                                 char* buffer, size_t size) {
  if (size == 0) return 0;
  std::string value = fallback;
  if (const auto text = ReadIniText(file)) {
    if (auto found = text->Get(Utf8ToUtf16(section), Utf8ToUtf16(key))) {
      value = Utf16ToUtf8(*found);
    }
  }
  const size_t n = std::min(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n;
}

size_t PosixProfiles::ReadSectionNames(const std::string& file, char* buffer, size_t size) {
  if (size < 2) return 0;
  std::string list;
  if (const auto text = ReadIniText(file)) {
    for (const auto& name : text->SectionNames()) {
      list += Utf16ToUtf8(name);
      list.push_back('\0');
    }
  }
  // As the profile functions do: a list that does not fit is cut and reported as size - 2.
  if (list.size() + 1 > size) {
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
  }
  std::memcpy(buffer, list.data(), list.size());
  buffer[list.size()] = '\0';
  return list.size();
}

// Under the folder's write lock and replaced whole, as the toolbar's profile store writes:
// toolbars read "version.ini" while the service writes it.
bool PosixProfiles::WriteString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) {
  const std::u16string s = Utf8ToUtf16(section), k = Utf8ToUtf16(key), v = Utf8ToUtf16(value);
  return platform::EditIniFile(Utf8ToUtf16(NativePath(file)), true,
                               [&](platform::IniText& text) { return text.Set(s, k, v); });
}

LocalTime PosixClock::Now() {
  LocalTime result;
  const std::time_t now = std::time(nullptr);
  std::tm parts;
  if (::localtime_r(&now, &parts) == nullptr) return result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  return result;
}

uint32_t PosixClock::UptimeMs() {
  struct timespec now;
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  return static_cast<uint32_t>(ms);
}

int64_t PosixClock::UtcSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

void PosixClock::SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void PosixConsole::Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

bool PosixMover::MoveAtRestart(const std::string& source, const std::string& destination) {
  const int fd = ::open(NativePath(journal_).c_str(),
                        O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  PosixOutputFile out(fd);
  const std::string line = JournalLine(NativePath(source), NativePath(destination));
  const bool written = out.Write(line.data(), line.size());
  return out.Close() && written;
}

bool PosixMover::HasShortPath(const std::string& path, size_t) {
  PosixFiles files;
  return files.FileExists(path);
}

}  // namespace norvex::service::posix
