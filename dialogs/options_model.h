// What the options dialog shows and writes: one row per catalogue agent of type "custom" whose
// file loads, with its caption, image and tick (whether it is shown); OK writes every row's
// tick as the agent's visibility, Cancel writes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvex::dialogs {

struct AgentRow {
  std::u16string id;
  std::u16string caption;
  int image = 0;           // bitmap identifier of the toolbar module; 0: no image
  uint32_t colorMask = 0;  // the image's transparent colour (COLORREF)
  bool ticked = false;
  bool operator==(const AgentRow&) const = default;
};

class OptionsModel {
 public:
  // Reads the tab's label ("strings.ini" [data] buttonoptions, empty when missing) and the
  // rows, in catalogue order. A missing or unreadable catalogue gives no rows; an agent whose
  // file does not load gets no row.
  void Load();

  const std::u16string& tabLabel() const { return tabLabel_; }
  const std::vector<AgentRow>& rows() const { return rows_; }
  // Out-of-range rows are ignored.
  void SetTick(size_t row, bool ticked);

  // OK: writes "1" or "0" for every row, in row order, changed or not.
  void Accept() const;

 private:
  std::u16string tabLabel_;
  std::vector<AgentRow> rows_;
};

}  // namespace norvex::dialogs
