// Seam: a read-only XML DOM that hands out a document's elements and their texts. On Windows it
// is MSXML 3; on POSIX pugixml. Paths over it are evaluated once, in portable code
// (catalogue/xml_document.h), which walks the elements this seam hands out.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvex::platform {

class XmlDom {
 public:
  // A node of the loaded document, by number: 0 is the document itself, the others are numbered
  // 1, 2, ... in the order the DOM hands them out. A number is good until the next LoadXml.
  using Node = size_t;
  static constexpr Node kDocument = 0;

  struct Element {
    std::u16string name;  // the element's name as written, with its prefix if it has one
    Node node;
  };

  virtual ~XmlDom() = default;

  // Replaces the document with the parsed text; the empty text gives an empty document (true).
  // False when the text is not well-formed, and the document is then empty.
  virtual bool LoadXml(std::u16string_view text) = 0;

  // The element children of `node` in document order, each with a new number (asking twice for
  // one node numbers its children twice); nothing when `node` is not a number of this document.
  // The document's only element child is its document element.
  virtual std::optional<std::vector<Element>> Children(Node node) = 0;

  // The text of `node` as the platform's DOM gives it by default: the character data of it and
  // its descendants, without white space at either end (outside CDATA sections). Nothing when
  // `node` is not a number of this document.
  virtual std::optional<std::u16string> Text(Node node) = 0;

  // The 1-based line at which the last LoadXml found the text not well-formed; 0 when that
  // load succeeded or the parser does not say.
  virtual int ErrorLine() = 0;
};

// A new empty DOM, or null when the platform's DOM cannot be created.
std::unique_ptr<XmlDom> CreateXmlDom();

}  // namespace norvex::platform
