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

// Whether the path is in the language, as ParseXmlPath decides, without building its steps.
bool IsXmlPath(std::u16string_view path);

// Walks the steps of `path` in order, handing each step's name and index to `step`, without
// building anything; false (after some steps, maybe) when the path is not in the language.
template <typename StepFn>
inline bool ForEachXmlPathStep(std::u16string_view path, StepFn&& step) {
  if (path.empty() || path.front() != u'/') return false;
  size_t pos = 1;
  while (true) {
    const size_t slash = path.find(u'/', pos);
    std::u16string_view text = path.substr(pos, slash == std::u16string_view::npos
                                                     ? std::u16string_view::npos
                                                     : slash - pos);
    std::optional<size_t> index;
    const size_t open = text.find(u'[');
    if (open != std::u16string_view::npos) {
      if (text.back() != u']' || open + 2 >= text.size()) return false;
      size_t value = 0;
      for (char16_t c : text.substr(open + 1, text.size() - open - 2)) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
        if (value > 1000000000) return false;
      }
      index = value;
      text = text.substr(0, open);
    }
    if (text.empty()) return false;
    for (char16_t c : text) {
      if (c == u']' || c == u'[' || c == u' ' || c == u'@' || c == u'(' || c == u')') return false;
    }
    step(text, index);
    if (slash == std::u16string_view::npos) return true;
    pos = slash + 1;
  }
}

}  // namespace norvex::platform
