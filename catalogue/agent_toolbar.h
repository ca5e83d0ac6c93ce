// What the agent loader needs of the toolbar window that it fills: its agent set, its layout
// cursor and placement, and the creation of its controls. The toolbar window implements it.
#pragma once

#include "catalogue/agent_types.h"

namespace norvex::catalogue {

struct Placement {
  Rect rect;
  bool fits = true;
};

class AgentToolbar {
 public:
  virtual ~AgentToolbar() = default;

  virtual AgentSet& Agents() = 0;
  // The layout cursor goes back to 0 for a new load.
  virtual void ResetLayoutCursor() = 0;
  virtual Placement PlaceAgentButton(int width, BuildRole role) = 0;
  // Creates the search box at the cursor; false when it cannot be created.
  virtual bool CreateSearchBox() = 0;
  virtual bool HasSearchBox() const = 0;
  virtual void CreateResizeGrip() = 0;
  virtual bool HasResizeGrip() const = 0;
  virtual void CreateAgentButton(const AgentButtonSpec& spec) = 0;
  virtual void HideAgentButton(int id) = 0;
  // The chevron menu's entry for a button, as the button is now.
  virtual OverflowEntry MakeOverflowEntry(int id) = 0;
  // Appends to the chevron's list, creating the chevron when there is none.
  virtual void AddOverflow(OverflowEntry entry) = 0;
  virtual bool HasChevron() const = 0;
  // Gives the chevron the whole overflow list as its menu.
  virtual void BuildChevronMenu() = 0;
};

}  // namespace norvex::catalogue
