// The page model's parser on Linux: gumbo, which follows the HTML parsing rules in full. Its
// tree (UTF-8) is copied into the model (UTF-16).
#include <gumbo.h>

#include <cstring>

#include "common/text.h"
#include "pagetools/page_model.h"

namespace norvex::pagetools::model {

namespace {

std::u16string Text(const char* utf8) { return Utf8ToUtf16(utf8 ? utf8 : ""); }

std::u16string TagName(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN) {
    if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
      GumboStringPiece original = element.original_tag;
      gumbo_tag_from_original_text(&original);
      if (const char* svg = gumbo_normalize_svg_tagname(&original)) return Text(svg);
    }
    return Text(gumbo_normalized_tagname(element.tag));
  }
  GumboStringPiece original = element.original_tag;
  gumbo_tag_from_original_text(&original);
  std::string name(original.data ? original.data : "", original.length);
  if (element.tag_namespace != GUMBO_NAMESPACE_SVG) {
    for (char& c : name) c = ToLowerAscii(c);
  } else if (const char* svg = gumbo_normalize_svg_tagname(&original)) {
    name = svg;
  }
  // Elements that the parser made itself (a formatting element reopened) carry no tag text.
  if (name.empty()) name = "unknown";
  return Utf8ToUtf16(name);
}

Namespace FromGumbo(GumboNamespaceEnum ns) {
  switch (ns) {
    case GUMBO_NAMESPACE_SVG: return Namespace::kSvg;
    case GUMBO_NAMESPACE_MATHML: return Namespace::kMathMl;
    default: return Namespace::kHtml;
  }
}

std::u16string AttributeName(const GumboAttribute& a) {
  switch (a.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK: return u"xlink:" + Text(a.name);
    case GUMBO_ATTR_NAMESPACE_XML: return u"xml:" + Text(a.name);
    case GUMBO_ATTR_NAMESPACE_XMLNS:
      return std::strcmp(a.name, "xmlns") == 0 ? u"xmlns" : u"xmlns:" + Text(a.name);
    default: return Text(a.name);
  }
}

void CopyChildren(const GumboVector& children, Node* parent, Document& document);

Node* Copy(const GumboNode& source, Document& document) {
  switch (source.type) {
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
      const GumboElement& e = source.v.element;
      Node* element = document.NewElement(TagName(e), FromGumbo(e.tag_namespace));
      for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        element->attributes.push_back({AttributeName(*a), Text(a->value)});
      }
      CopyChildren(e.children, element, document);
      return element;
    }
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_CDATA:
    case GUMBO_NODE_WHITESPACE:
      return document.NewText(Text(source.v.text.text));
    case GUMBO_NODE_COMMENT: {
      Node* comment = document.NewNode(NodeKind::kComment);
      comment->data = Text(source.v.text.text);
      return comment;
    }
    case GUMBO_NODE_DOCUMENT:
      break;
  }
  return nullptr;
}

// Adjacent text pieces (gumbo keeps white space apart) become one text node, as in a browser.
void Append(Node* parent, Node* child) {
  if (child->kind == NodeKind::kText && parent->last && parent->last->kind == NodeKind::kText) {
    parent->last->data += child->data;
    return;
  }
  Document::AppendChild(parent, child);
}

void CopyChildren(const GumboVector& children, Node* parent, Document& document) {
  for (unsigned i = 0; i < children.length; ++i) {
    if (Node* child = Copy(*static_cast<const GumboNode*>(children.data[i]), document)) {
      Append(parent, child);
    }
  }
}

class GumboParser final : public HtmlParser {
 public:
  bool ParseDocument(std::u16string_view html, Document& document) override {
    const std::string utf8 = Utf16ToUtf8(html);
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.data(), utf8.size());
    if (!output) return false;
    const GumboDocument& source = output->document->v.document;
    Node* root = document.root();
    if (source.has_doctype) {
      Node* doctype = document.NewNode(NodeKind::kDoctype);
      doctype->name = Text(source.name);
      Document::AppendChild(root, doctype);
    }
    CopyChildren(source.children, root, document);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return true;
  }

  std::vector<Node*> ParseFragment(std::u16string_view html, const Node& context,
                                   Document& document) override {
    GumboOptions options = kGumboDefaultOptions;
    const std::string tag = Utf16ToUtf8(context.name);
    GumboTag contextTag = gumbo_tagn_enum(tag.data(), static_cast<unsigned>(tag.size()));
    if (contextTag == GUMBO_TAG_UNKNOWN) contextTag = GUMBO_TAG_DIV;
    options.fragment_context = contextTag;
    options.fragment_namespace = context.ns == Namespace::kSvg      ? GUMBO_NAMESPACE_SVG
                                 : context.ns == Namespace::kMathMl ? GUMBO_NAMESPACE_MATHML
                                                                     : GUMBO_NAMESPACE_HTML;
    const std::string utf8 = Utf16ToUtf8(html);
    GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
    if (!output) return {};
    Node* holder = document.NewElement(context.name, context.ns);
    if (output->root) CopyChildren(output->root->v.element.children, holder, document);
    gumbo_destroy_output(&options, output);
    return Document::TakeChildren(holder);
  }
};

}  // namespace

HtmlParser& DefaultHtmlParser() {
  static GumboParser parser;
  return parser;
}

}  // namespace norvex::pagetools::model
