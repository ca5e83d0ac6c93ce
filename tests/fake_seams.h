// In-memory stand-ins for the file-system and system seams, so that tests can put the core on a
// Windows machine's paths (drives, UNC shares, "Roaming") whatever platform they run on.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace norvex::test {

class FakeFileSystem final : public platform::FileSystem {
 public:
  explicit FakeFileSystem(char16_t separator = u'\\') : separator_(separator) {}

  // A folder (with the attribute bits given) or a file with its bytes.
  void AddFolder(const std::u16string& path, uint32_t attributes = platform::kAttributeDirectory);
  void AddFile(const std::u16string& path, std::string bytes);
  // Creation of this path fails.
  void FailCreate(const std::u16string& path) { failCreate_.insert(Normal(path)); }
  // Opening this file fails while it exists (a lock the reader must wait for).
  void FailOpen(const std::u16string& path) { failOpen_.insert(Normal(path)); }
  void Remove(const std::u16string& path);

  bool Exists(const std::u16string& path) const;
  const std::vector<std::u16string>& created() const { return created_; }
  int openAttempts() const { return openAttempts_; }

  char16_t Separator() const override { return separator_; }
  std::optional<uint32_t> GetAttributes(const std::u16string& path) override;
  bool MakeFolder(const std::u16string& path) override;
  platform::ReadResult ReadFileShared(const std::u16string& path, std::string& bytes) override;

 private:
  struct Entry {
    uint32_t attributes;
    std::string bytes;
  };
  // Paths compare without a trailing separator (except roots), as the system does.
  std::u16string Normal(const std::u16string& path) const;

  char16_t separator_;
  mutable std::mutex mutex_;  // tests may remove a file while another thread reads
  std::map<std::u16string, Entry> entries_;
  std::set<std::u16string> failCreate_, failOpen_;
  std::vector<std::u16string> created_;
  int openAttempts_ = 0;
};

// A clock whose time the test sets, in a time zone of a fixed offset without daylight saving.
class FakeClock final : public platform::Clock {
 public:
  int64_t now = 0;
  int offsetSeconds = 0;  // local time minus UTC

  int64_t Now() override { return now; }
  std::optional<platform::LocalTime> ToLocal(int64_t seconds) override;
  std::optional<int64_t> FromLocal(const platform::LocalTime& time) override;
  // The moment of a local time in this clock's zone.
  int64_t At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return *FromLocal({year, month, day, hour, minute, second});
  }
};

class FakeSystemInfo final : public platform::SystemInfo {
 public:
  std::optional<std::u16string> module;
  std::optional<std::u16string> appData;
  unsigned major = 5;

  std::optional<std::u16string> ModuleFileName() override { return module; }
  std::optional<std::u16string> AppDataFolder() override { return appData; }
  unsigned OsMajorVersion() override { return major; }
};

}  // namespace norvex::test
