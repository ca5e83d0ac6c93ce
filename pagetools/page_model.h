// Our own model of an HTML page, for the places where the browser's document model is not there
// (Linux, the Windows host under Wine): a tree of nodes with positions that stay valid while the
// tree changes, a reader's view of its text (what a case-insensitive find matches), replacing a
// stretch of the page with parsed markup, and serialisation back to HTML. docs/pagetools.md
// lists the text semantics in a table.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvex::pagetools::model {

enum class NodeKind { kDocument, kElement, kText, kComment, kDoctype };
enum class Namespace { kHtml, kSvg, kMathMl };

struct Attribute {
  std::u16string name, value;
};

class Document;

// One node of the tree. Children are a linked list, so that inserting and removing are O(1).
// Nodes belong to their document and live as long as it, also after they have been removed from
// the tree (elements handed out keep working, detached).
struct Node {
  NodeKind kind = NodeKind::kElement;
  Namespace ns = Namespace::kHtml;
  std::u16string name;  // elements: the local name, lower case for HTML; doctype: its name
  std::vector<Attribute> attributes;
  std::u16string data;  // text and comments
  Node* parent = nullptr;
  Node* first = nullptr;
  Node* last = nullptr;
  Node* prev = nullptr;
  Node* next = nullptr;
  // What the reader's view makes of the element, worked out once (names do not change).
  mutable unsigned char readerClass = 0;

  bool IsElement(std::u16string_view tag) const {
    return kind == NodeKind::kElement && ns == Namespace::kHtml && name == tag;
  }
  // The attribute's value; null when the element has none of that name (names compared exactly).
  const std::u16string* FindAttribute(std::u16string_view attribute) const;
};

// A place in the tree: inside a text node before character `offset`, or inside any other node
// before its child `before` (null: after its last child).
struct Position {
  Node* node = nullptr;
  Node* before = nullptr;
  size_t offset = 0;

  bool valid() const { return node != nullptr; }
};

enum class Gravity { kLeft, kRight };

// A position that the document keeps valid while the tree changes: content inserted exactly at
// it goes after it (left gravity) or before it (right gravity); content removed around it leaves
// it where the content was. Registered with its document for its whole life.
class LivePosition {
 public:
  // A position that keeps its document alive.
  explicit LivePosition(std::shared_ptr<Document> document, Gravity gravity = Gravity::kLeft);
  // A position of the document's own (its selection), which must not keep it alive.
  explicit LivePosition(Document& document, Gravity gravity = Gravity::kLeft);
  ~LivePosition();
  LivePosition(const LivePosition&) = delete;
  LivePosition& operator=(const LivePosition&) = delete;

  Document& document() const { return *document_; }
  std::shared_ptr<Document> shared_document() const;
  // Places the position in another document (or this one).
  void MoveTo(const std::shared_ptr<Document>& document, Position at);
  Position position;
  Gravity gravity;

 private:
  Document* document_;
  std::shared_ptr<Document> hold_;  // null for the document's own positions
};

// A stretch of the document between two live positions, as a text range of the browser: it
// finds text, gives its text, is replaced by markup, becomes the selection.
class Range {
 public:
  // A range over the document's body (or the whole document without one).
  explicit Range(std::shared_ptr<Document> document);
  // The document's own range (its selection), which does not keep it alive.
  explicit Range(Document& document);
  Document& document() const { return start_.document(); }
  std::shared_ptr<Document> shared_document() const { return start_.shared_document(); }

  Position start() const { return start_.position; }
  Position end() const { return end_.position; }
  void Set(Position start, Position end);

  // Searches forward for `text` (folded as find folds it unless `matchCase`) from the range's
  // start (a collapsed range: from its point) to the end of the document, or within the range
  // only when `withinRange`. Found: the range spans the match and the result is true. Not found:
  // the range stays as it was.
  bool Find(std::u16string_view text, bool matchCase, bool withinRange = false);
  // The text of the range as a reader sees it (white space collapsed, hidden content left out,
  // one line break between blocks).
  std::u16string Text() const;
  // Replaces the range's content with `html`, parsed in the context of the element that holds
  // the start; afterwards the range spans the new content. False when the range is not in the
  // document.
  bool PasteHtml(std::u16string_view html);
  // Moves the start by `count` characters of the reader's text (forward only; negative counts
  // move nothing). The number of characters moved.
  long MoveStart(long count);
  bool IsEqual(const Range& other) const;
  // A text that names the range's place (the reader's offsets of both ends).
  std::u16string Bookmark() const;

 private:
  void SpanBody();

  LivePosition start_;
  LivePosition end_;
};

// Parses HTML for the model: a whole page, or a fragment in the context of an element (the
// fragment's nodes are built in `document`, detached, and returned in order). The Linux build
// parses with gumbo, the Windows build with html_reader.h.
class HtmlParser {
 public:
  virtual ~HtmlParser() = default;
  virtual bool ParseDocument(std::u16string_view html, Document& document) = 0;
  virtual std::vector<Node*> ParseFragment(std::u16string_view html, const Node& context,
                                           Document& document) = 0;
};
// The build's parser.
HtmlParser& DefaultHtmlParser();

