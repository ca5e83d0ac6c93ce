#include "search/search_history.h"

#include <algorithm>
#include <unordered_set>

#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"
#include "storage/settings.h"

namespace norvex::search {

namespace {

constexpr char16_t kHistoryFileName[] = u"NorvexHistory.ini";

std::u16string KeyOf(std::u16string_view prefix, size_t index) {
  std::u16string key(prefix);
  key += FormatInt(static_cast<long long>(index));
  return key;
}

// A missing history file is made with its comment line first. A file we cannot create is left
// to the profile store, which makes its own.
void CreateIfMissing(const std::u16string& path) {
  platform::Seams& seams = platform::Current();
  if (seams.files->GetAttributes(path)) return;
  std::u16string caption;
  storage::ReadDataString(u"messagecaption", caption);
  seams.files->CreateFileWithBytes(path, HistoryFileHeader(caption));
}

void WriteEntryTo(const std::u16string& path, std::u16string_view section,
                  std::u16string_view key, std::u16string_view value) {
  CreateIfMissing(path);
  platform::Current().profile->WriteString(path, section, key, value);
}

std::u16string ReadEntryFrom(const std::u16string& path, std::u16string_view section,
                             std::u16string_view key) {
  return platform::Current().profile->GetString(path, section, key, u"", kHistoryValueCapacity);
}

}  // namespace

std::optional<std::u16string> GetHistoryFilePath() {
  const auto folder = storage::GetUserDataFolder();
  if (!folder) return std::nullopt;
  return storage::JoinPath(*folder, kHistoryFileName);
}

std::string HistoryFileHeader(std::u16string_view caption) {
  std::u16string line = u"\uFEFF;";
  line += caption;
  line += u"\r\n";
  std::string bytes;
  bytes.reserve(line.size() * 2);
  for (char16_t c : line) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

void WriteHistoryEntry(std::u16string_view section, std::u16string_view key,
                       std::u16string_view value) {
  const auto path = GetHistoryFilePath();
  if (path) WriteEntryTo(*path, section, key, value);
}

std::u16string ReadHistoryEntry(std::u16string_view section, std::u16string_view key) {
  const auto path = GetHistoryFilePath();
  return path ? ReadEntryFrom(*path, section, key) : std::u16string();
}

void SearchHistory::LoadHistory(std::u16string_view section, std::u16string_view prefix) {
  if (section.empty() || prefix.empty()) return;
  items_.clear();
  section_.assign(section);
  prefix_.assign(prefix);
  // The folder is found once for the whole load; the store parses the file once as well.
  const auto path = GetHistoryFilePath();
  if (!path) return;
  // Adding each value to the front, skipping those already listed, leaves the first occurrences
  // in reverse order: built that way directly, so a full file takes linear time, not quadratic.
  std::unordered_set<std::u16string> seen;
  std::vector<std::u16string> values;
  for (size_t index = 0; index < kMaxHistoryEntries; ++index) {
    std::u16string value = ReadEntryFrom(*path, section_, KeyOf(prefix_, index));
    if (value.empty()) break;
    if (seen.insert(value).second) values.push_back(std::move(value));
  }
  items_.reserve(values.size());
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    items_.push_back(ComboItem{std::move(*it)});
  }
}

bool SearchHistory::AddHistory(std::u16string_view text, bool write) {
  if (Find(text) >= 0) return false;
  items_.insert(items_.begin(), ComboItem{std::u16string(text)});
  if (items_.size() > kMaxHistoryEntries) items_.pop_back();
  if (write && !section_.empty()) WriteHistoryEntry(section_, KeyOf(prefix_, items_.size() - 1), text);
  return true;
}

void SearchHistory::SaveHistory() const {
  if (section_.empty() || items_.empty()) return;
  const auto path = GetHistoryFilePath();
  if (!path) return;
  // Oldest first, so that the next load puts the newest at the top again; all keys in one
  // rewrite of the file, as writing them one by one would leave it.
  std::vector<platform::ProfileEntry> entries;
  entries.reserve(items_.size());
  size_t index = 0;
  for (auto it = items_.rbegin(); it != items_.rend(); ++it, ++index) {
    entries.push_back({KeyOf(prefix_, index), it->text});
  }
  CreateIfMissing(*path);
  platform::Current().profile->WriteStrings(*path, section_, entries);
}

void SearchHistory::DeleteHistory() {
  items_.clear();
  if (const auto path = GetHistoryFilePath()) platform::Current().files->RemoveFile(*path);
}

std::vector<ComboItem> SearchHistory::StartingWith(std::u16string_view typed) const {
  std::vector<ComboItem> matches;
  for (const ComboItem& item : items_) {
    if (item.text.compare(0, typed.size(), typed) == 0) matches.push_back(item);
  }
  return matches;
}

int SearchHistory::Find(std::u16string_view text) const {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [&](const ComboItem& item) { return item.text == text; });
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

}  // namespace norvex::search
