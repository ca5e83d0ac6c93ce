#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "common/text.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/posix/posix_file.h"

namespace norvex::platform {

namespace {

class PosixFileSystem final : public FileSystem {
 public:
  char16_t Separator() const override { return u'/'; }

  std::optional<uint32_t> GetAttributes(const std::u16string& path) override {
    struct stat st {};
    const std::string file = Utf16ToUtf8(path);
    if (::stat(file.c_str(), &st) != 0) return std::nullopt;
    uint32_t attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory : 0;
    if (!S_ISDIR(st.st_mode) && ::access(file.c_str(), W_OK) != 0) {
      attributes |= kAttributeReadOnly;
    }
    return attributes ? attributes : kAttributeNormal;
  }

  bool MakeFolder(const std::u16string& path) override {
    return ::mkdir(Utf16ToUtf8(path).c_str(), 0777) == 0;
  }

  ReadResult ReadFileShared(const std::u16string& path, std::string& bytes) override {
    const std::string file = Utf16ToUtf8(path);
    if (::access(file.c_str(), R_OK) != 0) return ReadResult::kOpenFailed;
    return posix::ReadWholeFile(file, bytes) ? ReadResult::kOk : ReadResult::kReadFailed;
  }

  bool CreateFileWithBytes(const std::u16string& path, std::string_view bytes) override {
    return WriteFileAtomically(path, bytes, ExistingFile::kKeep);
  }

  bool RemoveFile(const std::u16string& path) override {
    return ::unlink(Utf16ToUtf8(path).c_str()) == 0;
  }

  bool RemoveEmptyFolder(const std::u16string& path) override {
    return ::rmdir(Utf16ToUtf8(path).c_str()) == 0;
  }

  bool DeleteFolderTree(const std::u16string& path) override {
    const std::string folder = Utf16ToUtf8(path);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(folder), error);
    return !error;
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace norvex::platform
