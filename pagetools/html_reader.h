// A small HTML reader of our own for the page model, for builds without gumbo (the Windows host
// under Wine, where there is no HTML engine): a tokenizer (html_tokenizer.h) and a tree builder
// (html_reader.cpp). It follows the HTML parsing rules for what ordinary pages use: implied
// html, head and body; void and raw-text elements; character references; paragraphs, list items,
// table rows and cells, options closed by what follows them; text in a table moved before it;
// SVG and MathML. It does not reconstruct misnested formatting elements. Tests compare its trees
// with gumbo's on the pages the tests use.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "pagetools/page_model.h"

namespace norvex::pagetools::model {

class HtmlReader final : public HtmlParser {
 public:
  bool ParseDocument(std::u16string_view html, Document& document) override;
  std::vector<Node*> ParseFragment(std::u16string_view html, const Node& context,
                                   Document& document) override;
};

// True for elements whose content model makes the parser move or drop what is inserted into
// them (tables and their row groups and rows, select, frameset, html, head).
bool IsTableContext(std::u16string_view tag);

// The fragment as nodes of `document`, when it is simple enough that every HTML parser builds the
// same nodes from it in `context`: text, character references, and properly nested phrasing
// elements (span, b, i, em, strong, font, ...) with br, img and wbr. Nothing otherwise.
std::optional<std::vector<Node*>> ReadSimpleFragment(std::u16string_view html, const Node& context,
                                                     Document& document);

}  // namespace norvex::pagetools::model
