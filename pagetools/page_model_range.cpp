// Ranges of the page model: finding text as a reader reads it, the range's text, replacing it
// with parsed markup, moving its start, comparing and naming it.
#include "pagetools/page_model.h"

#include <cstdio>
#include <vector>

#include "pagetools/page_model_walk.h"

namespace norvex::pagetools::model {

namespace {

// The needle as find compares it: white space runs as one space, folded unless case matters
// (and then a kana joined with a following sound mark).
std::u16string FindKey(std::u16string_view text, bool matchCase) {
  std::u16string key;
  bool space = false;
  for (char16_t c : text) {
    if (IsHtmlSpace(c) || c == u'\u00A0') {
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
  // Folded kana wait for the next character, which may be a sound mark that joins them.
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
    // Only kana take a sound mark: other characters are compared at once.
    if (c < 0x3041 || c > 0x30FE) return !compare(c, unit.begin, unit.end);
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
  std::snprintf(buffer, sizeof buffer, "nvx:%p:%zu:%p:%zu", static_cast<void*>(s.node), s.offset,
                static_cast<void*>(e.node), e.offset);
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

}  // namespace norvex::pagetools::model
