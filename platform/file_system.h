// Seam: the few file-system facilities that the toolbar's storage and XML reader need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::platform {

// Attribute bits in the Windows encoding; the POSIX implementation maps onto them.
inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeNormal = 0x80;

enum class ReadResult { kOk, kOpenFailed, kReadFailed };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The platform's path separator: '\\' on Windows, '/' on POSIX.
  virtual char16_t Separator() const = 0;

  // The attributes of a file or folder (GetFileAttributesW); nothing when it cannot be queried,
  // which callers take as "does not exist".
  virtual std::optional<uint32_t> GetAttributes(const std::u16string& path) = 0;

  // Creates one folder (its parent must exist). False when it exists already or cannot be made.
  virtual bool MakeFolder(const std::u16string& path) = 0;

  // Reads a whole file, opened so that others may read it but not write it while we do.
  virtual ReadResult ReadFileShared(const std::u16string& path, std::string& bytes) = 0;

  // Creates a new file holding `bytes` (CreateFileW with CREATE_NEW). A file that exists is left
  // as it is, whoever made it since the caller last looked: false then, as when the file cannot
  // be made or written. Stand-ins that do not need it keep this default, which fails.
  virtual bool CreateFileWithBytes(const std::u16string& path, std::string_view bytes) {
    return false;
  }

  // Deletes one file (DeleteFileW). False when it is missing or cannot be deleted. The default
  // fails, as above.
  virtual bool RemoveFile(const std::u16string& path) { return false; }

  // Removes an empty folder (RemoveDirectoryW). False when it is missing, not empty or cannot
  // be removed. The default fails, as above.
  virtual bool RemoveEmptyFolder(const std::u16string& path) { return false; }

  // Deletes a folder with everything in it, without asking, showing or keeping anything
  // (SHFileOperationW, FO_DELETE, no recycle bin). False when it did not go. The default fails.
  virtual bool DeleteFolderTree(const std::u16string& path) { return false; }
};

}  // namespace norvex::platform
