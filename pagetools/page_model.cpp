// The page model's document: its nodes, the live positions it keeps valid, and the changes to
// its tree. Reading it (page_model_reader.cpp), ranges (page_model_range.cpp) and serialising
// it (page_model_html.cpp) have files of their own.
#include "pagetools/page_model.h"

#include <algorithm>

#include "pagetools/html_reader.h"
#include "pagetools/page_model_walk.h"

namespace norvex::pagetools::model {

namespace {

bool IsTextNode(const Node* n) { return n && n->kind == NodeKind::kText; }

unsigned long long& SelectionClock() {
  static unsigned long long clock = 0;
  return clock;
}

}  // namespace

const std::u16string* Node::FindAttribute(std::u16string_view attribute) const {
  for (const Attribute& a : attributes) {
    if (a.name == attribute) return &a.value;
  }
  return nullptr;
}

// ---- Live positions ------------------------------------------------------------------------

LivePosition::LivePosition(std::shared_ptr<Document> document, Gravity g)
    : gravity(g), document_(document.get()), hold_(std::move(document)) {
  document_->live_.push_back(this);
}

LivePosition::LivePosition(Document& document, Gravity g) : gravity(g), document_(&document) {
  document_->live_.push_back(this);
}

std::shared_ptr<Document> LivePosition::shared_document() const {
  return document_->shared_from_this();
}

LivePosition::~LivePosition() {
  auto& live = document_->live_;
  live.erase(std::find(live.begin(), live.end(), this));
}

void LivePosition::MoveTo(const std::shared_ptr<Document>& document, Position at) {
  if (document.get() != document_) {
    auto& live = document_->live_;
    live.erase(std::find(live.begin(), live.end(), this));
    document_ = document.get();
    if (hold_) hold_ = document;
    document_->live_.push_back(this);
  }
  position = at;
}

// ---- The document ------------------------------------------------------------------------

Document::Document() {
  nodes_.emplace_back();
  nodes_.front().kind = NodeKind::kDocument;
}

// The selection's positions unregister themselves: they go before the list they are in.
Document::~Document() { selection.reset(); }

std::shared_ptr<Document> Document::Create() {
  return std::shared_ptr<Document>(new Document());
}

std::shared_ptr<Document> Document::Parse(std::u16string_view html, HtmlParser* parser) {
  auto document = Create();
  document->parser = parser;
  (parser ? *parser : DefaultHtmlParser()).ParseDocument(html, *document);
  return document;
}

Node* Document::HtmlElement() const {
  for (Node* n = nodes_.front().first; n; n = n->next) {
    if (n->kind == NodeKind::kElement) return n;
  }
  return nullptr;
}

Node* Document::Body() const {
  Node* html = HtmlElement();
  if (!html) return nullptr;
  for (Node* n = html->first; n; n = n->next) {
    if (n->IsElement(u"body")) return n;
    if (n->IsElement(u"frameset")) return nullptr;
  }
  return nullptr;
}

void Document::Select(const Range& range) {
  if (!selection) selection = std::make_shared<Range>(*this);
  selection->Set(range.start(), range.end());
  selectionStamp = ++SelectionClock();
}

Node* Document::NewNode(NodeKind kind) {
  Node& node = nodes_.emplace_back();
  node.kind = kind;
  return &node;
}

Node* Document::NewElement(std::u16string name, Namespace ns) {
  Node* node = NewNode(NodeKind::kElement);
  node->name = std::move(name);
  node->ns = ns;
  return node;
}

Node* Document::NewText(std::u16string text) {
  Node* node = NewNode(NodeKind::kText);
  node->data = std::move(text);
  return node;
}

void Document::AppendChild(Node* parent, Node* child) { LinkBefore(parent, child, nullptr); }

void Document::LinkBefore(Node* parent, Node* child, Node* before) {
  child->parent = parent;
  child->next = before;
  child->prev = before ? before->prev : parent->last;
  if (child->prev) {
    child->prev->next = child;
  } else {
    parent->first = child;
  }
  if (before) {
    before->prev = child;
  } else {
    parent->last = child;
  }
}

std::vector<Node*> Document::TakeChildren(Node* holder) {
  std::vector<Node*> nodes;
  for (Node* c = holder->first; c;) {
    Node* next = c->next;
    c->parent = c->prev = c->next = nullptr;
    nodes.push_back(c);
    c = next;
  }
  holder->first = holder->last = nullptr;
  return nodes;
}

Position Document::End(Node* node) {
  if (node->kind == NodeKind::kText) return {node, nullptr, node->data.size()};
  return {node, nullptr, 0};
}

Position Document::Canonical(Position p) {
  if (!p.node) return p;
  if (p.node->kind != NodeKind::kText) {
    if (IsTextNode(p.before)) {
      p = {p.before, nullptr, 0};
    } else {
      Node* previous = p.before ? p.before->prev : p.node->last;
      if (!IsTextNode(previous)) return {p.node, p.before, 0};
      p = {previous, nullptr, previous->data.size()};
    }
  }
  p.offset = std::min(p.offset, p.node->data.size());
  while (p.offset == p.node->data.size() && IsTextNode(p.node->next)) p = {p.node->next, nullptr, 0};
  return p;
}

bool Document::Same(Position a, Position b) {
  a = Canonical(a);
  b = Canonical(b);
  return a.node == b.node && a.before == b.before && a.offset == b.offset;
}

bool Document::Contains(const Node* node) const {
  while (node && node->parent) node = node->parent;
  return node == &nodes_.front();
}

std::vector<Node*> Document::Elements() const {
  std::vector<Node*> elements;
  const Node* rootNode = &nodes_.front();
  for (Node* n = rootNode->first; n;) {
    if (n->kind == NodeKind::kElement) elements.push_back(n);
    if (n->first) {
      n = n->first;
      continue;
    }
    while (n && !n->next) {
      n = n->parent;
      if (n == rootNode) n = nullptr;
    }
    if (n) n = n->next;
  }
  return elements;
}

// ---- Changing the tree ----------------------------------------------------------------------

void Document::InsertBefore(Node* parent, Node* child, Node* before) {
  // Positions at the insertion place: before the child (left) or after it (right).
  const Position place = Canonical({parent, before, 0});
  std::vector<LivePosition*> atPlace;
  for (LivePosition* p : live_) {
    if (p->position.node && Same(p->position, place)) atPlace.push_back(p);
  }
  LinkBefore(parent, child, before);
  for (LivePosition* p : atPlace) {
    p->position = p->gravity == Gravity::kLeft ? Position{parent, child, 0}
                                               : Position{parent, child->next, 0};
  }
}

void Document::Remove(Node* node) {
  Node* parent = node->parent;
  if (!parent) return;
  for (LivePosition* p : live_) {
    Position& pos = p->position;
    if (!pos.node) continue;
    if (IsInside(pos.node, node) || (pos.node == parent && pos.before == node)) {
      pos = {parent, node->next, 0};
    }
  }
  Unlink(node);
}

void Document::Unlink(Node* node) {
  Node* parent = node->parent;
  if (node->prev) {
    node->prev->next = node->next;
  } else {
    parent->first = node->next;
  }
  if (node->next) {
    node->next->prev = node->prev;
  } else {
    parent->last = node->prev;
  }
  node->parent = node->prev = node->next = nullptr;
}

void Document::DeleteText(Node* text, size_t from, size_t to) {
  to = std::min(to, text->data.size());
  if (from >= to) return;
  text->data.erase(from, to - from);
  for (LivePosition* p : live_) {
    Position& pos = p->position;
    if (pos.node != text) continue;
    if (pos.offset > to) {
      pos.offset -= to - from;
    } else if (pos.offset > from) {
      pos.offset = from;
    }
  }
}

Node* Document::SplitText(Node* text, size_t offset) {
  Node* rest = NewText(text->data.substr(offset));
  text->data.resize(offset);
  // Link without InsertBefore: positions are moved by hand below.
  rest->parent = text->parent;
  rest->prev = text;
  rest->next = text->next;
  if (text->next) {
    text->next->prev = rest;
  } else if (text->parent) {
    text->parent->last = rest;
  }
  text->next = rest;
  for (LivePosition* p : live_) {
    Position& pos = p->position;
    if (pos.node != text) continue;
    if (pos.offset > offset || (pos.offset == offset && p->gravity == Gravity::kRight)) {
      pos = {rest, nullptr, pos.offset - offset};
    }
  }
  return rest;
}

std::vector<Node*> Document::ParseFragment(std::u16string_view html, const Node& context) {
  // Plain text in an ordinary element is one text node, whatever the parser: no need to ask it.
  const bool plain = html.find_first_of(u"<&\r") == std::u16string_view::npos &&
                     html.find(u'\0') == std::u16string_view::npos;
  if (plain && context.kind == NodeKind::kElement && context.ns == Namespace::kHtml &&
      !IsHiddenElement(context) && !IsTableContext(context.name) &&
      !(context.name == u"pre" || context.name == u"listing")) {
    if (html.empty()) return {};
    return {NewText(std::u16string(html))};
  }
  if (auto simple = ReadSimpleFragment(html, context, *this)) return *simple;
  return (parser ? *parser : DefaultHtmlParser()).ParseFragment(html, context, *this);
}

bool Document::SetOuterHtml(Node* element, std::u16string_view html) {
  Node* parent = element->parent;
  if (!parent || parent->kind == NodeKind::kDocument) return false;
  const std::vector<Node*> nodes = ParseFragment(html, *parent);
  Node* before = element->next;
  Remove(element);
  for (Node* n : nodes) InsertBefore(parent, n, before);
  return true;
}

bool Document::Unwrap(Node* element) {
  Node* parent = element->parent;
  if (element->kind != NodeKind::kElement || !parent || !Contains(element)) return false;
  // Places in the element itself (between its children) and just before it go where its
  // children now are; places inside the children stay with them.
  for (LivePosition* p : live_) {
    Position& pos = p->position;
    if (pos.node == element) {
      pos = {parent, pos.before ? pos.before : element->next, 0};
    } else if (pos.node == parent && pos.before == element) {
      pos.before = element->first ? element->first : element->next;
    }
  }
  for (Node* c : TakeChildren(element)) LinkBefore(parent, c, element);
  Unlink(element);
  return true;
}

}  // namespace norvex::pagetools::model
