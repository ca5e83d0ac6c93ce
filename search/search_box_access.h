// The search box as URL templates need it: its text and its history. SearchComboBox implements
// it; the toolbar hands it to OpenTemplateUrl together with the browser connection.
#pragma once

#include <string>
#include <string_view>

namespace norvex::search {

class SearchBoxAccess {
 public:
  virtual ~SearchBoxAccess() = default;

  // The edit field's text, or the text the box keeps while it has no edit field.
  virtual std::u16string GetText() const = 0;

  // Adds a query to the front of the history; with `write`, to the history file as well.
  virtual void AddHistory(std::u16string_view text, bool write) = 0;
};

}  // namespace norvex::search
