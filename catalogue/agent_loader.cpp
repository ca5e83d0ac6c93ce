#include "catalogue/agent_loader.h"

#include <string>

#include "common/file_names.h"
#include "common/text.h"
#include "storage/data_folders.h"
#include "storage/settings.h"

namespace norvex::catalogue {

namespace {

constexpr char16_t kTranslation[] = u"Translation";
constexpr char16_t kDictionary[] = u"Dictionary";
constexpr char16_t kWebPageTranslation[] = u"Web Page Translation";

// "/agents[0]/agent[%d]/" + leaf
std::u16string CataloguePath(int position, std::u16string_view leaf) {
  return u"/agents[0]/agent[" + FormatInt(position) + u"]/" + std::u16string(leaf);
}

std::u16string ItemPath(int item, std::u16string_view leaf) {
  return u"/agent[0]/menu[0]/item[" + FormatInt(item) + u"]/" + std::u16string(leaf);
}

std::u16string TextOr(XmlDocument& doc, const std::u16string& path, std::u16string fallback = {}) {
  doc.GetNodeText(path, 0, fallback);
  return fallback;
}

int NumberAt(XmlDocument& doc, const std::u16string& path) {
  return ParseLenientInt(TextOr(doc, path));
}

uint32_t ColourAt(XmlDocument& doc, const std::u16string& path) {
  return static_cast<uint32_t>(ParseLenientTruncatedDouble(TextOr(doc, path)));
}

}  // namespace

void LoadAgents(AgentToolbar& toolbar) {
  toolbar.Agents().menuBase = kMenuBaseStart;
  toolbar.ResetLayoutCursor();
  const auto path = storage::GetAgentMasterPath();
  if (!path) return;
  XmlDocument catalogue;
  if (!catalogue.Load(*path, true)) return;

  const int count = catalogue.CountNodes(u"/agents[0]/agent");
  const storage::AgentVisibility visibility;
  for (int i = 0; i < count; ++i) {
    std::u16string type;
    if (!catalogue.GetNodeText(CataloguePath(i, u"type"), 0, type)) continue;
    if (type == u"settings") {
      BuildAgent(toolbar, i, catalogue, BuildRole::kSettings);
    } else if (type == u"resize") {
      toolbar.CreateResizeGrip();
    } else if (type == u"search") {
      if (toolbar.CreateSearchBox()) BuildAgent(toolbar, i, catalogue, BuildRole::kSearch);
    } else if (type == u"banner") {
      BuildAgent(toolbar, i, catalogue, BuildRole::kOrdinary);
    } else if (visibility.IsShown(TextOr(catalogue, CataloguePath(i, u"id")))) {
      BuildAgent(toolbar, i, catalogue, BuildRole::kOrdinary);
    }
  }
  if (toolbar.HasChevron()) toolbar.BuildChevronMenu();
}

void BuildAgent(AgentToolbar& toolbar, int position, XmlDocument& catalogue, BuildRole role) {
  const std::u16string name = TextOr(catalogue, CataloguePath(position, u"xml"));
  // An agent's file lies in the "Agents" folder: a name that leads out of it (a ".." component,
  // a drive, a UNC or rooted path) or names a device is skipped like a missing file.
  if (!IsSafeRelativePath(name)) return;
  XmlDocument agent;
  if (!agent.Load(storage::GetAgentFilePath(name), true)) return;

  AgentButtonSpec spec;
  spec.id = kFirstAgentId + position;
  spec.name = TextOr(agent, u"/agent[0]/name");
  spec.caption = TextOr(agent, u"/agent[0]/ui[0]/caption");
  spec.tooltip = TextOr(agent, u"/agent[0]/ui[0]/tooltip");
  spec.image = NumberAt(agent, u"/agent[0]/ui[0]/image");
  spec.offImage = NumberAt(agent, u"/agent[0]/ui[0]/offimage");
  if (spec.offImage < 1) spec.offImage = spec.image;
  spec.pressedImage = spec.image;
  spec.transparent = ColourAt(agent, u"/agent[0]/ui[0]/colormask");
  const int size = NumberAt(agent, u"/agent[0]/ui[0]/size");
  const std::u16string onclick = TextOr(agent, u"/agent[0]/onclick");
  const std::u16string encoding = TextOr(agent, u"/agent[0]/encoding");
  const std::u16string type = TextOr(agent, u"/agent[0]/type");
  spec.style = type == u"splitmenu" ? MenuStyle::kSplitMenu
               : type == u"menu"    ? MenuStyle::kMenu
                                    : MenuStyle::kPlain;

  AgentSet& agents = toolbar.Agents();
  AgentSlot slot{0, true};
  const Placement placement = toolbar.PlaceAgentButton(size, role);
  spec.rect = placement.rect;

  AgentRecord record{onclick, encoding, spec.caption, AgentKind::kOrdinary};
  const std::u16string withoutKeyPath = u"/agent[0]/onclickwithoutkey";
  if (role == BuildRole::kSearch) {
    record.kind = AgentKind::kSearchButton;
    agents.defaultSearchRecord = agents.currentSearchRecord = spec.id;
    agents.searchButton = spec.id;
    agent.GetNodeText(withoutKeyPath, 0, agents.searchWithoutQueryUrl);
  } else if (spec.name == kTranslation) {
    record.kind = AgentKind::kTranslationButton;
    agent.GetNodeText(withoutKeyPath, 0, agents.translationWithoutQueryUrl);
  } else if (spec.name == kDictionary) {
    record.kind = AgentKind::kDictionaryButton;
    agent.GetNodeText(withoutKeyPath, 0, agents.dictionaryWithoutQueryUrl);
  }
  agents.commands[spec.id] = record;

  if (spec.style != MenuStyle::kPlain) spec.menu = BuildAgentMenu(toolbar, agent, spec.name);
  // The settings button is known as such from its creation on.
  if (role == BuildRole::kSettings) agents.settingsButton = spec.id;
  toolbar.CreateAgentButton(spec);

  // Once one agent has overflowed, every agent after it goes to the chevron as well.
  if (!placement.fits || toolbar.HasChevron()) {
    slot.inToolbar = false;
    toolbar.HideAgentButton(spec.id);
    toolbar.AddOverflow(toolbar.MakeOverflowEntry(spec.id));
  }

  const size_t index = agents.slots.size();
  if (onclick == u"highlight") {
    agents.highlightSlot = index;
  } else if (onclick == u"searchinpage") {
    agents.searchInPageSlot = index;
  } else if (spec.name == kDictionary) {
    agents.dictionaryButton = spec.id;
  } else if (spec.name == kTranslation) {
    agents.translationButton = spec.id;
  } else if (spec.name == kWebPageTranslation) {
    agents.webTranslationButton = spec.id;
  }

  slot.buttonId = spec.id;
  agents.slots.push_back(slot);
  if (toolbar.HasSearchBox()) {
    if (toolbar.HasResizeGrip()) {
      agents.rightSlots.push_back(index);
    } else if (role != BuildRole::kSearch) {
      agents.middleSlots.push_back(index);
    }
  }
}

std::vector<OverflowEntry> BuildAgentMenu(AgentToolbar& toolbar, XmlDocument& agentFile,
                                          const std::u16string& agentName) {
  AgentSet& agents = toolbar.Agents();
  agents.menuBase += kMenuBlock;
  std::vector<OverflowEntry> entries;
  const int count = agentFile.CountNodes(u"/agent[0]/menu[0]/item");
  for (int i = 0; i < count; ++i) {
    std::u16string name;
    if (!agentFile.GetNodeText(ItemPath(i, u"name"), 0, name)) continue;
    const std::u16string type = TextOr(agentFile, ItemPath(i, u"type"));
    AgentRecord record{TextOr(agentFile, ItemPath(i, u"action")),
                       TextOr(agentFile, ItemPath(i, u"encoding")), name, AgentKind::kOrdinary};
    if (type == u"search") {
      record.kind = AgentKind::kSearchEngine;
    } else if (agentName == kTranslation) {
      record.kind = AgentKind::kTranslationItem;
    } else if (agentName == kDictionary) {
      record.kind = AgentKind::kDictionaryItem;
    }
    OverflowEntry entry;
    entry.caption = name;
    entry.id = agents.menuBase + i;
    entry.bitmap = NumberAt(agentFile, ItemPath(i, u"image"));
    entry.transparent = ColourAt(agentFile, ItemPath(i, u"colormask"));
    agents.commands[entry.id] = std::move(record);
    entries.push_back(std::move(entry));
    if (agentName == kWebPageTranslation) agents.webTranslationItems = entries;
  }
  return entries;
}

}  // namespace norvex::catalogue
