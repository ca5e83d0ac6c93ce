#include "platform/xml_path.h"

namespace norvex::platform {

bool IsXmlPath(std::u16string_view path) {
  return ForEachXmlPathStep(path, [](std::u16string_view, std::optional<size_t>) {});
}

std::optional<std::vector<XmlPathStep>> ParseXmlPath(std::u16string_view path) {
  std::vector<XmlPathStep> steps;
  steps.reserve(4);
  const bool valid = ForEachXmlPathStep(path, [&](std::u16string_view name, std::optional<size_t> index) {
    steps.push_back({std::u16string(name), index});
  });
  if (!valid) return std::nullopt;
  return steps;
}

}  // namespace norvex::platform
