// The reader's view of the page model: stepping through its markup as a markup pointer does,
// which characters find folds together, which elements end a line or are hidden, and the text
// of a whole document.
#include "pagetools/page_model.h"

#include "pagetools/browser_page.h"
#include "pagetools/page_model_walk.h"

namespace norvex::pagetools::model {

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

// ---- The reader's view ----------------------------------------------------------------------

namespace {

// Latin letters with diacritics (U+00C0 to U+017F) as their base letters, lower case: those
// whose canonical decomposition starts with an ASCII letter. 0 for the others (Æ, Ø, Đ, Ł, Œ,
// ...), which only fold their case.
constexpr char kLatinBase[] =
    "aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0\0"    // U+00C0..U+00DF
    "aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0y"     // U+00E0..U+00FF
    "aaaaaaccccccccdd\0\0eeeeeeeeeegggg"        // U+0100..U+011F
    "gggghh\0\0iiiiiiiii\0\0\0jjkk\0llllll\0"   // U+0120..U+013F
    "\0\0\0nnnnnn\0\0\0oooooo\0\0rrrrrrssssss"  // U+0140..U+015F
    "sstttt\0\0uuuuuuuuuuuuwwyyyzzzzzz\0";      // U+0160..U+017F

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
  if (c < 0x80) return ToLowerAscii(c);
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
      case 0x3046:
        return 0x3094;  // う
      case 0x309D:
        return 0x309E;  // ゝ
      case 0x30FD:
        return 0x30FE;  // ヽ
      case 0x308F:
        return 0x30F7;  // わ, ゐ, ゑ, を: only katakana have voiced forms
      case 0x3090:
        return 0x30F8;
      case 0x3091:
        return 0x30F9;
      case 0x3092:
        return 0x30FA;
      default:
        return 0;
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
      u"address", u"article", u"aside",    u"blockquote", u"body",       u"br",      u"button",
      u"caption", u"center",  u"dd",       u"details",    u"dialog",     u"dir",     u"div",
      u"dl",      u"dt",      u"embed",    u"fieldset",   u"figcaption", u"figure",  u"footer",
      u"form",    u"frame",   u"frameset", u"h1",         u"h2",         u"h3",      u"h4",
      u"h5",      u"h6",      u"header",   u"hgroup",     u"hr",         u"html",    u"iframe",
      u"img",     u"input",   u"legend",   u"li",         u"listing",    u"main",    u"menu",
      u"nav",     u"object",  u"ol",       u"p",          u"pre",        u"section", u"select",
      u"summary", u"table",   u"tbody",    u"td",         u"textarea",   u"tfoot",   u"th",
      u"thead",   u"tr",      u"ul",       u"video",      u"audio",      u"canvas"};
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
