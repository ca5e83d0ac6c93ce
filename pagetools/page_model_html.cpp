// HTML serialisation of the page model, by the rules a browser uses for innerHTML and outerHTML,
// so that the markup parses back to the same tree.
#include "pagetools/page_model.h"

namespace norvex::pagetools::model {

bool IsVoidElement(const Node& e) {
  if (e.kind != NodeKind::kElement || e.ns != Namespace::kHtml) return false;
  static const std::u16string_view kVoid[] = {
      u"area", u"base", u"basefont", u"bgsound", u"br", u"col", u"embed", u"frame", u"hr",
      u"img", u"input", u"keygen", u"link", u"meta", u"param", u"source", u"track", u"wbr"};
  for (std::u16string_view tag : kVoid) {
    if (e.name == tag) return true;
  }
  return false;
}

namespace {

// Elements whose text is written as it is: the parser reads their content as raw text.
bool IsRawTextParent(const Node* parent) {
  if (!parent || parent->kind != NodeKind::kElement || parent->ns != Namespace::kHtml) return false;
  // noscript is not among them: pages are parsed as with scripting off, its content as markup.
  static const std::u16string_view kRaw[] = {u"style",   u"script",   u"xmp",      u"iframe",
                                             u"noembed", u"noframes", u"plaintext"};
  for (std::u16string_view tag : kRaw) {
    if (parent->name == tag) return true;
  }
  return false;
}

void EscapeAttribute(std::u16string_view value, std::u16string& out) {
  for (char16_t c : value) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\u00A0': out += u"&nbsp;"; break;
      default: out += c;
    }
  }
}

void AppendEscapedText(std::u16string_view text, std::u16string& out) {
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'\u00A0': out += u"&nbsp;"; break;
      default: out += c;
    }
  }
}

void Serialize(const Node& node, std::u16string& out);

void SerializeChildren(const Node& node, std::u16string& out) {
  for (const Node* c = node.first; c; c = c->next) Serialize(*c, out);
}

void Serialize(const Node& node, std::u16string& out) {
  switch (node.kind) {
    case NodeKind::kDocument:
      SerializeChildren(node, out);
      return;
    case NodeKind::kDoctype:
      out += u"<!DOCTYPE ";
      out += node.name;
      out += u'>';
      return;
    case NodeKind::kComment:
      out += u"<!--";
      out += node.data;
      out += u"-->";
      return;
    case NodeKind::kText:
      if (IsRawTextParent(node.parent)) {
        out += node.data;
      } else {
        AppendEscapedText(node.data, out);
      }
      return;
    case NodeKind::kElement:
      break;
  }
  out += u'<';
  out += node.name;
  for (const Attribute& a : node.attributes) {
    out += u' ';
    out += a.name;
    out += u"=\"";
    EscapeAttribute(a.value, out);
    out += u'"';
  }
  out += u'>';
  if (IsVoidElement(node)) return;
  // The parser drops a line feed that directly follows these start tags: write one more.
  if (node.ns == Namespace::kHtml &&
      (node.name == u"pre" || node.name == u"textarea" || node.name == u"listing") &&
      node.first && node.first->kind == NodeKind::kText && !node.first->data.empty() &&
      node.first->data.front() == u'\n') {
    out += u'\n';
  }
  SerializeChildren(node, out);
  out += u"</";
  out += node.name;
  out += u'>';
}

}  // namespace

std::u16string InnerHtml(const Node& node) {
  std::u16string out;
  SerializeChildren(node, out);
  return out;
}

std::u16string OuterHtml(const Node& node) {
  std::u16string out;
  Serialize(node, out);
  return out;
}

std::u16string EscapeHtmlText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  AppendEscapedText(text, out);
  return out;
}

}  // namespace norvex::pagetools::model
