// The 30-agent catalogue of the benchmarks and of the size checks of the bridge's answers: a
// catalogue as a distributor writes one: settings, search with engines, a grip, and agents with
// Japanese captions, a third of them with menus.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace norvex::test {

inline constexpr int kBenchAgents = 30;

inline void WriteBenchCatalogue(const std::filesystem::path& install) {
  namespace fs = std::filesystem;
  auto write = [](const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  };
  fs::create_directories(install / "Agents");
  std::string master = "<agents>";
  auto entry = [&](const std::string& type, const std::string& id) {
    master +=
        "<agent><type>" + type + "</type><id>" + id + "</id><xml>" + id + ".xml</xml></agent>";
  };
  entry("settings", "settings");
  write(install / "Agents" / "settings.xml",
        "<agent><name>Settings</name><ui><caption>設定</caption><image>239</image>"
        "<size>56</size></ui><onclick>options</onclick></agent>");
  entry("search", "search");
  std::string engines;
  for (int i = 0; i < 5; ++i) {
    engines += "<item><name>エンジン" + std::to_string(i) +
               "</name><type>search</type><action>"
               "http://search" +
               std::to_string(i) +
               ".example/?q={query}</action>"
               "<encoding>UTF-8</encoding></item>";
  }
  write(install / "Agents" / "search.xml",
        "<agent><name>Search</name><ui><caption>検索</caption><image>233</image><size>60</size>"
        "</ui><onclick>http://search.example/?q={query}</onclick><encoding>UTF-8</encoding>"
        "<type>splitmenu</type><menu>" +
            engines + "</menu></agent>");
  master += "<agent><type>resize</type></agent>";
  for (int i = 0; i < kBenchAgents - 2; ++i) {
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
    write(install / "Agents" / (id + ".xml"),
          "<agent><name>" + id + "</name><ui><caption>エージェント" + std::to_string(i) +
              "</caption><tooltip>説明 " + std::to_string(i) +
              "</tooltip><image>249</image>"
              "<colormask>16711935</colormask><size>90</size></ui><onclick>http://agent.example/"
              "?q={query}&amp;oem={OEM}</onclick><encoding>UTF-8</encoding>" +
              menu + "</agent>");
  }
  master += "</agents>";
  write(install / "AgentMaster.xml", master);
}

}  // namespace norvex::test
