#include "search/search_history.h"

#include <algorithm>
#include <unordered_set>

#include "common/text.h"
#include "platform/atomic_file.h"
#include "platform/ini_file.h"
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

// The list as the file holds it: the values of prefix+"0" onwards, oldest first, up to the first
// empty one or 1000 keys, each cut as a read cuts it. `read` gives the value of one key.
template <typename Read>
std::vector<std::u16string> ReadFileList(std::u16string_view prefix, Read read) {
  std::vector<std::u16string> list;
  for (size_t index = 0; index < kMaxHistoryEntries; ++index) {
    std::u16string value = read(KeyOf(prefix, index));
    if (value.size() >= kHistoryValueCapacity) value.resize(kHistoryValueCapacity - 1);
    if (value.empty()) break;
    list.push_back(std::move(value));
  }
  return list;
}

// Puts each of `texts` (oldest first) that `list` does not hold at its end, dropping the oldest
// past 1000. True when the list changed.
bool AppendMissing(std::vector<std::u16string>& list, const std::vector<std::u16string>& texts) {
  std::unordered_set<std::u16string> held(list.begin(), list.end());
  bool changed = false;
  for (const std::u16string& text : texts) {
    if (!held.insert(text).second) continue;
    list.push_back(text);
    changed = true;
  }
  if (list.size() > kMaxHistoryEntries) list.erase(list.begin(), list.end() - kMaxHistoryEntries);
  return changed;
}

std::vector<platform::ProfileEntry> EntriesOf(std::u16string_view prefix,
                                              const std::vector<std::u16string>& list) {
  std::vector<platform::ProfileEntry> entries;
  entries.reserve(list.size());
  for (size_t index = 0; index < list.size(); ++index) {
    entries.push_back({KeyOf(prefix, index), list[index]});
  }
  return entries;
}

// Adds `texts` (oldest first) to the list the file holds now, after its newest entry, in one
// read-modify-write under the folder's write lock: what other writers (other windows, the
// browsers' bridge) put there meanwhile stays, and a text the file holds already is not added
// again. True when the file holds every text afterwards.
bool AddToFile(const std::u16string& path, std::u16string_view section, std::u16string_view prefix,
               const std::vector<std::u16string>& texts) {
  // A file that is not UTF-16 was not made by us; the system reads it in its ANSI code page,
  // which only the profile store knows, so it is changed through the store instead.
  bool otherEncoding = false;
  // The file is created with its comment line outside the lock; a deletion between that and
  // the edit is retried.
  for (int attempt = 0; attempt < 3; ++attempt) {
    CreateIfMissing(path);
    bool edited = false;
    const bool written = platform::EditIniFile(path, false, [&](platform::IniText& ini) {
      edited = true;
      if (ini.encoding() != platform::IniEncoding::kUtf16LeBom) {
        otherEncoding = true;
        return false;
      }
      std::vector<std::u16string> list = ReadFileList(prefix, [&](const std::u16string& key) {
        return ini.Get(section, key).value_or(std::u16string());
      });
      return AppendMissing(list, texts) && ini.SetEntries(section, EntriesOf(prefix, list));
    });
    if (otherEncoding) break;
    // Not edited but "written": the file went before the lock was taken. Not written: the
    // lock or the file could not be had, and waiting again would only hold the caller up.
    if (edited || !written) return written && edited;
  }
  if (!otherEncoding) return false;
  std::vector<std::u16string> list = ReadFileList(
      prefix, [&](const std::u16string& key) { return ReadEntryFrom(path, section, key); });
  if (!AppendMissing(list, texts)) return true;
  return platform::Current().profile->WriteStrings(path, section, EntriesOf(prefix, list));
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
  unsaved_.clear();
  section_.assign(section);
  prefix_.assign(prefix);
  // The folder is found once for the whole load; the store parses the file once as well.
  const auto path = GetHistoryFilePath();
  if (!path) return;
  // Adding each value to the front, skipping those already listed, leaves the first occurrences
  // in reverse order: built that way directly, so a full file takes linear time, not quadratic.
  std::unordered_set<std::u16string> seen;
  std::vector<std::u16string> values;
  for (std::u16string& value : ReadFileList(prefix_, [&](const std::u16string& key) {
         return ReadEntryFrom(*path, section_, key);
       })) {
    if (seen.insert(value).second) values.push_back(std::move(value));
  }
  items_.reserve(values.size());
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    items_.push_back(ComboItem{std::move(*it)});
  }
}

bool SearchHistory::AddHistory(std::u16string_view text, bool write) {
  const bool added = Find(text) < 0;
  if (added) {
    items_.insert(items_.begin(), ComboItem{std::u16string(text)});
    if (items_.size() > kMaxHistoryEntries) items_.pop_back();
    unsaved_.insert(std::u16string(text));
  }
  // A text already listed is still written: another writer may have deleted it from the file.
  if (write && !section_.empty()) {
    const auto path = GetHistoryFilePath();
    if (path && AddToFile(*path, section_, prefix_, {std::u16string(text)})) {
      unsaved_.erase(std::u16string(text));
    }
  }
  return added;
}

void SearchHistory::SaveHistory() {
  if (section_.empty() || unsaved_.empty()) return;
  const auto path = GetHistoryFilePath();
  if (!path) return;
  // Only what this list added and the file never got, oldest first, after what the file holds
  // now: entries others added stay, entries deleted from the file do not come back.
  std::vector<std::u16string> texts;
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if (unsaved_.count(it->text)) texts.push_back(it->text);
  }
  if (texts.empty() || AddToFile(*path, section_, prefix_, texts)) unsaved_.clear();
}

void SearchHistory::DeleteHistory() {
  items_.clear();
  unsaved_.clear();
  const auto path = GetHistoryFilePath();
  if (!path) return;
  // Under the writers' lock, so that no read-modify-write in progress puts the old list back.
  platform::FolderWriteLock lock(*path);
  platform::Current().files->RemoveFile(*path);
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
