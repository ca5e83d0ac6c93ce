// Read-only access to one XML file by path: how many nodes a path selects and the text of the
// i-th of them. Paths are absolute, steps are element names with optional 0-based indexes
// ("/agents[0]/agent[2]/id"); a step without index selects every matching child. The paths are
// walked here, over the elements the platform's DOM hands out; each element's children are
// asked for once per load and kept, so a query costs the DOM one call at most.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml_dom.h"

namespace norvex::catalogue {

// Decodes UTF-8 bytes up to the first zero byte into UTF-16, leniently: one- to three-byte
// sequences by their bit pattern (continuation bytes are not checked), a valid four-byte
// sequence into a surrogate pair, and any other byte into the character of the same value.
// A sequence that the zero byte cuts short ends the text.
std::u16string DecodeUtf8(std::string_view bytes);

// True when the bytes, read as UTF-16LE text up to its first zero character, carry an XML
// declaration whose part before "?>" mentions "encoding".
bool LooksLikeUtf16(std::string_view bytes);

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Reads and parses the file. When the file exists but cannot be opened (another process has
  // it locked), waits for it in 10 ms steps unless `failFast`, but never longer than
  // `patience`. An empty file loads as an empty document. False when the file is missing,
  // unreadable or not well-formed.
  bool Load(const std::u16string& path, bool failFast,
            std::chrono::milliseconds patience = std::chrono::seconds(5));

  // Number of nodes selected; -1 when the document is empty or the path is not valid.
  int CountNodes(std::u16string_view path);

  // Length of the index-th selected node's text; -1 when there is no such node.
  int GetNodeTextLength(std::u16string_view path, int index);

  // Copies at most capacity-1 characters of the node's text and a terminator into `buffer`;
  // null on failure (buffer untouched).
  char16_t* GetNodeText(std::u16string_view path, int index, char16_t* buffer, size_t capacity);

  // Replaces `out` by the node's text; false (and `out` unchanged) when there is no such node.
  bool GetNodeText(std::u16string_view path, int index, std::u16string& out);

  // The element name of the index-th selected node; false (and `out` unchanged) when there is
  // no such node. With the step "*" a path selects children of any name.
  bool GetNodeName(std::u16string_view path, int index, std::u16string& out);

  // The 1-based line where the last Load found the file not well-formed; 0 when it loaded, or
  // failed for another reason, or the parser did not say.
  int ErrorLine() const { return errorLine_; }

  // The text of the last loaded file as it was handed to the parser (for locating elements in
  // it); empty before a load.
  const std::u16string& Source() const { return source_; }

 private:
  using Node = platform::XmlDom::Node;
  using Element = platform::XmlDom::Element;

  // The elements that `path` selects, in document order, good until the next Select or Load;
  // null when the document is empty or the path is not in the language.
  const std::vector<const Element*>* Select(std::u16string_view path);
  // Appends the children of `parent` that one step (`name`, `index`) selects.
  void SelectAmong(Node parent, std::u16string_view name, std::optional<size_t> index,
                   std::vector<const Element*>& selected);
  // The element children of `node`, from the DOM the first time and kept after that; null when
  // the DOM does not know the node.
  const std::vector<Element>* ChildrenOf(Node node);

  std::unique_ptr<platform::XmlDom> dom_;
  // The children of each node asked about since the last load, by node number.
  std::vector<std::optional<std::vector<Element>>> children_;
  // The last path without its last step, and the nodes it selects.
  bool prefixKnown_ = false;
  std::u16string prefix_;
  std::vector<Node> parents_;
  std::vector<const Element*> selection_;
  int errorLine_ = 0;
  std::u16string source_;
};

}  // namespace norvex::catalogue
