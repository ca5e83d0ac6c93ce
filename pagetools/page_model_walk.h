// Inside the page model only: walking its markup in document order (Walker) and the reader's
// view of its text built on that walk (ReaderStream), which the reader's text, find and the
// ranges share.
#pragma once

#include <optional>

#include "common/text.h"
#include "pagetools/page_model.h"

namespace norvex::pagetools::model {

inline bool IsInside(const Node* node, const Node* ancestor) {
  for (; node; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

inline bool IsPreformatted(const Node& e) {
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
        Emit({IsHtmlSpace(c) ? u' ' : c, false, {t, nullptr, i}, {t, nullptr, i + 1}}, visit);
        continue;
      }
      if (IsHtmlSpace(c)) {
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

}  // namespace norvex::pagetools::model