class Document : public std::enable_shared_from_this<Document> {
 public:
  // An empty document (a document node without children). Use Parse for a page.
  static std::shared_ptr<Document> Create();
  // The page `html` parsed by the build's parser (or by `parser`).
  static std::shared_ptr<Document> Parse(std::u16string_view html, HtmlParser* parser = nullptr);
  ~Document();

  Node* root() { return &nodes_.front(); }
  const Node* root() const { return &nodes_.front(); }
  // The html, head and body elements (body: null for a frameset page or when there is none).
  Node* HtmlElement() const;
  Node* Body() const;
  // The document's frames (frameset frames and iframes of the page), as a host loaded them.
  std::vector<std::shared_ptr<Document>> frames;
  std::u16string url;
  std::u16string charset;
  HtmlParser* parser = nullptr;  // null: the build's parser

  // The selection: a range, or null when nothing is selected. `selectionStamp` grows with every
  // selection made in any document of the process, so that a host can tell the latest one.
  std::shared_ptr<Range> selection;
  unsigned long long selectionStamp = 0;
  void Select(const Range& range);
  int scrolls = 0;  // how often a range was scrolled into view

  // Building.
  Node* NewElement(std::u16string name, Namespace ns = Namespace::kHtml);
  Node* NewText(std::u16string text);
  Node* NewNode(NodeKind kind);
  // Appends without touching live positions (for parsers building a tree that nobody points at).
  static void AppendChild(Node* parent, Node* child);
  // Links `child` into `parent` before `before` (null: at the end), without touching live
  // positions.
  static void LinkBefore(Node* parent, Node* child, Node* before);
  // Detaches the children of `holder` (a node nobody points at) and returns them in order.
  static std::vector<Node*> TakeChildren(Node* holder);
  // Takes `node` out of its parent's children without touching live positions.
  static void Unlink(Node* node);

  // Changing the tree; live positions follow.
  void InsertBefore(Node* parent, Node* child, Node* before);
  void Remove(Node* node);
  void DeleteText(Node* text, size_t from, size_t to);
  // Splits a text node at `offset`; the new node (after it) holds the rest.
  Node* SplitText(Node* text, size_t offset);
  // Replaces `element` by the nodes parsed from `html` in the context of its parent. False when
  // the element has no parent.
  bool SetOuterHtml(Node* element, std::u16string_view html);
  // Removes `element` and puts its child nodes, the same nodes, in its place. False when it is no
  // element of this document's tree.
  bool Unwrap(Node* element);
  std::vector<Node*> ParseFragment(std::u16string_view html, const Node& context);

  // Every element in document order (the snapshot that the browser's element enumerator
  // walks).
  std::vector<Node*> Elements() const;

  // Positions.
  static Position Begin(Node* node) { return {node, node->kind == NodeKind::kText ? nullptr : node->first, 0}; }
  static Position End(Node* node);
  static Position Before(Node* node) { return {node->parent, node, 0}; }
  static Position After(Node* node) { return {node->parent, node->next, 0}; }
  // One spelling of each place: a place next to a text node is given inside it.
  static Position Canonical(Position p);
  static bool Same(Position a, Position b);
  // True when `node` is in this document's tree.
  bool Contains(const Node* node) const;

 private:
  friend class LivePosition;
  Document();
  std::deque<Node> nodes_;
  std::vector<LivePosition*> live_;
};

// One step through the markup from a place to the right, as a markup pointer of the browser
// takes it: one character of text, the start or the end of an element, or an element without
// content (void elements; comments and doctypes, which have no element). Nothing at the end of
// the document or of a detached subtree.
struct MarkupStep {
  enum Kind { kNone, kText, kEnter, kExit, kNoScope } kind = kNone;
  Node* node = nullptr;  // the element entered, left or passed; the text node of a character
  char16_t character = 0;
};
// What lies right of `at`; with `move`, `at` goes past it.
MarkupStep StepRight(Position& at, bool move);

// Elements that have no content and no end tag (br, img, input, ...).
bool IsVoidElement(const Node& element);

// A reader's view of the text: what a case-insensitive find compares. Characters of hidden
// content (head, scripts, styles, form controls, embedded SVG and MathML, templates) are left
// out; white space runs collapse to one space outside preformatted elements; block elements and
// line breaks end a line, which no match crosses.
char16_t FoldForFind(char16_t c);
// A folded kana followed by a folded voiced (U+3099) or semi-voiced (U+309A) sound mark reads
// as the one kana that they make (half-width ｶﾞ as ガ); 0 when the two make none.
char16_t ComposeForFind(char16_t base, char16_t mark);
bool IsBlockElement(const Node& element);
bool IsHiddenElement(const Node& element);

// The text of the whole document as a reader sees it, one line per block, lines joined by "\n"
// (for tests, the fuzzer and hosts).
std::u16string ReaderText(const Document& document);

// HTML serialisation of the children of `node` (innerHTML) and of the node itself (outerHTML);
// a document serialises with its doctype.
std::u16string InnerHtml(const Node& node);
std::u16string OuterHtml(const Node& node);
// Text escaped for the content of an element: & < > and no-break spaces.
std::u16string EscapeHtmlText(std::u16string_view text);

}  // namespace norvex::pagetools::model
