// The path language of the XML seam, parsed once for both DOM implementations that walk it
// themselves: "/" followed by steps "name" or "name[index]" (0-based), separated by "/".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvex::platform {

struct XmlPathStep {
  std::u16string name;          // element name, or "*" for any element
  std::optional<size_t> index;  // 0-based position among the matching children of one parent
};

// The steps of an absolute path; nothing when the path is not in the language.
std::optional<std::vector<XmlPathStep>> ParseXmlPath(std::u16string_view path);

}  // namespace norvex::platform
