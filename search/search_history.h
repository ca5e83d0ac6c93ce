// The search history: the queries the user searched for, the newest first, kept in the search
// box and stored per user in "NorvexHistory.ini" (section "Toolbar", keys "TB_0" (oldest) ...).
// Several writers share the file at once (each browser window's search box, the browsers'
// bridge): it is read through the profile store, and changed only by reading it and replacing it
// whole under the folder's write lock, so no writer overwrites another's entries. A new file
// starts as UTF-16LE with a byte-order mark and a comment line ended by CR LF, so that queries in
// any script survive whatever the system's ANSI code page is. Every file operation fails
// silently.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace norvex::search {

// One entry of the search box's list: a text with three flags that the toolbar leaves at 0.
struct ComboItem {
  std::u16string text;
  int disabled = 0;
  int checked = 0;
  int data = 0;
};

// Most entries the list holds; a longer list drops its oldest.
inline constexpr size_t kMaxHistoryEntries = 1000;
// Characters a read value may have: a 260-character buffer with its terminator.
inline constexpr size_t kHistoryValueCapacity = 260;

// The history file's path: the per-user data folder joined with "NorvexHistory.ini"; nothing when
// the folder cannot be determined.
std::optional<std::u16string> GetHistoryFilePath();

// Writes one value to the history file. A missing file is first created with its comment line
// (";" and the "messagecaption" text of "strings.ini"). Nothing happens without a per-user folder.
void WriteHistoryEntry(std::u16string_view section, std::u16string_view key,
                       std::u16string_view value);

// One value of the history file; empty when missing or without a per-user folder.
std::u16string ReadHistoryEntry(std::u16string_view section, std::u16string_view key);

// The bytes a new history file starts with: UTF-16LE, byte-order mark, ";" + caption + CR LF.
std::string HistoryFileHeader(std::u16string_view caption);

// The list and the place in the file it came from.
class SearchHistory {
 public:
  const std::vector<ComboItem>& items() const { return items_; }
  std::vector<ComboItem>& items() { return items_; }
  const std::u16string& section() const { return section_; }
  const std::u16string& prefix() const { return prefix_; }

  // Fills the list from keys prefix+"0", prefix+"1", ... of the section, up to the first empty
  // value or 1000 keys, each added to the front (the newest ends first). Nothing happens when the
  // section or the prefix is empty.
  void LoadHistory(std::u16string_view section, std::u16string_view prefix);

  // Puts the text at the front unless an equal text is listed (then the list does not change);
  // drops the oldest entry past 1000. True when the text was added to the list. With `write`
  // (once a section was loaded), the text is also added to what the file holds now, as its
  // newest entry, unless the file holds an equal text: read and rewritten whole under the
  // folder's write lock, so that no entry another writer (another window, the browsers' bridge)
  // put there is overwritten; a full file drops its oldest. This happens even when the list
  // holds the text already (another writer may have deleted it from the file). A text that
  // could not be written stays for SaveHistory.
  bool AddHistory(std::u16string_view text, bool write);

  // What the search box writes back when it goes: the entries this list added and the file
  // did not get yet (added without `write`, or a failed write), oldest first, after the newest
  // entry the file holds now, in the same locked rewrite; a full file drops its oldest. Every
  // other entry is left as the file holds it now: what other writers added since this list
  // was loaded stays, and what was deleted from the file is not written again. So when another
  // writer deleted the whole history while this list lived, the entries this list wrote before
  // that do not come back, and those it added afterwards (each written as it was added, or
  // added here) survive. The file keeps no mark of a deletion, so an entry added without
  // `write` before it is written too: no entry a person made is lost. Nothing is written when
  // there is nothing to add or no section was loaded.
  void SaveHistory();

  // Empties the list and deletes the history file (every section of it), under the folder's
  // write lock so that no writer's rewrite in progress brings the old file back.
  void DeleteHistory();

  // The entries that start with `typed` exactly (case and width matter), newest first: what the
  // drop-down lists while the user types.
  std::vector<ComboItem> StartingWith(std::u16string_view typed) const;

  // The position of the entry that equals `text` exactly; -1 when none does.
  int Find(std::u16string_view text) const;

 private:
  std::vector<ComboItem> items_;
  std::u16string section_;
  std::u16string prefix_;
  // Texts added to the list that the file has not got from this object yet.
  std::unordered_set<std::u16string> unsaved_;
};

}  // namespace norvex::search
