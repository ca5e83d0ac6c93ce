// norvex-inspect --install DIR [--profile DIR]
// Reads an installation folder the way the toolbar does and prints what it finds: the data
// folders, the settings files and the agents of the catalogue with their records and menus.
// norvex-inspect --check --install DIR
// Checks the catalogue, its agent files and the INI files for mistakes, one line per finding
// ("FILE:LINE: error: MESSAGE"), then a summary; exit status 1 when there is an error.

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/agent_loader.h"
#include "catalogue/catalogue_check.h"
#include "common/text.h"
#include "platform/command_line.h"
#include "storage/data_folders.h"
#include "storage/settings.h"
#include "tools/install_override.h"

namespace {

using namespace norvex;
using catalogue::AgentKind;

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// Collects the agents without laying them out: every button fits.
class ListingToolbar final : public catalogue::AgentToolbar {
 public:
  catalogue::AgentSet agents;
  std::vector<catalogue::AgentButtonSpec> buttons;
  bool searchBox = false, grip = false;

  catalogue::AgentSet& Agents() override { return agents; }
  void ResetLayoutCursor() override {}
  catalogue::Placement PlaceAgentButton(int width, catalogue::BuildRole) override {
    return {{0, 0, width, 24}, true};
  }
  bool CreateSearchBox() override { return searchBox = true; }
  bool HasSearchBox() const override { return searchBox; }
  void CreateResizeGrip() override { grip = true; }
  bool HasResizeGrip() const override { return grip; }
  void CreateAgentButton(const catalogue::AgentButtonSpec& spec) override {
    buttons.push_back(spec);
  }
  void HideAgentButton(int) override {}
  catalogue::OverflowEntry MakeOverflowEntry(int id) override {
    catalogue::OverflowEntry entry;
    entry.id = id;
    return entry;
  }
  void AddOverflow(catalogue::OverflowEntry) override {}
  bool HasChevron() const override { return false; }
  void BuildChevronMenu() override {}
};

const char* KindName(AgentKind kind) {
  switch (kind) {
    case AgentKind::kOrdinary: return "ordinary";
    case AgentKind::kSearchButton: return "search";
    case AgentKind::kSearchEngine: return "engine";
    case AgentKind::kTranslationItem: return "translation-item";
    case AgentKind::kDictionaryItem: return "dictionary-item";
    case AgentKind::kDictionaryButton: return "dictionary";
    case AgentKind::kTranslationButton: return "translation";
  }
  return "?";
}

int Usage() {
  std::fprintf(stderr,
               "usage: norvex-inspect --install DIR [--profile DIR]\n"
               "       norvex-inspect --check --install DIR\n");
  return 2;
}

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int Check(const std::string& install) {
  size_t errors = 0, warnings = 0;
  for (const catalogue::Finding& finding : catalogue::CheckInstallation()) {
    (finding.severity == catalogue::Severity::kError ? errors : warnings) += 1;
    std::printf("%s\n", catalogue::FormatFinding(finding, install).c_str());
  }
  std::printf("%s: %s, %s\n", install.c_str(), Plural(errors, "error").c_str(),
              Plural(warnings, "warning").c_str());
  return errors ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string install, profile;
  bool check = false;
  const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--install" && i + 1 < args.size()) {
      install = args[++i];
    } else if (args[i] == "--profile" && i + 1 < args.size()) {
      profile = args[++i];
    } else if (args[i] == "--check") {
      check = true;
    } else {
      return Usage();
    }
  }
  if (install.empty() || (check && !profile.empty())) return Usage();

  tools::InstallOverride system(Utf8ToUtf16(install), Utf8ToUtf16(profile));
  platform::ScopedSeams seams({nullptr, nullptr, &system});
  if (check) return Check(install);

  std::printf("installation folder: %s\n", U8(storage::GetInstallFolder().value_or(u"?")).c_str());
  std::printf("per-user folder:     %s\n", U8(storage::GetUserDataFolder().value_or(u"?")).c_str());
  std::u16string text;
  std::printf("installed version:   %s\n",
              storage::ReadInstalledVersion(text) ? U8(text).c_str() : "(none)");
  std::printf("partner identifier:  %s\n", U8(storage::ReadProductValue(u"OEM")).c_str());
  for (const char16_t* key : {u"version", u"messagecaption", u"buttonoptions"}) {
    text.clear();
    storage::ReadDataString(key, text);
    std::printf("strings.ini %-15s %s\n", U8(key).c_str(), U8(text).c_str());
  }
  std::printf("drop-down size:      %d x %d\n", storage::ReadWindowDimension(u"dropwidth"),
              storage::ReadWindowDimension(u"dropheight"));

  ListingToolbar toolbar;
  catalogue::LoadAgents(toolbar);
  // Buttons are numbered 2024 + their position in the catalogue; the items of the k-th menu
  // built 8000 + 100 k + their position in the menu.
  std::printf("\nagents (%zu), button id = 2024 + catalogue position, item id = 8000 + 100 x menu "
              "number + item position:\n",
              toolbar.buttons.size());
  std::printf("  ID   KIND        NAME             \"CAPTION\" ACTION [ENCODING]\n");
  for (const auto& button : toolbar.buttons) {
    const catalogue::AgentRecord* record = toolbar.agents.Record(button.id);
    std::printf("  %d %-11s %-16s \"%s\" %s [%s]\n", button.id, KindName(record->kind),
                U8(button.name).c_str(), U8(button.caption).c_str(), U8(record->onclick).c_str(),
                U8(record->encoding).c_str());
    for (const auto& item : button.menu) {
      const catalogue::AgentRecord* itemRecord = toolbar.agents.Record(item.id);
      std::printf("      %d %-16s \"%s\" %s [%s]\n", item.id, KindName(itemRecord->kind),
                  U8(item.caption).c_str(), U8(itemRecord->onclick).c_str(),
                  U8(itemRecord->encoding).c_str());
    }
  }
  return 0;
}
