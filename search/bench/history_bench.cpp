// Benchmark: LoadHistory and SaveHistory of a full history (1000 entries of Japanese text)
// through this build's own profile store.
// - Load: each round first rewrites the file, so that the round pays for reading and parsing it
//   as a toolbar starting in a new browser window does; the store then answers the 1000 reads
//   from its parsed copy.
// - Save: each round loads the file, puts a new query in front (so that every key of the file
//   changes, as after a search in a full history) and writes the whole list back, as the search
//   box does when its window is destroyed.
// Prints the fastest, median and slowest round of each in milliseconds.
//
//   history_bench [ROUNDS]     (default 50)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "search/search_history.h"
#include "storage/data_folders.h"
#include "tests/fake_seams.h"

namespace {

std::string Utf16LeBom(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace norvex;
  namespace fs = std::filesystem;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

  std::random_device random;
  const fs::path folder = fs::temp_directory_path() / ("norvex-bench-" + std::to_string(random()));
  fs::create_directories(folder / "appdata" / "Norvex");
  test::FakeSystemInfo system;
  system.module = (folder / "NorvexToolbar.dll").make_preferred().u16string();
  system.appData = (folder / "appdata").make_preferred().u16string();
  platform::ScopedSeams seams({nullptr, nullptr, &system});

  std::u16string text = u";検索履歴\r\n[Toolbar]\r\n";
  for (int i = 0; i < 1000; ++i) {
    text += u"TB_" + FormatInt(i) + u"=東京 タワー 検索語 " + FormatInt(i) + u"\r\n";
  }
  const std::string bytes = Utf16LeBom(text);
  const fs::path file = folder / "appdata" / "Norvex" / "NorvexHistory.ini";

  auto rewriteFile = [&] {
    fs::remove(file);
    std::ofstream(file, std::ios::binary) << bytes;
  };
  auto report = [](const char* what, size_t entries, int rounds, std::vector<double>& times) {
    std::sort(times.begin(), times.end());
    std::printf("%s of %zu entries: median %.3f ms (%d rounds: fastest %.3f ms, slowest %.3f ms)\n",
                what, entries, times[times.size() / 2], rounds, times.front(), times.back());
  };

  std::vector<double> loadTimes, saveTimes;
  size_t loaded = 0, saved = 0;
  for (int round = 0; round < rounds; ++round) {
    rewriteFile();
    search::SearchHistory history;
    const auto start = std::chrono::steady_clock::now();
    history.LoadHistory(u"Toolbar", u"TB_");
    const auto end = std::chrono::steady_clock::now();
    loaded = history.items().size();
    loadTimes.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  for (int round = 0; round < rounds; ++round) {
    rewriteFile();
    search::SearchHistory history;
    history.LoadHistory(u"Toolbar", u"TB_");
    history.AddHistory(u"新しい 検索語 " + FormatInt(round), false);
    saved = history.items().size();
    const auto start = std::chrono::steady_clock::now();
    history.SaveHistory();
    const auto end = std::chrono::steady_clock::now();
    saveTimes.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  // The last write-back must have reached the file: its newest query is the highest key.
  search::SearchHistory check;
  check.LoadHistory(u"Toolbar", u"TB_");
  const bool savedAll = !check.items().empty() &&
                        check.items().front().text == u"新しい 検索語 " + FormatInt(rounds - 1);
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  report("LoadHistory", loaded, rounds, loadTimes);
  report("SaveHistory", saved, rounds, saveTimes);
  return loaded == 1000 && saved == 1000 && savedAll ? 0 : 1;
}
