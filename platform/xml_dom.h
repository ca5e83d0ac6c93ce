// Seam: a read-only XML DOM that answers node counts and node texts by path. On Windows it is
// MSXML 3; on POSIX pugixml with our own evaluation of the paths. Paths are absolute lists of
// steps "name" or "name[i]" with 0-based indexes; a step without an index selects every
// matching child.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::platform {

class XmlDom {
 public:
  virtual ~XmlDom() = default;

  // Replaces the document with the parsed text; the empty text gives an empty document (true).
  // False when the text is not well-formed.
  virtual bool LoadXml(std::u16string_view text) = 0;

  // True when the document has a document element.
  virtual bool HasDocumentElement() = 0;

  // The number of nodes that `path` selects; nothing when the selection itself fails.
  virtual std::optional<size_t> Count(std::u16string_view path) = 0;

  // The text of the index-th selected node (the character data of it and its descendants);
  // nothing when there is no such node.
  virtual std::optional<std::u16string> Text(std::u16string_view path, size_t index) = 0;

  // The element name of the index-th selected node; nothing when there is no such node.
  virtual std::optional<std::u16string> Name(std::u16string_view path, size_t index) = 0;

  // The 1-based line at which the last LoadXml found the text not well-formed; 0 when that
  // load succeeded or the parser does not say.
  virtual int ErrorLine() = 0;
};

// A new empty DOM, or null when the platform's DOM cannot be created.
std::unique_ptr<XmlDom> CreateXmlDom();

}  // namespace norvex::platform
