// The bridge reads framed messages from the browser: a length, then JSON. Whatever the bytes:
// every frame is read or refused as a framing error without reading past the input, every
// message gets answers, and each answer is a JSON object within the browsers' limit. The session
// runs on the sample installation; what it would write stays in memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/bridge_session.h"
#include "bridge/framing.h"
#include "common/text.h"
#include "platform/platform.h"
#include "tools/install_override.h"

namespace {

using namespace norvex;

// INI files in memory: reads of files never written come from nowhere, writes stay here.
class MemoryProfileStore final : public platform::ProfileStore {
 public:
  std::u16string GetString(const std::u16string& path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           size_t capacity) override {
    const auto it = values_.find(Key(path, section, key));
    std::u16string value = it == values_.end() ? std::u16string(defaultValue) : it->second;
    if (capacity > 0 && value.size() >= capacity) value.resize(capacity - 1);
    return value;
  }
  bool WriteString(const std::u16string& path, std::u16string_view section,
                   std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    if (!key) return true;
    if (value) {
      values_[Key(path, section, *key)] = std::u16string(*value);
    } else {
      values_.erase(Key(path, section, *key));
    }
    return true;
  }
  std::vector<std::u16string> GetSectionNames(const std::u16string&) override { return {}; }
  std::vector<std::u16string> GetKeyNames(const std::u16string&, std::u16string_view) override {
    return {};
  }
  void Clear() { values_.clear(); }

 private:
  static std::u16string Key(const std::u16string& path, std::u16string_view section,
                            std::u16string_view key) {
    return path + u'\n' + std::u16string(section) + u'\n' + std::u16string(key);
  }
  std::map<std::u16string, std::u16string> values_;
};

// The real files for reading the catalogue; nothing is made or removed.
class ReadOnlyFiles final : public platform::FileSystem {
 public:
  char16_t Separator() const override { return native_.Separator(); }
  std::optional<uint32_t> GetAttributes(const std::u16string& path) override {
    return native_.GetAttributes(path);
  }
  bool MakeFolder(const std::u16string&) override { return false; }
  platform::ReadResult ReadFileShared(const std::u16string& path, std::string& bytes) override {
    return native_.ReadFileShared(path, bytes);
  }

 private:
  platform::FileSystem& native_ = platform::NativeFileSystem();
};

class NoStarter final : public storage::ProgramStarter {
 public:
  bool Start(const std::u16string&, const std::u16string&) override { return false; }
};

struct Setup {
  Setup()
      : system(Utf8ToUtf16(NORVEX_SAMPLE_INSTALL), u"/nonexistent-norvex-fuzz"),
        seams({&profile, &files, &system}) {}
  MemoryProfileStore profile;
  ReadOnlyFiles files;
  tools::InstallOverride system;
  platform::ScopedSeams seams;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup* setup = new Setup;
  setup->profile.Clear();
  static NoStarter starter;
  bridge::BridgeSession session(starter, "fuzz");
  size_t at = 0;
  bridge::FrameReader reader([&](char* buffer, size_t wanted) {
    const size_t n = std::min(wanted, size - at);
    std::memcpy(buffer, data + at, n);
    at += n;
    return n;
  });
  std::string message;
  for (;;) {
    const bridge::FrameStatus status = reader.Next(message);
    if (at > size) std::abort();
    if (status != bridge::FrameStatus::kMessage) break;
    if (message.empty() || message.size() > bridge::kMaxMessageBytes) std::abort();
    std::vector<std::string> answers;
    session.Handle(message, answers);
    if (answers.empty()) std::abort();
    for (const std::string& answer : answers) {
      if (answer.size() > bridge::kMaxMessageBytes) std::abort();
      const nlohmann::json parsed = nlohmann::json::parse(answer, nullptr, false);
      if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("type")) std::abort();
    }
  }
  return 0;
}
