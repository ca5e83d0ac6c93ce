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
#include "toolbar/headless_surface.h"
#include "toolbar/toolbar_window.h"

namespace {

namespace fs = std::filesystem;
using namespace norvex;

constexpr int kAgents = 30;

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

// A catalogue as a distributor writes one: settings, search with engines, a grip, and agents
// with Japanese captions, a third of them with menus.
void WriteCatalogue(const fs::path& install) {
  fs::create_directories(install / "Agents");
  std::string master = "<agents>";
  auto entry = [&](const std::string& type, const std::string& id) {
    master += "<agent><type>" + type + "</type><id>" + id + "</id><xml>" + id + ".xml</xml></agent>";
  };
  entry("settings", "settings");
  Write(install / "Agents" / "settings.xml",
        "<agent><name>Settings</name><ui><caption>設定</caption><image>239</image>"
        "<size>56</size></ui><onclick>options</onclick></agent>");
  entry("search", "search");
  std::string engines;
  for (int i = 0; i < 5; ++i) {
    engines += "<item><name>エンジン" + std::to_string(i) + "</name><type>search</type><action>"
               "http://search" + std::to_string(i) + ".example/?q={query}</action>"
               "<encoding>UTF-8</encoding></item>";
  }
  Write(install / "Agents" / "search.xml",
        "<agent><name>Search</name><ui><caption>検索</caption><image>233</image><size>60</size>"
        "</ui><onclick>http://search.example/?q={query}</onclick><encoding>UTF-8</encoding>"
        "<type>splitmenu</type><menu>" + engines + "</menu></agent>");
  master += "<agent><type>resize</type></agent>";
  for (int i = 0; i < kAgents - 2; ++i) {
    const std::string id = "agent" + std::to_string(i);
    entry("custom", id);
    std::string menu;
    if (i % 3 == 0) {
      menu = "<type>menu</type><menu>";
      for (int j = 0; j < 6; ++j) {
        menu += "<item><name>項目" + std::to_string(j) + "</name><action>http://agent.example/" +
                std::to_string(j) + "?q={query}</action><encoding>ShiftJIS</encoding></item>";
      }
      menu += "</menu>";
    }
    Write(install / "Agents" / (id + ".xml"),
          "<agent><name>" + id + "</name><ui><caption>エージェント" + std::to_string(i) +
              "</caption><tooltip>説明 " + std::to_string(i) + "</tooltip><image>249</image>"
              "<colormask>16711935</colormask><size>90</size></ui><onclick>http://agent.example/"
              "?q={query}&amp;oem={OEM}</onclick><encoding>UTF-8</encoding>" + menu + "</agent>");
  }
  master += "</agents>";
  Write(install / "AgentMaster.xml", master);
}

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
  WriteCatalogue(install);
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
  return buttons == static_cast<size_t>(kAgents) ? 0 : 1;
}
