#include "search/search_history.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/text.h"
#include "platform/platform.h"
#include "search/tools/history_sample.h"
#include "storage/data_folders.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::search {
namespace {

using test::ReadBytes;
using test::Utf16LeWithBom;
using test::WriteBytes;

std::vector<std::u16string> Texts(const SearchHistory& history) {
  std::vector<std::u16string> texts;
  for (const auto& item : history.items()) texts.push_back(item.text);
  return texts;
}

// An installation folder with a caption and a per-user folder, in a temporary folder, with this
// platform's own profile store and file system.
class History : public ::testing::Test {
 protected:
  History() : seams_({nullptr, nullptr, &system_}) {
    std::filesystem::create_directories(temp_.path() / "install");
    std::filesystem::create_directories(temp_.path() / "appdata" / "Norvex");
    WriteBytes(temp_.File("install/strings.ini"),
               Utf16LeWithBom(u"[data]\r\nmessagecaption=検索履歴\r\n"));
    system_.module = temp_.File("install/NorvexToolbar.dll");
    system_.appData = temp_.File("appdata");
    storage::ResetVersionCacheForTesting();
  }
  ~History() override { storage::ResetVersionCacheForTesting(); }

  std::u16string File() const { return temp_.File("appdata/Norvex/NorvexHistory.ini"); }
  bool FileExists() const { return std::filesystem::exists(test::FsPath(File())); }
  std::u16string Key(const std::u16string& key) { return ReadHistoryEntry(u"Toolbar", key); }
  // A history file holding these keys of section "Toolbar".
  void WriteFile(const std::vector<std::pair<std::u16string, std::u16string>>& keys) {
    std::u16string text = u"[Toolbar]\r\n";
    for (const auto& [key, value] : keys) text += key + u"=" + value + u"\r\n";
    WriteBytes(File(), Utf16LeWithBom(text));
  }

