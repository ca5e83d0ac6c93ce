// Benchmark: LoadHistory of a full history (1000 entries of Japanese text) through this build's
// own profile store. Each round first rewrites the file, so that the round pays for reading and
// parsing it as a toolbar starting in a new browser window does; the store then answers the 1000
// reads from its parsed copy. Prints the fastest, median and slowest round in milliseconds.
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

  std::vector<double> times;
  size_t loaded = 0;
  for (int round = 0; round < rounds; ++round) {
    fs::remove(file);
    std::ofstream(file, std::ios::binary) << bytes;
    search::SearchHistory history;
    const auto start = std::chrono::steady_clock::now();
    history.LoadHistory(u"Toolbar", u"TB_");
    const auto end = std::chrono::steady_clock::now();
    loaded = history.items().size();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  std::sort(times.begin(), times.end());
  std::printf("LoadHistory of %zu entries, %d rounds: fastest %.3f ms, median %.3f ms, "
              "slowest %.3f ms\n",
              loaded, rounds, times.front(), times[times.size() / 2], times.back());
  return loaded == 1000 ? 0 : 1;
}
