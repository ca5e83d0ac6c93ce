#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace norvex::platform {

namespace {

using win32::W;

class WinFileSystem final : public FileSystem {
 public:
  char16_t Separator() const override { return u'\\'; }

  std::optional<uint32_t> GetAttributes(const std::u16string& path) override {
    const DWORD attributes = ::GetFileAttributesW(W(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
  }

  bool MakeFolder(const std::u16string& path) override {
    return ::CreateDirectoryW(W(path), nullptr) != FALSE;
  }

  ReadResult ReadFileShared(const std::u16string& path, std::string& bytes) override {
    win32::ScopedKernelHandle file(::CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return ReadResult::kOpenFailed;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) {
      return ReadResult::kReadFailed;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD read = 0;
      if (!::ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                      &read, nullptr)) {
        return ReadResult::kReadFailed;
      }
      if (read == 0) break;
      done += read;
    }
    bytes.resize(done);
    return ReadResult::kOk;
  }

  // Written whole beside it and moved into place, so that a reader never meets half of it.
  bool CreateFileWithBytes(const std::u16string& path, std::string_view bytes) override {
    return WriteFileAtomically(path, bytes, ExistingFile::kKeep);
  }

  bool RemoveFile(const std::u16string& path) override { return ::DeleteFileW(W(path)) != FALSE; }

  bool RemoveEmptyFolder(const std::u16string& path) override {
    return ::RemoveDirectoryW(W(path)) != FALSE;
  }

  // The shell's delete: no owner window, the folder as the only source (a list ending in two
  // null characters), no progress, no question, no error box, and no recycle bin.
  bool DeleteFolderTree(const std::u16string& path) override {
    std::u16string from = path;
    from.push_back(u'\0');  // the second terminator comes from c_str()
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = W(from);
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return ::SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static WinFileSystem files;
  return files;
}

}  // namespace norvex::platform
