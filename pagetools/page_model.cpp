#include "pagetools/page_model.h"

#include <algorithm>
#include <cstdio>

#include "pagetools/browser_page.h"
#include "pagetools/html_reader.h"

namespace norvex::pagetools::model {

namespace {

bool IsTextNode(const Node* n) { return n && n->kind == NodeKind::kText; }

bool IsHtmlWhite(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

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

// ---- Live positions and ranges ------------------------------------------------------------

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

namespace {

bool IsInside(const Node* node, const Node* ancestor) {
  for (; node; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

}  // namespace

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

// ---- Walking the markup ---------------------------------------------------------------------

namespace {

bool IsPreformatted(const Node& e) {
  return e.kind == NodeKind::kElement && e.ns == Namespace::kHtml &&
         (e.name == u"pre" || e.name == u"listing");
}

// One step of the markup in document order.
struct Event {
  enum Type { kEnter, kLeave, kText, kEnd } type = kEnd;
  Node* node = nullptr;
  size_t from = 0, to = 0;
};

class Walker {
 public:
  explicit Walker(Position start) : pos_(start) {}
  Position position() const { return pos_; }

  Event Next() {
    Node* n = pos_.node;
    if (!n) return {};
    if (n->kind == NodeKind::kText) {
      Event e{Event::kText, n, std::min(pos_.offset, n->data.size()), n->data.size()};
      pos_ = n->parent ? Position{n->parent, n->next, 0} : Position{};
      return e;
    }
    if (Node* c = pos_.before) {
      if (c->kind == NodeKind::kText) {
        pos_ = {n, c->next, 0};
        return {Event::kText, c, 0, c->data.size()};
      }
      pos_ = {c, c->first, 0};
      return {Event::kEnter, c};
    }
    pos_ = n->parent ? Position{n->parent, n->next, 0} : Position{};
    return {Event::kLeave, n};
  }
  // After an Enter: continue behind the element.
  void Skip(Node* element) {
    pos_ = element->parent ? Position{element->parent, element->next, 0} : Position{};
  }
  // Within a text event: the walk goes on at `offset` of that text node.
  void Resume(Position p) { pos_ = p; }

 private:
  Position pos_;
};

}  // namespace

MarkupStep StepRight(Position& at, bool move) {
  Position p = at;
  for (;;) {
    if (!p.node) return {};
    if (p.node->kind == NodeKind::kText) {
      if (p.offset < p.node->data.size()) {
        const MarkupStep step{MarkupStep::kText, p.node, p.node->data[p.offset]};
        if (move) at = {p.node, nullptr, p.offset + 1};
        return step;
      }
      p = {p.node->parent, p.node->next, 0};  // past the end of the text
      continue;
    }
    Node* c = p.before;
    if (!c) {
      if (p.node->kind != NodeKind::kElement || !p.node->parent) return {};
      if (move) at = Document::After(p.node);
      return {MarkupStep::kExit, p.node};
    }
    if (c->kind == NodeKind::kText) {
      p = {c, nullptr, 0};
      continue;
    }
    if (c->kind == NodeKind::kElement && !IsVoidElement(*c)) {
      if (move) at = Document::Begin(c);
      return {MarkupStep::kEnter, c};
    }
    if (move) at = Document::After(c);
    return {MarkupStep::kNoScope, c};
  }
}

// The reader's characters from a position on, each with the stretch of markup it stands for,
// handed to a visitor one by one (it returns false to stop).
class ReaderStream {
 public:
  struct Unit {
    char16_t c = 0;
    bool lineEnd = false;
    Position begin, end;
  };

  ReaderStream(Position start, std::optional<Position> limit) : walker_(start) {
    if (limit) limit_ = Document::Canonical(*limit);
    // Starting inside hidden content: go on behind its outermost hidden element. Inside
    // preformatted text: keep the spaces.
    Node* hidden = nullptr;
    for (Node* a = start.node; a; a = a->parent) {
      if (IsHiddenElement(*a)) hidden = a;
    }
    for (Node* a = hidden ? hidden->parent : start.node; a; a = a->parent) {
      if (IsPreformatted(*a)) ++preDepth_;
    }
    if (hidden) walker_.Skip(hidden);
  }

  template <typename Visit>
  void Run(Visit&& visit) {
    while (!done_) {
      if (limit_ && Document::Same(walker_.position(), *limit_)) {
        EndAtLimit(visit);
        return;
      }
      const Position here = walker_.position();
      const Event e = walker_.Next();
      switch (e.type) {
        case Event::kEnd:
          return;
        case Event::kEnter:
          if (IsHiddenElement(*e.node)) {
            if (limit_ && IsInside(limit_->node, e.node)) return;
            walker_.Skip(e.node);
            if (IsBlockElement(*e.node)) LineEnd(here, visit);
          } else {
            if (IsBlockElement(*e.node)) LineEnd(here, visit);
            if (IsPreformatted(*e.node)) ++preDepth_;
          }
          break;
        case Event::kLeave:
          if (e.node->kind == NodeKind::kElement) {
            if (IsPreformatted(*e.node) && preDepth_ > 0) --preDepth_;
            if (IsBlockElement(*e.node)) LineEnd(here, visit);
          }
          break;
        case Event::kText:
          Text(e, visit);
          break;
      }
    }
  }

 private:
  template <typename Visit>
  void Emit(const Unit& unit, Visit& visit) {
    if (!visit(unit)) done_ = true;
  }

  // White space just before the limit belongs to the stretch when text went before it.
  template <typename Visit>
  void EndAtLimit(Visit& visit) {
    if (pending_ && lineHasContent_) Emit({u' ', false, pendingBegin_, pendingEnd_}, visit);
    pending_ = false;
    done_ = true;
  }

  template <typename Visit>
  void LineEnd(Position at, Visit& visit) {
    pending_ = false;
    if (!lineHasContent_) return;
    lineHasContent_ = false;
    Emit({u'\n', true, at, at}, visit);
  }

  template <typename Visit>
  void Text(const Event& e, Visit& visit) {
    Node* t = e.node;
    size_t to = e.to;
    const bool endsHere = limit_ && limit_->node == t && limit_->offset >= e.from;
    if (endsHere) to = limit_->offset;
    const std::u16string& s = t->data;
    for (size_t i = e.from; i < to && !done_; ++i) {
      const char16_t c = s[i];
      if (preDepth_ > 0) {
        if (c == u'\n') {
          LineEnd({t, nullptr, i}, visit);
          continue;
        }
        if (c == u'\r') continue;
        lineHasContent_ = true;
        Emit({IsHtmlWhite(c) ? u' ' : c, false, {t, nullptr, i}, {t, nullptr, i + 1}}, visit);
        continue;
      }
      if (IsHtmlWhite(c)) {
        if (!pending_) {
          pending_ = true;
          pendingBegin_ = {t, nullptr, i};
        }
        pendingEnd_ = {t, nullptr, i + 1};
        continue;
      }
      if (pending_) {
        pending_ = false;
        if (lineHasContent_) Emit({u' ', false, pendingBegin_, pendingEnd_}, visit);
        if (done_) return;
      }
      lineHasContent_ = true;
      Emit({c, false, {t, nullptr, i}, {t, nullptr, i + 1}}, visit);
    }
    if (endsHere && !done_) EndAtLimit(visit);
  }

  Walker walker_;
  std::optional<Position> limit_;
  int preDepth_ = 0;
  bool lineHasContent_ = false;
  bool pending_ = false;
  bool done_ = false;
  Position pendingBegin_, pendingEnd_;
};

namespace {

// The needle as find compares it: white space runs as one space, folded unless case matters
// (and then a kana joined with a following sound mark).
std::u16string FindKey(std::u16string_view text, bool matchCase) {
  std::u16string key;
  bool space = false;
  for (char16_t c : text) {
    if (IsHtmlWhite(c) || c == u'\u00A0') {
      space = true;
      continue;
    }
    if (space && !key.empty()) key += u' ';
    space = false;
    if (matchCase) {
      key += c;
      continue;
    }
    const char16_t folded = FoldForFind(c);
    const char16_t joined = key.empty() ? 0 : ComposeForFind(key.back(), folded);
    if (joined) {
      key.back() = joined;
    } else {
      key += folded;
    }
  }
  if (space && !key.empty()) key += u' ';
  return key;
}

char16_t UnitKey(char16_t c, bool matchCase) {
  if (c == u'\u00A0') return u' ';
  return matchCase ? c : FoldForFind(c);
}

// True when `p` lies between the two halves of a surrogate pair: no match begins or ends there.
bool SplitsACharacter(Position p) {
  if (!p.node || p.node->kind != NodeKind::kText) return false;
  const std::u16string& s = p.node->data;
  return p.offset > 0 && p.offset < s.size() && (s[p.offset - 1] & 0xFC00) == 0xD800 &&
         (s[p.offset] & 0xFC00) == 0xDC00;
}

}  // namespace

// ---- Ranges -----------------------------------------------------------------------------

Range::Range(std::shared_ptr<Document> document)
    : start_(document, Gravity::kLeft), end_(document, Gravity::kRight) {
  SpanBody();
}

Range::Range(Document& document)
    : start_(document, Gravity::kLeft), end_(document, Gravity::kRight) {
  SpanBody();
}

void Range::SpanBody() {
  Node* body = document().Body();
  Node* holder = body ? body : document().root();
  start_.position = Document::Begin(holder);
  end_.position = Document::End(holder);
}

void Range::Set(Position start, Position end) {
  start_.position = start;
  end_.position = end;
}

bool Range::Find(std::u16string_view text, bool matchCase, bool withinRange) {
  const std::u16string key = FindKey(text, matchCase);
  if (key.empty() || !start_.position.valid()) return false;
  const size_t m = key.size();
  std::vector<size_t> fail(m, 0);
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && key[i] != key[k]) k = fail[k - 1];
    if (key[i] == key[k]) ++k;
    fail[i] = k;
  }
  std::vector<Position> begins(m);
  size_t matched = 0, index = 0;
  bool found = false;
  // One character of the reader's text as find compares it; true once a match is found.
  auto compare = [&](char16_t c, Position begin, Position end) {
    while (matched > 0 && key[matched] != c) matched = fail[matched - 1];
    if (key[matched] == c) ++matched;
    begins[index % m] = begin;
    ++index;
    if (matched < m) return false;
    const Position first = begins[(index - m) % m];
    if (SplitsACharacter(first) || SplitsACharacter(end)) {
      matched = fail[m - 1];
      return false;
    }
    Set(first, end);
    found = true;
    return true;
  };
  // Folded characters wait for the next one, which may be a sound mark that joins them.
  struct Held {
    char16_t c;
    Position begin, end;
  };
  std::optional<Held> held;
  auto release = [&]() {
    if (!held) return false;
    const Held h = *held;
    held.reset();
    return compare(h.c, h.begin, h.end);
  };
  ReaderStream stream(start_.position,
                      withinRange ? std::optional<Position>(end_.position) : std::nullopt);
  stream.Run([&](const ReaderStream::Unit& unit) {
    if (unit.lineEnd) {
      if (release()) return false;
      matched = 0;
      return true;
    }
    const char16_t c = UnitKey(unit.c, matchCase);
    if (matchCase) return !compare(c, unit.begin, unit.end);
    if (held) {
      if (const char16_t joined = ComposeForFind(held->c, c)) {
        const Position begin = held->begin;
        held.reset();
        return !compare(joined, begin, unit.end);
      }
      if (release()) return false;
    }
    held = Held{c, unit.begin, unit.end};
    return true;
  });
  if (!found) release();
  return found;
}

std::u16string Range::Text() const {
  std::u16string text;
  if (!start_.position.valid()) return text;
  ReaderStream stream(start_.position, end_.position);
  stream.Run([&](const ReaderStream::Unit& unit) {
    if (unit.lineEnd) {
      text += u"\r\n";
    } else {
      text += unit.c;
    }
    return true;
  });
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  return text;
}

long Range::MoveStart(long count) {
  if (count <= 0 || !start_.position.valid()) return 0;
  ReaderStream stream(start_.position, std::nullopt);
  long moved = 0;
  Position to = start_.position;
  stream.Run([&](const ReaderStream::Unit& unit) {
    if (unit.lineEnd) return true;
    to = unit.end;
    return ++moved < count;
  });
  start_.position = to;
  return moved;
}

bool Range::IsEqual(const Range& other) const {
  if (&document() != &other.document()) return false;
  return Document::Same(start_.position, other.start_.position) &&
         Document::Same(end_.position, other.end_.position);
}

std::u16string Range::Bookmark() const {
  const Position s = Document::Canonical(start_.position);
  const Position e = Document::Canonical(end_.position);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "nvx:%p:%zu:%p:%zu", static_cast<void*>(s.node),
                s.offset, static_cast<void*>(e.node), e.offset);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

bool Range::PasteHtml(std::u16string_view html) {
  Document& doc = document();
  if (!start_.position.valid() || !doc.Contains(start_.position.node)) return false;
  // The markup between start and end: text pieces and the nodes that lie wholly inside.
  std::vector<Node*> whole;
  struct Piece {
    Node* node;
    size_t from, to;
  };
  std::vector<Piece> pieces;
  std::vector<std::pair<Node*, size_t>> open;  // entered elements, with the size of `whole` then
  if (!Document::Same(start_.position, end_.position)) {
    const Position limit = Document::Canonical(end_.position);
    Walker walker(start_.position);
    while (!Document::Same(walker.position(), limit)) {
      Event e = walker.Next();
      if (e.type == Event::kEnd) break;
      if (e.type == Event::kEnter) {
        open.emplace_back(e.node, whole.size());
      } else if (e.type == Event::kLeave) {
        // Leaving an element that the range started inside: it stays.
        if (open.empty() || open.back().first != e.node) continue;
        whole.resize(open.back().second);
        whole.push_back(e.node);
        open.pop_back();
      } else if (e.type == Event::kText) {
        size_t to = e.to;
        if (limit.node == e.node && limit.offset >= e.from) to = limit.offset;
        if (e.from == 0 && to == e.node->data.size()) {
          whole.push_back(e.node);
        } else {
          pieces.push_back({e.node, e.from, to});
        }
        if (to != e.to) break;
      }
    }
  }
  // The insertion place follows the deletions.
  LivePosition place(shared_document(), Gravity::kLeft);
  place.position = start_.position;
  for (const Piece& piece : pieces) doc.DeleteText(piece.node, piece.from, piece.to);
  for (Node* n : whole) doc.Remove(n);

  Position at = Document::Canonical(place.position);
  Node* parent;
  Node* before;
  if (at.node->kind == NodeKind::kText) {
    Node* t = at.node;
    parent = t->parent;
    if (at.offset == 0) {
      before = t;
    } else if (at.offset >= t->data.size()) {
      before = t->next;
    } else {
      before = doc.SplitText(t, at.offset);
    }
  } else {
    parent = at.node;
    before = at.before;
  }
  if (!parent) return false;
  if (before && before->parent != parent) before = nullptr;
  const std::vector<Node*> nodes = doc.ParseFragment(html, *parent);
  for (Node* n : nodes) doc.InsertBefore(parent, n, before);
  if (nodes.empty()) {
    Set(place.position, place.position);
  } else {
    Set(Document::Before(nodes.front()), Document::After(nodes.back()));
  }
  return true;
}

// ---- The reader's view ----------------------------------------------------------------------

namespace {

// Latin letters with diacritics (U+00C0 to U+017F) as their base letters, lower case: those
// whose canonical decomposition starts with an ASCII letter. 0 for the others (Æ, Ø, Đ, Ł, Œ,
// ...), which only fold their case.
constexpr char kLatinBase[] =
    "aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0\0"  // U+00C0..U+00DF
    "aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0y"  // U+00E0..U+00FF
    "aaaaaaccccccccdd\0\0eeeeeeeeeegggg"  // U+0100..U+011F
    "gggghh\0\0iiiiiiiii\0\0\0jjkk\0llllll\0"  // U+0120..U+013F
    "\0\0\0nnnnnn\0\0\0oooooo\0\0rrrrrrssssss"  // U+0140..U+015F
    "sstttt\0\0uuuuuuuuuuuuwwyyyzzzzzz\0";  // U+0160..U+017F

// Half-width katakana and punctuation (U+FF61 to U+FF9D) as their full-width forms; the
// half-width sound marks U+FF9E and U+FF9F are the combining marks U+3099 and U+309A.
constexpr char16_t kHalfWidthKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x3099, 0x309A};

}  // namespace

char16_t FoldForFind(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? c + 32 : c;
  if (c == 0x00A0) return u' ';
  // Full-width forms of ASCII read as ASCII.
  if (c >= 0xFF01 && c <= 0xFF5E) return FoldForFind(static_cast<char16_t>(c - 0xFEE0));
  // Half-width katakana read as katakana, which read as hiragana.
  if (c >= 0xFF61 && c <= 0xFF9F) return FoldForFind(kHalfWidthKana[c - 0xFF61]);
  if (c >= 0x30A1 && c <= 0x30F6) return c - 0x60;
  if (c >= 0x00C0 && c <= 0x017F) {
    const char base = kLatinBase[c - 0x00C0];
    if (base) return static_cast<char16_t>(base);
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return c + 32;
    if (c >= 0x0100 && c <= 0x0137) return c | 1;
    if (c >= 0x0139 && c <= 0x0148) return (c & 1) ? c + 1 : c;
    if (c >= 0x014A && c <= 0x0177) return c | 1;
    return c;
  }
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 32;
  if (c == 0x03C2) return 0x03C3;
  if (c >= 0x0400 && c <= 0x040F) return c + 80;
  if (c >= 0x0410 && c <= 0x042F) return c + 32;
  return c;
}

char16_t ComposeForFind(char16_t base, char16_t mark) {
  if (mark == 0x3099) {
    // か to ぢ and つ to ど alternate with their voiced forms; は to ほ come in threes.
    if (base >= 0x304B && base <= 0x3061 && (base & 1)) return base + 1;
    if (base >= 0x3064 && base <= 0x3068 && !(base & 1)) return base + 1;
    if (base >= 0x306F && base <= 0x307B && (base - 0x306F) % 3 == 0) return base + 1;
    switch (base) {
      case 0x3046: return 0x3094;  // う
      case 0x309D: return 0x309E;  // ゝ
      case 0x30FD: return 0x30FE;  // ヽ
      case 0x308F: return 0x30F7;  // わ, ゐ, ゑ, を: only katakana have voiced forms
      case 0x3090: return 0x30F8;
      case 0x3091: return 0x30F9;
      case 0x3092: return 0x30FA;
      default: return 0;
    }
  }
  if (mark == 0x309A && base >= 0x306F && base <= 0x307B && (base - 0x306F) % 3 == 0) {
    return base + 2;
  }
  return 0;
}

namespace {

bool IsBlockName(const Node& e) {
  if (e.kind != NodeKind::kElement || e.ns != Namespace::kHtml) return false;
  static const std::u16string_view kBlocks[] = {
      u"address", u"article", u"aside", u"blockquote", u"body", u"br", u"button", u"caption",
      u"center", u"dd", u"details", u"dialog", u"dir", u"div", u"dl", u"dt", u"embed",
      u"fieldset", u"figcaption", u"figure", u"footer", u"form", u"frame", u"frameset", u"h1",
      u"h2", u"h3", u"h4", u"h5", u"h6", u"header", u"hgroup", u"hr", u"html", u"iframe",
      u"img", u"input", u"legend", u"li", u"listing", u"main", u"menu", u"nav", u"object",
      u"ol", u"p", u"pre", u"section", u"select", u"summary", u"table", u"tbody", u"td",
      u"textarea", u"tfoot", u"th", u"thead", u"tr", u"ul", u"video", u"audio", u"canvas"};
  for (std::u16string_view tag : kBlocks) {
    if (e.name == tag) return true;
  }
  return false;
}

bool IsHiddenName(const Node& e) {
  if (e.kind != NodeKind::kElement) return false;
  return e.ns != Namespace::kHtml || IsHiddenContentTag(e.name);  // SVG and MathML are hidden
}

enum ReaderClass : unsigned char { kClassified = 1, kBlock = 2, kHidden = 4 };

unsigned char ReaderClassOf(const Node& e) {
  if (!e.readerClass) {
    e.readerClass = kClassified | (IsBlockName(e) ? kBlock : 0) | (IsHiddenName(e) ? kHidden : 0);
  }
  return e.readerClass;
}

}  // namespace

bool IsBlockElement(const Node& e) {
  return e.kind == NodeKind::kElement && (ReaderClassOf(e) & kBlock);
}

bool IsHiddenElement(const Node& e) {
  return e.kind == NodeKind::kElement && (ReaderClassOf(e) & kHidden);
}

std::u16string ReaderText(const Document& document) {
  std::u16string text;
  Node* rootNode = const_cast<Document&>(document).root();
  ReaderStream stream(Document::Begin(rootNode), std::nullopt);
  stream.Run([&](const ReaderStream::Unit& unit) {
    text += unit.lineEnd ? u'\n' : unit.c;
    return true;
  });
  while (!text.empty() && text.back() == u'\n') text.pop_back();
  return text;
}

}  // namespace norvex::pagetools::model
