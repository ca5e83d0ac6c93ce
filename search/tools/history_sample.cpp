#include "search/tools/history_sample.h"

#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "search/search_history.h"
#include "storage/data_folders.h"
#include "tests/fake_seams.h"

namespace norvex::search::tools {

namespace {

std::string Utf16LeBom(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

}  // namespace

const std::vector<std::u16string>& SampleQueries() {
  static const std::vector<std::u16string> queries = {
      u"テスト",
      u"東京 タワー",
      u"abc",
      u"ｱｲｳｴｵ",                  // half-width katakana
      u"\u2460\uFF5E\u301C",     // circled one, full-width tilde, wave dash
      u"a=b;c",
      u"Ünïcödé ß",
      u"\U0001F600 emoji",        // a character outside the Basic Multilingual Plane
      u"ABC",
      u"テスト",                  // repeated: keeps its first place
      u"髙橋 №",
  };
  return queries;
}

const std::u16string& SampleCaption() {
  static const std::u16string caption = u"ノーベックス ツールバー";
  return caption;
}

std::string WriteHistorySample(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder / "install");
  const auto install = (folder / "install").make_preferred().u16string();
  {
    std::ofstream out(folder / "install" / "strings.ini", std::ios::binary | std::ios::trunc);
    out << Utf16LeBom(u"[data]\r\nmessagecaption=" + SampleCaption() + u"\r\n");
  }
  test::FakeSystemInfo system;
  system.module = (folder / "install" / "NorvexToolbar.dll").make_preferred().u16string();
  system.appData = (folder / "appdata").make_preferred().u16string();
  platform::ScopedSeams seams({nullptr, nullptr, &system});
  storage::ResetVersionCacheForTesting();

  SearchHistory history;
  history.LoadHistory(u"Toolbar", u"TB_");
  for (const auto& query : SampleQueries()) history.AddHistory(query, true);

  std::ifstream in(folder / "appdata" / "Norvex" / "NorvexHistory.ini", std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  storage::ResetVersionCacheForTesting();
  return bytes.str();
}

}  // namespace norvex::search::tools
