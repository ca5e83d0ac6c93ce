// Benchmark: building a toolbar from a 30-agent catalogue (LoadAgents and the first layout at
// 1024 pixels) against only parsing the same XML files with the same reader. Both read the
// files from disk each round, as a toolbar in a new browser window does. Prints the median of
// each and their ratio; the goal is a ratio of at most 2.
//
//   toolbar_bench [ROUNDS]     (default 30)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "catalogue/xml_document.h"
#include "common/text.h"
#include "platform/platform.h"
#include "tests/fake_seams.h"
#include "tests/null_toolbar_actions.h"
#include "toolbar/bench/bench_catalogue.h"
#include "toolbar/headless_surface.h"
#include "toolbar/toolbar_window.h"

namespace {

namespace fs = std::filesystem;
using namespace norvex;

using test::kBenchAgents;

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  std::random_device random;
  const fs::path folder = fs::temp_directory_path() / ("norvex-bench-" + std::to_string(random()));
  const fs::path install = folder / "install";
  test::WriteBenchCatalogue(install);
  fs::create_directories(folder / "appdata");
  test::FakeSystemInfo system;
  system.module = (install / "NorvexToolbar.dll").make_preferred().u16string();
  system.appData = (folder / "appdata").make_preferred().u16string();
  platform::ScopedSeams seams({nullptr, nullptr, &system});

  std::vector<fs::path> files{install / "AgentMaster.xml"};
  for (const auto& file : fs::directory_iterator(install / "Agents")) files.push_back(file.path());

  std::vector<double> parse, build;
  size_t buttons = 0;
  for (int round = 0; round < rounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    for (const fs::path& file : files) {
      catalogue::XmlDocument document;
      if (!document.Load(file.u16string(), false)) return 1;
    }
    parse.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());

    toolbar::HeadlessSurface surface;
    surface.width = surface.parentWidth = 1024;
    test::NullToolbarActions actions;
    toolbar::ToolbarWindow window(surface, actions);
    start = std::chrono::steady_clock::now();
    window.OnCreate();
    window.OnSize(1024);
    build.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    buttons = window.buttons().size();
    window.OnDestroy();
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  const double parseMs = Median(parse), buildMs = Median(build);
  std::printf("%zu files parsed: median %.3f ms; toolbar of %zu buttons built and laid out: "
              "median %.3f ms; ratio %.2f (goal: at most 2)\n",
              files.size(), parseMs, buttons, buildMs, buildMs / parseMs);
  return buttons == static_cast<size_t>(kBenchAgents) ? 0 : 1;
}
