// Turns "AgentMaster.xml" and the agent files of the "Agents" folder into a toolbar's buttons,
// records, menus and special references. The files are read anew at every load, so a changed
// catalogue takes effect at the next refresh.
#pragma once

#include <string>
#include <vector>

#include "catalogue/agent_toolbar.h"
#include "catalogue/xml_document.h"

namespace norvex::catalogue {

// Fills an empty toolbar from the installation's catalogue. A missing or unreadable catalogue
// gives an empty toolbar; a missing agent file skips that agent (its identifier stays unused).
void LoadAgents(AgentToolbar& toolbar);

// Builds the agent at catalogue position `position` in the given role.
void BuildAgent(AgentToolbar& toolbar, int position, XmlDocument& catalogue, BuildRole role);

// The menu items of an agent file, entering a record for each named item; raises the menu base
// by 100 first, and item i gets menu base + i.
std::vector<OverflowEntry> BuildAgentMenu(AgentToolbar& toolbar, XmlDocument& agentFile,
                                          const std::u16string& agentName);

}  // namespace norvex::catalogue
