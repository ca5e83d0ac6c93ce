// What the agent files turn into: the records that command routing runs, the menu entries that
// buttons and the chevron show, and the slots and special references of a toolbar's contents.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/geometry.h"
#include "resources/control_ids.h"

namespace norvex::catalogue {

// What a record's command does when it arrives.
enum class AgentKind : int {
  kOrdinary = 0,          // run onclick
  kSearchButton = 1,      // search with the current search engine
  kSearchEngine = 2,      // an engine of the search agent's menu: becomes current, then search
  kTranslationItem = 3,   // an item of "Translation": run it, the Translation button adopts it
  kDictionaryItem = 4,    // an item of "Dictionary": run it, the Dictionary button adopts it
  kDictionaryButton = 5,  // look up with the Dictionary button's current item
  kTranslationButton = 6, // translate with the Translation button's current item
};

struct AgentRecord {
  std::u16string onclick;  // URL template (begins with "http") or command keyword
  std::u16string encoding;
  std::u16string caption;
  AgentKind kind = AgentKind::kOrdinary;
  bool operator==(const AgentRecord&) const = default;
};

// One entry of a drop-down menu (an agent's items, or the chevron's list of hidden agents).
struct OverflowEntry {
  std::u16string caption;
  int id = 0;
  int bitmap = 0;
  uint32_t transparent = 0;  // COLORREF 0x00BBGGRR
  bool hasSubmenu = false;
  bool grayed = false;
  std::vector<OverflowEntry> children;
  int button = 0;  // in the chevron's list: the built identifier of the button it stands for
  bool operator==(const OverflowEntry&) const = default;
};

enum class BuildRole { kOrdinary, kSettings, kSearch };
enum class MenuStyle : int { kPlain = 1, kMenu = 2, kSplitMenu = 3 };

using norvex::Rect;

// Everything a toolbar needs to create one agent's button.
struct AgentButtonSpec {
  int id = 0;  // control and command identifier: 2024 + catalogue position
  std::u16string name, caption, tooltip;
  int image = 0, offImage = 0, pressedImage = 0;
  uint32_t transparent = 0;
  MenuStyle style = MenuStyle::kPlain;
  Rect rect;
  std::vector<OverflowEntry> menu;
};

// One agent button and whether it sits on the toolbar (or in the chevron menu).
struct AgentSlot {
  int buttonId = 0;
  bool inToolbar = true;
};

// Identifiers: agent buttons 2024 + catalogue position; menus from 8100 in blocks of 100; the
// search box 5025, the grip 5024, the chevron 0. A special button "none" is 0.
using norvex::kChevronId;
using norvex::kFirstAgentId;
using norvex::kResizeGripId;
using norvex::kSearchBoxId;
inline constexpr int kMenuBaseStart = 8000;
inline constexpr int kMenuBlock = 100;

// The agents of one build of a toolbar: the command map, the slots and the special references.
// Lives from one load to the next teardown.
struct AgentSet {
  int menuBase = kMenuBaseStart;
  std::map<int, AgentRecord> commands;  // command identifier -> record
  std::vector<AgentSlot> slots;         // catalogue order
  std::vector<size_t> middleSlots;      // indexes into slots: between search button and grip
  std::vector<size_t> rightSlots;       // indexes into slots: right of the grip

  int settingsButton = 0;
  int searchButton = 0;
  int defaultSearchRecord = 0;  // command identifiers of records in `commands`
  int currentSearchRecord = 0;
  int translationButton = 0;  // its record is commands[translationButton]
  int dictionaryButton = 0;
  int webTranslationButton = 0;
  std::optional<size_t> highlightSlot, searchInPageSlot;
  std::u16string searchWithoutQueryUrl, translationWithoutQueryUrl, dictionaryWithoutQueryUrl;
  std::vector<OverflowEntry> webTranslationItems;

  const AgentRecord* Record(int id) const {
    const auto it = commands.find(id);
    return it == commands.end() ? nullptr : &it->second;
  }
};

}  // namespace norvex::catalogue
