#include "platform/xml_path.h"

namespace norvex::platform {

std::optional<std::vector<XmlPathStep>> ParseXmlPath(std::u16string_view path) {
  if (path.empty() || path.front() != u'/') return std::nullopt;
  std::vector<XmlPathStep> steps;
  size_t pos = 1;
  while (true) {
    const size_t slash = path.find(u'/', pos);
    std::u16string_view step = path.substr(pos, slash == std::u16string_view::npos
                                                     ? std::u16string_view::npos
                                                     : slash - pos);
    XmlPathStep parsed;
    const size_t open = step.find(u'[');
    if (open != std::u16string_view::npos) {
      if (step.back() != u']' || open + 2 >= step.size()) return std::nullopt;
      size_t value = 0;
      for (char16_t c : step.substr(open + 1, step.size() - open - 2)) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 1000000000) return std::nullopt;
      }
      parsed.index = value;
      step = step.substr(0, open);
    }
    if (step.empty()) return std::nullopt;
    for (char16_t c : step) {
      if (c == u']' || c == u'[' || c == u' ' || c == u'@' || c == u'(' || c == u')') {
        return std::nullopt;
      }
    }
    parsed.name.assign(step);
    steps.push_back(std::move(parsed));
    if (slash == std::u16string_view::npos) break;
    pos = slash + 1;
  }
  return steps;
}

}  // namespace norvex::platform