  test::TempFolder temp_;
  test::FakeSystemInfo system_;
  platform::ScopedSeams seams_;
};

TEST_F(History, FirstSearchCreatesTheFileWithItsCommentLine) {
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  EXPECT_TRUE(history.items().empty());
  EXPECT_FALSE(FileExists());
  EXPECT_TRUE(history.AddHistory(u"テスト", true));
  const std::string bytes = ReadBytes(File());
  const std::string header = HistoryFileHeader(u"検索履歴");
  EXPECT_EQ(header, Utf16LeWithBom(u";検索履歴\r\n"));
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  EXPECT_EQ(Key(u"TB_0"), u"テスト");
  EXPECT_EQ(platform::Current().profile->GetSectionNames(File()),
            std::vector<std::u16string>{u"Toolbar"});
}

TEST_F(History, CommentIsASemicolonAloneWithoutACaption) {
  std::filesystem::remove(temp_.path() / "install" / "strings.ini");
  WriteHistoryEntry(u"Toolbar", u"TB_0", u"q");
  const std::string header = Utf16LeWithBom(u";\r\n");
  EXPECT_EQ(ReadBytes(File()).substr(0, header.size()), header);
  EXPECT_EQ(Key(u"TB_0"), u"q");
}

TEST_F(History, ExistingFileIsNotRecreated) {
  WriteBytes(File(), Utf16LeWithBom(u"[Other]\r\nk=v\r\n"));
  WriteHistoryEntry(u"Toolbar", u"TB_0", u"q");
  EXPECT_EQ(ReadHistoryEntry(u"Other", u"k"), u"v");
  EXPECT_EQ(Key(u"TB_0"), u"q");
  EXPECT_EQ(ReadBytes(File()).find(';'), std::string::npos);
}

TEST_F(History, RepeatedQueryKeepsItsPlace) {
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  EXPECT_TRUE(history.AddHistory(u"abc", true));
  EXPECT_TRUE(history.AddHistory(u"xyz", true));
  EXPECT_FALSE(history.AddHistory(u"abc", true));
  EXPECT_TRUE(history.AddHistory(u"ABC", false));  // case matters
  EXPECT_EQ(Texts(history), (std::vector<std::u16string>{u"ABC", u"xyz", u"abc"}));
  EXPECT_EQ(Key(u"TB_0"), u"abc");
  EXPECT_EQ(Key(u"TB_1"), u"xyz");
  EXPECT_EQ(Key(u"TB_2"), u"");
}

TEST_F(History, LoadPutsTheNewestFirstAndStopsAtAGap) {
  WriteFile({{u"TB_0", u"one"}, {u"TB_1", u"two"}, {u"TB_3", u"four"}});
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  EXPECT_EQ(Texts(history), (std::vector<std::u16string>{u"two", u"one"}));
  EXPECT_EQ(history.section(), u"Toolbar");
  EXPECT_EQ(history.prefix(), u"TB_");
}

TEST_F(History, LoadWithoutSectionOrPrefixChangesNothing) {
  WriteFile({{u"TB_0", u"one"}});
  SearchHistory history;
  history.AddHistory(u"kept", false);
  history.LoadHistory(u"", u"TB_");
  history.LoadHistory(u"Toolbar", u"");
  EXPECT_EQ(Texts(history), std::vector<std::u16string>{u"kept"});
  EXPECT_EQ(history.section(), u"");
}

TEST_F(History, DuplicatesInTheFileLoadOnceAndWriteBackLeavesHigherKeys) {
  WriteFile({{u"TB_0", u"same"}, {u"TB_1", u"other"}, {u"TB_2", u"same"}});
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  EXPECT_EQ(Texts(history), (std::vector<std::u16string>{u"other", u"same"}));
  history.SaveHistory();
  EXPECT_EQ(Key(u"TB_0"), u"same");
  EXPECT_EQ(Key(u"TB_1"), u"other");
  EXPECT_EQ(Key(u"TB_2"), u"same");
  EXPECT_EQ(Texts(history), (std::vector<std::u16string>{u"other", u"same"}));
}

TEST_F(History, FullListDropsTheOldestAndWritesUnderTheLastKey) {
  std::vector<std::pair<std::u16string, std::u16string>> keys;
  for (int i = 0; i < 1001; ++i) {
    keys.emplace_back(u"TB_" + FormatInt(i), u"q" + FormatInt(i));
  }
  WriteFile(keys);
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  ASSERT_EQ(history.items().size(), kMaxHistoryEntries);  // TB_1000 is never read
  EXPECT_EQ(history.items().front().text, u"q999");
  EXPECT_EQ(history.items().back().text, u"q0");
  EXPECT_TRUE(history.AddHistory(u"new", true));
  ASSERT_EQ(history.items().size(), kMaxHistoryEntries);
  EXPECT_EQ(history.items().front().text, u"new");
  EXPECT_EQ(history.items().back().text, u"q1");
  EXPECT_EQ(Key(u"TB_999"), u"new");
  history.SaveHistory();
  EXPECT_EQ(Key(u"TB_0"), u"q1");
  EXPECT_EQ(Key(u"TB_998"), u"q999");
  EXPECT_EQ(Key(u"TB_999"), u"new");
  EXPECT_EQ(Key(u"TB_1000"), u"q1000");
}

// The platform's store, counting the writes that reach it.
class CountingStore final : public platform::ProfileStore {
 public:
  int singleWrites = 0;
  int batchWrites = 0;
  std::u16string GetString(const std::u16string& path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           size_t capacity) override {
    return platform::NativeProfileStore().GetString(path, section, key, defaultValue, capacity);
  }
  bool WriteString(const std::u16string& path, std::u16string_view section,
                   std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    ++singleWrites;
    return platform::NativeProfileStore().WriteString(path, section, key, value);
  }
  bool WriteStrings(const std::u16string& path, std::u16string_view section,
                    const std::vector<platform::ProfileEntry>& entries) override {
    ++batchWrites;
    return platform::NativeProfileStore().WriteStrings(path, section, entries);
  }
  std::vector<std::u16string> GetSectionNames(const std::u16string& path) override {
    return platform::NativeProfileStore().GetSectionNames(path);
  }
  std::vector<std::u16string> GetKeyNames(const std::u16string& path,
                                          std::u16string_view section) override {
    return platform::NativeProfileStore().GetKeyNames(path, section);
  }
};

// A window closing with a full history rewrites the file once, not once per entry.
TEST_F(History, WriteBackIsOneRewriteOfTheFile) {
  std::vector<std::pair<std::u16string, std::u16string>> keys;
  for (int i = 0; i < 1000; ++i) keys.emplace_back(u"TB_" + FormatInt(i), u"q" + FormatInt(i));
  WriteFile(keys);
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  history.AddHistory(u"newest", false);  // every entry moves one key down
  CountingStore store;
  {
    platform::ScopedSeams counted({&store, nullptr, nullptr});
    history.SaveHistory();
  }
  EXPECT_EQ(store.singleWrites, 0);
  EXPECT_EQ(Key(u"TB_0"), u"q1");
  EXPECT_EQ(Key(u"TB_998"), u"q999");
  EXPECT_EQ(Key(u"TB_999"), u"newest");
}

// Several writers of one file at once: windows "A" and "B" (search boxes that live long), and
// "X", the bridge, which loads, adds and drops a list per search or deletes the whole history.
struct WriterStep {
  char writer;  // 'A', 'B' or 'X'
  enum Op { kLoad, kAdd, kAddUnwritten, kSave, kDelete } op;
  const char16_t* text = u"";
};

struct SharedFileCase {
  const char* name;
  std::vector<const char16_t*> fileBefore;  // oldest first
  std::vector<WriterStep> steps;
  std::vector<std::u16string> fileAfter;  // oldest first
  std::vector<std::u16string> shownByA;   // newest first
};

void PrintTo(const SharedFileCase& c, std::ostream* os) { *os << c.name; }

using S = WriterStep;
const SharedFileCase kSharedFileCases[] = {
    {"TwoWindowsAddWithoutOverwritingEachOther",
     {},
     {{'A', S::kLoad}, {'B', S::kLoad}, {'A', S::kAdd, u"a"}, {'B', S::kAdd, u"b"}},
     {u"a", u"b"},
     {u"a"}},
    {"BridgeEntryKeptByAWindowsSearchAndItsClose",
     {u"x"},
     {{'A', S::kLoad}, {'X', S::kAdd, u"b"}, {'A', S::kAdd, u"a"}, {'A', S::kSave}},
     {u"x", u"b", u"a"},
     {u"a", u"x"}},
    {"ClosingWindowKeepsTheOtherWindowsEntries",
     {},
     {{'A', S::kLoad},
      {'B', S::kLoad},
      {'B', S::kAdd, u"b"},
      {'B', S::kSave},
      {'A', S::kAddUnwritten, u"a"},
      {'A', S::kSave}},
     {u"b", u"a"},
     {u"a"}},
    {"TextTheFileHoldsIsNotAddedTwice",
     {},
     {{'A', S::kLoad},
      {'B', S::kLoad},
      {'B', S::kAdd, u"q"},
      {'B', S::kAdd, u"r"},
      {'A', S::kAdd, u"s"},
      {'A', S::kAdd, u"q"},
      {'A', S::kSave},
      {'B', S::kSave}},
     {u"q", u"r", u"s"},
     {u"q", u"s"}},
    {"BridgeDeletionIsNotUndoneByAClosingWindow",
     {u"x", u"y"},
     {{'A', S::kLoad}, {'X', S::kDelete}, {'X', S::kAdd, u"b"}, {'A', S::kSave}},
     {u"b"},
     {u"y", u"x"}},
    {"AfterAnotherWritersDeletionOnlyNewerEntriesSurvive",
     {u"x"},
     {{'A', S::kLoad},
      {'A', S::kAdd, u"a"},
      {'X', S::kDelete},
      {'A', S::kAdd, u"c"},
      {'A', S::kAddUnwritten, u"d"},
      {'A', S::kAdd, u"x"},  // searched again after the deletion: listed already, written again
      {'A', S::kSave}},
     {u"c", u"x", u"d"},
     {u"d", u"c", u"a", u"x"}},
    {"DeletionInOneWindowIsNotUndoneByTheOther",
     {u"x"},
     {{'A', S::kLoad},
      {'B', S::kLoad},
      {'A', S::kDelete},
      {'B', S::kAdd, u"b"},
      {'B', S::kSave},
      {'A', S::kSave}},
     {u"b"},
     {}},
};

class SharedFile : public History, public ::testing::WithParamInterface<SharedFileCase> {};

TEST_P(SharedFile, NoWriterLosesAnotherWritersEntries) {
  const SharedFileCase& c = GetParam();
  std::vector<std::pair<std::u16string, std::u16string>> keys;
  for (size_t i = 0; i < c.fileBefore.size(); ++i) {
    keys.emplace_back(u"TB_" + FormatInt(static_cast<long long>(i)), c.fileBefore[i]);
  }
  if (!keys.empty()) WriteFile(keys);
  SearchHistory a, b;
  for (const WriterStep& step : c.steps) {
    SearchHistory bridge;
    SearchHistory& h = step.writer == 'A' ? a : step.writer == 'B' ? b : bridge;
    if (step.writer == 'X') bridge.LoadHistory(u"Toolbar", u"TB_");
    switch (step.op) {
      case WriterStep::kLoad:
        h.LoadHistory(u"Toolbar", u"TB_");
        break;
      case WriterStep::kAdd:
        h.AddHistory(step.text, true);
        break;
      case WriterStep::kAddUnwritten:
        h.AddHistory(step.text, false);
        break;
      case WriterStep::kSave:
        h.SaveHistory();
        break;
      case WriterStep::kDelete:
        h.DeleteHistory();
        break;
    }
  }
  std::vector<std::u16string> file;
  for (int i = 0; i < 10; ++i) {
    std::u16string value = Key(u"TB_" + FormatInt(i));
    if (value.empty()) break;
    file.push_back(value);
  }
  EXPECT_EQ(file, c.fileAfter);
  EXPECT_EQ(Texts(a), c.shownByA);
}

INSTANTIATE_TEST_SUITE_P(Writers, SharedFile, ::testing::ValuesIn(kSharedFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A history file that another program wrote in UTF-8 is changed through the profile store, with
// the same result, and keeps its encoding.
TEST_F(History, FileNotInUtf16KeepsEveryWritersEntries) {
  WriteBytes(File(), "[Toolbar]\r\nTB_0=x\r\n");
  SearchHistory window, other;
  window.LoadHistory(u"Toolbar", u"TB_");
  other.LoadHistory(u"Toolbar", u"TB_");
  other.AddHistory(u"b", true);
  window.AddHistory(u"a", true);
  window.AddHistory(u"c", false);
  window.SaveHistory();
  EXPECT_EQ(Key(u"TB_0"), u"x");
  EXPECT_EQ(Key(u"TB_1"), u"b");
  EXPECT_EQ(Key(u"TB_2"), u"a");
  EXPECT_EQ(Key(u"TB_3"), u"c");
  EXPECT_EQ(ReadBytes(File()).substr(0, 9), "[Toolbar]");
}

// A full file stays full when two writers add to it: each drops the oldest entry then.
TEST_F(History, FullFileSharedByTwoWritersDropsTheOldest) {
  std::vector<std::pair<std::u16string, std::u16string>> keys;
  for (int i = 0; i < 1000; ++i) keys.emplace_back(u"TB_" + FormatInt(i), u"q" + FormatInt(i));
  WriteFile(keys);
  SearchHistory window;
  window.LoadHistory(u"Toolbar", u"TB_");
  SearchHistory bridge;
  bridge.LoadHistory(u"Toolbar", u"TB_");
  bridge.AddHistory(u"b", true);
  window.AddHistory(u"a", true);
  window.SaveHistory();
  EXPECT_EQ(Key(u"TB_0"), u"q2");
  EXPECT_EQ(Key(u"TB_997"), u"q999");
  EXPECT_EQ(Key(u"TB_998"), u"b");
  EXPECT_EQ(Key(u"TB_999"), u"a");
}

TEST_F(History, ReadValuesStopAt259Characters) {
  WriteFile({{u"TB_0", std::u16string(300, u'x')}});
  EXPECT_EQ(Key(u"TB_0"), std::u16string(259, u'x'));
}

TEST_F(History, DeleteEmptiesTheListAndRemovesTheFile) {
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  history.AddHistory(u"abc", true);
  WriteBytes(File(), ReadBytes(File()) + Utf16LeWithBom(u"[Else]\r\nk=v\r\n").substr(2));
  history.DeleteHistory();
  EXPECT_TRUE(history.items().empty());
  EXPECT_FALSE(FileExists());
  history.SaveHistory();
  EXPECT_FALSE(FileExists());
  history.AddHistory(u"again", true);  // a new file with its comment line
  EXPECT_EQ(ReadBytes(File()).substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(Key(u"TB_0"), u"again");
}

TEST_F(History, NothingHappensWithoutAPerUserFolder) {
  system_.appData.reset();
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  EXPECT_TRUE(history.AddHistory(u"abc", true));
  history.SaveHistory();
  history.DeleteHistory();
  EXPECT_EQ(Key(u"TB_0"), u"");
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "appdata" / "Norvex" / "NorvexHistory.ini"));
}

TEST_F(History, AddBeforeAnyLoadWritesNothing) {
  SearchHistory history;
  EXPECT_TRUE(history.AddHistory(u"abc", true));
  EXPECT_FALSE(FileExists());
}

// The distinct sample queries, newest first, as a load of the sample file gives them.
std::vector<std::u16string> ExpectedSampleList() {
  std::vector<std::u16string> list;
  for (const auto& query : tools::SampleQueries()) {
    if (std::find(list.begin(), list.end(), query) == list.end()) list.insert(list.begin(), query);
  }
  return list;
}

class HistorySample : public History, public ::testing::WithParamInterface<const char*> {};

// Each platform reads the file that the other wrote, and can go on writing it.
TEST_P(HistorySample, LoadsAndExtends) {
  const std::string bytes = ReadBytes(test::SourceFolder() + u"/search/testdata/" +
                                      Utf8ToUtf16(GetParam()));
  ASSERT_FALSE(bytes.empty());
  WriteBytes(File(), bytes);
  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  EXPECT_EQ(Texts(history), ExpectedSampleList());
  EXPECT_TRUE(history.AddHistory(u"追加 ①", true));
  history.SaveHistory();
  SearchHistory again;
  again.LoadHistory(u"Toolbar", u"TB_");
  std::vector<std::u16string> expected = ExpectedSampleList();
  expected.insert(expected.begin(), u"追加 ①");
  EXPECT_EQ(Texts(again), expected);
  const std::string written = ReadBytes(File());
  const std::string header = HistoryFileHeader(tools::SampleCaption());
  EXPECT_EQ(written.substr(0, header.size()), header);
}

INSTANTIATE_TEST_SUITE_P(Files, HistorySample,
                         ::testing::Values("history_wine.ini", "history_posix.ini"));

// The checked-in file of this platform is what this build writes now.
TEST(HistorySampleFile, MatchesWhatThisPlatformWrites) {
#ifdef _WIN32
  const std::u16string name = u"history_wine.ini";
#else
  const std::u16string name = u"history_posix.ini";
#endif
  test::TempFolder temp;
  const std::string written = tools::WriteHistorySample(temp.path());
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written, ReadBytes(test::SourceFolder() + u"/search/testdata/" + name));
}

}  // namespace
}  // namespace norvex::search
