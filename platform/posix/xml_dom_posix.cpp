// The POSIX XML DOM: pugixml, with the seam's 0-based paths walked over its tree.

#include <pugixml.hpp>

#include <cctype>
#include <cstring>

#include "common/text.h"
#include "platform/xml_dom.h"
#include "platform/xml_path.h"

namespace norvex::platform {

namespace {

void AppendText(const pugi::xml_node& node, std::string& out) {
  for (pugi::xml_node child : node.children()) {
    switch (child.type()) {
      case pugi::node_pcdata:
      case pugi::node_cdata:
        out += child.value();
        break;
      case pugi::node_element:
        AppendText(child, out);
        break;
      default:
        break;
    }
  }
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// True when every '&' of raw (unescaped) character data starts a predefined entity or a
// character reference, as an XML parser without a DTD requires.
bool ReferencesAreValid(const char* text) {
  for (const char* p = std::strchr(text, '&'); p; p = std::strchr(p + 1, '&')) {
    const char* end = std::strchr(p, ';');
    if (!end) return false;
    const std::string name(p + 1, end);
    if (name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot") continue;
    if (name.size() >= 2 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const size_t digits = hex ? 2 : 1;
      if (name.size() <= digits) return false;
      for (size_t i = digits; i < name.size(); ++i) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(name[i]))
                  : std::isdigit(static_cast<unsigned char>(name[i])))) {
          return false;
        }
      }
      continue;
    }
    return false;
  }
  return true;
}

bool AllReferencesValid(const pugi::xml_node& node) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata && !ReferencesAreValid(child.value())) return false;
    for (pugi::xml_attribute attribute : child.attributes()) {
      if (!ReferencesAreValid(attribute.value())) return false;
    }
    if (!AllReferencesValid(child)) return false;
  }
  return true;
}

class PugiXmlDom final : public XmlDom {
 public:
  bool LoadXml(std::u16string_view text) override {
    document_.reset();
    if (text.empty()) return true;
    const std::string utf8 = Utf16ToUtf8(text);
    // pugixml keeps an unknown entity such as "&nbsp;" as text, where the platform's DOM
    // refuses the document: look at the raw text first.
    {
      pugi::xml_document raw;
      if (!raw.load_buffer(utf8.data(), utf8.size(),
                           (pugi::parse_default | pugi::parse_declaration) & ~pugi::parse_escapes,
                           pugi::encoding_utf8) ||
          !AllReferencesValid(raw)) {
        return false;
      }
    }
    const pugi::xml_parse_result result = document_.load_buffer(
        utf8.data(), utf8.size(), pugi::parse_default | pugi::parse_declaration,
        pugi::encoding_utf8);
    if (!result || !WellFormedDocument()) {
      document_.reset();
      return false;
    }
    return true;
  }

  bool HasDocumentElement() override { return static_cast<bool>(document_.document_element()); }

  std::optional<size_t> Count(std::u16string_view path) override {
    const auto nodes = Select(path);
    if (!nodes) return std::nullopt;
    return nodes->size();
  }

  std::optional<std::u16string> Text(std::u16string_view path, size_t index) override {
    const auto nodes = Select(path);
    if (!nodes || index >= nodes->size()) return std::nullopt;
    // The text of a node as the platform's DOM gives it by default: the character data of the
    // node and its descendants, without white space at either end.
    std::string text;
    AppendText((*nodes)[index], text);
    size_t begin = 0, end = text.size();
    while (begin < end && IsXmlSpace(text[begin])) ++begin;
    while (end > begin && IsXmlSpace(text[end - 1])) --end;
    return Utf8ToUtf16(std::string_view(text).substr(begin, end - begin));
  }

 private:
  // pugixml accepts fragments; a DOM document has exactly one top element and no text beside it.
  bool WellFormedDocument() const {
    int elements = 0;
    for (pugi::xml_node child : document_.children()) {
      if (child.type() == pugi::node_element) ++elements;
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) return false;
    }
    return elements == 1;
  }

  // Element names are compared in UTF-8, pugixml's own form; most names are ASCII and need no
  // conversion.
  static bool NameMatches(std::u16string_view name, const char* element) {
    if (name == u"*") return true;
    size_t i = 0;
    for (; i < name.size() && name[i] < 0x80; ++i) {
      if (element[i] != static_cast<char>(name[i])) return false;
    }
    if (i == name.size()) return element[i] == '\0';
    return Utf16ToUtf8(name) == element;
  }

  std::optional<std::vector<pugi::xml_node>> Select(std::u16string_view path) const {
    if (!document_.document_element()) return std::nullopt;
    std::vector<pugi::xml_node> current{document_}, next;
    const bool valid = ForEachXmlPathStep(path, [&](std::u16string_view name,
                                                    std::optional<size_t> index) {
      next.clear();
      for (const pugi::xml_node& parent : current) {
        size_t position = 0;
        for (pugi::xml_node child : parent.children()) {
          if (child.type() != pugi::node_element || !NameMatches(name, child.name())) continue;
          if (!index || *index == position) next.push_back(child);
          ++position;
        }
      }
      current.swap(next);
    });
    if (!valid) return std::nullopt;
    return current;
  }

  pugi::xml_document document_;
};

}  // namespace

std::unique_ptr<XmlDom> CreateXmlDom() { return std::make_unique<PugiXmlDom>(); }

}  // namespace norvex::platform
