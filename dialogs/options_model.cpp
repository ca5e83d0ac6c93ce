#include "dialogs/options_model.h"

#include "catalogue/xml_document.h"
#include "common/text.h"
#include "storage/data_folders.h"
#include "storage/settings.h"

namespace norvex::dialogs {

namespace {

std::u16string CataloguePath(int position, std::u16string_view leaf) {
  return u"/agents[0]/agent[" + FormatInt(position) + u"]/" + std::u16string(leaf);
}

std::u16string TextOf(catalogue::XmlDocument& doc, const std::u16string& path) {
  std::u16string text;
  doc.GetNodeText(path, 0, text);
  return text;
}

}  // namespace

void OptionsModel::Load() {
  tabLabel_.clear();
  rows_.clear();
  storage::ReadDataString(u"buttonoptions", tabLabel_);
  const auto masterPath = storage::GetAgentMasterPath();
  if (!masterPath) return;
  catalogue::XmlDocument master;
  if (!master.Load(*masterPath, false)) return;
  const int count = master.CountNodes(u"/agents[0]/agent");
  for (int i = 0; i < count; ++i) {
    std::u16string type;
    if (!master.GetNodeText(CataloguePath(i, u"type"), 0, type) || type != u"custom") continue;
    AgentRow row;
    row.id = TextOf(master, CataloguePath(i, u"id"));
    catalogue::XmlDocument agent;
    if (!agent.Load(storage::GetAgentFilePath(TextOf(master, CataloguePath(i, u"xml"))), true)) {
      continue;
    }
    row.caption = Trim(TextOf(agent, u"/agent[0]/ui[0]/caption"));
    if (row.caption.empty()) row.caption = TextOf(agent, u"/agent[0]/name");
    std::u16string number;
    if (agent.GetNodeText(u"/agent[0]/ui[0]/image", 0, number)) row.image = ParseLenientInt(number);
    if (agent.GetNodeText(u"/agent[0]/ui[0]/colormask", 0, number)) {
      row.colorMask = static_cast<uint32_t>(ParseLenientTruncatedDouble(number));
    }
    row.ticked = storage::IsAgentShown(row.id);
    rows_.push_back(std::move(row));
  }
}

void OptionsModel::SetTick(size_t row, bool ticked) {
  if (row < rows_.size()) rows_[row].ticked = ticked;
}

void OptionsModel::Accept() const {
  for (const AgentRow& row : rows_) storage::SetAgentShown(row.id, row.ticked);
}

}  // namespace norvex::dialogs
