// The POSIX profile store. Reads go through a cache of parsed files checked against each file's
// identity, size and modification and change times (nanoseconds), so that a caller reading many
// keys parses the file once. Our own writes replace the file (a new inode), so they are always
// seen; another program that rewrote a file in place would have to keep its size and both
// times to the nanosecond for a stale read.
// Writes go through EditIniFile: read-modify-write under the folder's write lock, the file
// replaced by renaming a complete temporary file over it. Readers never see half a file, and
// several processes writing different keys of one file lose none.

#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>

#include "common/text.h"
#include "platform/ini_file.h"
#include "platform/platform.h"
#include "platform/posix/posix_file.h"

namespace norvex::platform {

namespace {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long mtimeSeconds = 0;
  long nanoseconds = 0;
  long long ctimeSeconds = 0;
  long ctimeNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st) {
  return {st.st_dev,
          st.st_ino,
          st.st_size,
          static_cast<long long>(st.st_mtim.tv_sec),
          st.st_mtim.tv_nsec,
          static_cast<long long>(st.st_ctim.tv_sec),
          st.st_ctim.tv_nsec};
}

class PosixProfileStore final : public ProfileStore {
 public:
  std::u16string GetString(const std::u16string& path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           size_t capacity) override {
    std::u16string result;
    const auto ini = Load(path);
    std::optional<std::u16string> value;
    if (ini) value = ini->Get(section, key);
    if (value) {
      result = std::move(*value);
    } else {
      std::u16string_view def = defaultValue;
      while (!def.empty() && def.back() == u' ') def.remove_suffix(1);
      result.assign(def);
    }
    if (capacity == 0) return {};
    if (result.size() > capacity - 1) result.resize(capacity - 1);
    return result;
  }

  bool WriteString(const std::u16string& path, std::u16string_view section,
                   std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    // Deleting from a file that does not exist has nothing to do.
    return Edit(path, value.has_value(), [&](IniText& ini) { return ini.Set(section, key, value); });
  }

  // Every key changed in the one copy that replaces the file: one lock, one parse, one rename,
  // however many keys.
  bool WriteStrings(const std::u16string& path, std::u16string_view section,
                    const std::vector<ProfileEntry>& entries) override {
    if (entries.empty()) return true;
    return Edit(path, true, [&](IniText& ini) { return ini.SetEntries(section, entries); });
  }

  std::vector<std::u16string> GetSectionNames(const std::u16string& path) override {
    const auto ini = Load(path);
    return ini ? ini->SectionNames() : std::vector<std::u16string>{};
  }

  std::vector<std::u16string> GetKeyNames(const std::u16string& path,
                                          std::u16string_view section) override {
    const auto ini = Load(path);
    return ini ? ini->KeyNames(section) : std::vector<std::u16string>{};
  }

 private:
  struct Cached {
    FileStamp stamp;
    std::shared_ptr<const IniText> ini;
  };

  // `edit` changes the parsed file (true when it did); a missing file is made only when
  // `createMissing`. The cached copy goes, whatever happened.
  bool Edit(const std::u16string& path, bool createMissing,
            const std::function<bool(IniText&)>& edit) {
    const bool written = EditIniFile(path, createMissing, edit);
    Forget(Utf16ToUtf8(path));
    return written;
  }

  std::shared_ptr<const IniText> Load(const std::u16string& path) {
    const std::string file = Utf16ToUtf8(path);
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const FileStamp stamp = StampOf(st);
    {
      std::lock_guard<std::mutex> guard(mutex_);
      auto it = cache_.find(file);
      if (it != cache_.end() && it->second.stamp == stamp) return it->second.ini;
    }
    // Read and stamp the same open file, so the stamp belongs to the bytes we parse.
    std::string bytes;
    FileStamp readStamp;
    if (!posix::ReadWholeFile(file, bytes, &st)) return nullptr;
    readStamp = StampOf(st);
    auto ini = std::make_shared<const IniText>(IniText::FromBytes(bytes));
    std::lock_guard<std::mutex> guard(mutex_);
    if (cache_.size() > 64) cache_.clear();
    cache_[file] = Cached{readStamp, ini};
    return ini;
  }

  void Forget(const std::string& file) {
    std::lock_guard<std::mutex> guard(mutex_);
    cache_.erase(file);
  }

  std::mutex mutex_;
  std::map<std::string, Cached> cache_;
};

}  // namespace

ProfileStore& NativeProfileStore() {
  static PosixProfileStore store;
  return store;
}

}  // namespace norvex::platform
