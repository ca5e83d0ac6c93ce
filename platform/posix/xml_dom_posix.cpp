// The POSIX XML DOM: pugixml, with the seam's 0-based paths walked over its tree.

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "platform/posix/xml_entities.h"
#include "platform/xml_dom.h"

namespace norvex::platform {

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (!IsXmlSpace(c)) return false;
  }
  return true;
}

// The text of an element as the platform's DOM gives it while it does not preserve white
// space. White space alone between two pieces of markup is not text: where some stood, the
// next piece of text is set off from the one before by one blank. CDATA sections are text as
// written (one section directly after another joins it); `kept` is the part of the result from
// the start of the first section to the end of the last, which trimming does not touch.
struct ElementText {
  std::string text;
  size_t keptBegin = std::string::npos;
  size_t keptEnd = 0;
  bool blankAtEnd = false;  // white space stood after the last piece of text
};

ElementText TextOf(const pugi::xml_node& element) {
  ElementText result;
  bool blank = false;          // white space since the last piece of text
  bool afterSection = false;  // the previous node was a CDATA section
  auto add = [&](std::string_view piece, size_t keptBegin, size_t keptEnd) {
    if (blank && !result.text.empty()) result.text += ' ';
    const size_t at = result.text.size();
    result.text += piece;
    if (keptBegin != std::string::npos) {
      result.keptBegin = std::min(result.keptBegin, at + keptBegin);
      result.keptEnd = std::max(result.keptEnd, at + keptEnd);
    }
    blank = false;
  };
  for (pugi::xml_node child : element.children()) {
    const bool section = child.type() == pugi::node_cdata;
    switch (child.type()) {
      case pugi::node_pcdata:
        if (IsBlank(child.value())) {
          blank = true;
        } else {
          add(child.value(), std::string::npos, 0);
        }
        break;
      case pugi::node_cdata:
        if (afterSection) {
          result.text += child.value();
          result.keptEnd = result.text.size();
        } else {
          const std::string_view value = child.value();
          add(value, 0, value.size());
        }
        break;
      case pugi::node_element: {
        const ElementText inner = TextOf(child);
        if (!inner.text.empty()) add(inner.text, inner.keptBegin, inner.keptEnd);
        blank = blank || inner.blankAtEnd;
        break;
      }
      default:  // comments and processing instructions
        break;
    }
    // White space between two sections does not keep them apart.
    if (!(child.type() == pugi::node_pcdata && IsBlank(child.value()))) afterSection = section;
  }
  result.blankAtEnd = blank;
  return result;
}

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
    Clear();
    errorLine_ = 0;
    if (text.empty()) return true;
    // Entities that the document declares itself are expanded first: pugixml would keep their
    // references as text.
    const std::optional<std::string> expanded = ExpandInternalEntities(Utf16ToUtf8(text));
    if (!expanded) return false;
    const std::string& utf8 = *expanded;
    // pugixml keeps an unknown entity such as "&nbsp;" as text, where the platform's DOM
    // refuses the document: look at the raw text first.
    {
      pugi::xml_document raw;
      const pugi::xml_parse_result parsed =
          raw.load_buffer(utf8.data(), utf8.size(),
                          (pugi::parse_default | pugi::parse_declaration) & ~pugi::parse_escapes,
                          pugi::encoding_utf8);
      if (!parsed) {
        errorLine_ = LineAt(utf8, parsed.offset);
        return false;
      }
      if (!AllReferencesValid(raw)) return false;
    }
    // White space, comments and processing instructions are kept: where they stand decides
    // how the text of an element is put together.
    const pugi::xml_parse_result result = document_.load_buffer(
        utf8.data(), utf8.size(),
        pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata |
            pugi::parse_comments | pugi::parse_pi,
        pugi::encoding_utf8);
    if (!result || !WellFormedDocument()) {
      if (!result) errorLine_ = LineAt(utf8, result.offset);
      Clear();
      return false;
    }
    return true;
  }

  std::optional<std::vector<Element>> Children(Node node) override {
    if (node >= nodes_.size()) return std::nullopt;
    std::vector<Element> children;
    for (pugi::xml_node child : nodes_[node].children()) {
      if (child.type() != pugi::node_element) continue;
      children.push_back({Utf8ToUtf16(child.name()), nodes_.size()});
      nodes_.push_back(child);
    }
    return children;
  }

  std::optional<std::u16string> Text(Node node) override {
    if (node >= nodes_.size()) return std::nullopt;
    // The text of a node as the platform's DOM gives it by default: the character data of the
    // node and its descendants, without white space at either end (outside CDATA sections).
    const ElementText value = TextOf(nodes_[node]);
    const std::string& text = value.text;
    size_t begin = 0, end = text.size();
    while (begin < end && begin < value.keptBegin && IsXmlSpace(text[begin])) ++begin;
    while (end > begin && end > value.keptEnd && IsXmlSpace(text[end - 1])) --end;
    return Utf8ToUtf16(std::string_view(text).substr(begin, end - begin));
  }

  int ErrorLine() override { return errorLine_; }

 private:
  void Clear() {
    document_.reset();
    nodes_.assign(1, document_);
  }

  // pugixml accepts fragments; a DOM document has exactly one top element and no text beside it.
  bool WellFormedDocument() const {
    int elements = 0;
    for (pugi::xml_node child : document_.children()) {
      if (child.type() == pugi::node_element) ++elements;
      if (child.type() == pugi::node_cdata) return false;
      if (child.type() == pugi::node_pcdata && !IsBlank(child.value())) return false;
    }
    return elements == 1;
  }

  // The 1-based line of a byte offset into the parsed text.
  static int LineAt(std::string_view text, ptrdiff_t offset) {
    if (offset < 0) return 0;
    const size_t end = std::min(static_cast<size_t>(offset), text.size());
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + end, '\n'));
  }

  pugi::xml_document document_;
  std::vector<pugi::xml_node> nodes_{document_};  // by number; 0 is the document
  int errorLine_ = 0;
};

}  // namespace

std::unique_ptr<XmlDom> CreateXmlDom() { return std::make_unique<PugiXmlDom>(); }

}  // namespace norvex::platform
