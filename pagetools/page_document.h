// Seam: the document model of the page that the browser shows, as far as the page tools call on
// it. Each operation is one call (or one short chain of calls) of the browser's document model:
// on Windows MSHTML (win32/mshtml_document_win.h), elsewhere our own page model
// (model_document.h). Objects are shared: the page tools keep some of them between commands.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvex::pagetools {

// A text range (IHTMLTxtRange).
class TextRange {
 public:
  virtual ~TextRange() = default;
  // findText(text, count, flags): true when found; the range then spans the match.
  virtual bool FindText(const std::u16string& text, long count, long flags) = 0;
  // get_text; nothing when the call fails.
  virtual std::optional<std::u16string> Text() = 0;
  // pasteHTML.
  virtual bool PasteHtml(const std::u16string& html) = 0;
  // select: the range becomes the browser's selection.
  virtual bool Select() = 0;
  // moveStart("character", count).
  virtual bool MoveStartByCharacters(long count) = 0;
  // scrollIntoView(alignToTop).
  virtual bool ScrollIntoView(bool alignToTop) = 0;
  // getBookmark; nothing when the call fails.
  virtual std::optional<std::u16string> Bookmark() = 0;
  // isEqual: false also when the call fails.
  virtual bool IsEqual(TextRange& other) = 0;
};

enum class PointerGravity { kLeft, kRight };

class PageElement;

// What lies next to a markup pointer (MARKUP_CONTEXT_TYPE): nothing (the end of the document),
// text, the start or the end of an element's scope, or an element without scope (br, img, a
// comment).
enum class MarkupContext { kNone, kText, kEnterScope, kExitScope, kNoScope };
struct MarkupStep {
  MarkupContext context = MarkupContext::kNone;
  std::shared_ptr<PageElement> element;  // the element of a scope; may be null
  char16_t character = 0;                // text: the character
};

// A markup pointer (IMarkupPointer).
class MarkupPointer {
 public:
  virtual ~MarkupPointer() = default;
  virtual bool SetGravity(PointerGravity gravity) = 0;
  virtual bool MoveToPointer(MarkupPointer& other) = 0;
  // Right(move, context, element, one character, text): what lies to the right, one character
  // of text at a time; with `move` the pointer goes past it. Nothing (kNone) when the call fails.
  virtual MarkupStep Right(bool move) = 0;
  // IsEqualTo: false also when the call fails.
  virtual bool IsEqualTo(MarkupPointer& other) = 0;
};

// The document's markup services with its markup container (IMarkupServices, IMarkupContainer).
class DocumentMarkup {
 public:
  virtual ~DocumentMarkup() = default;
  // CreateMarkupPointer; null when it fails.
  virtual std::shared_ptr<MarkupPointer> CreatePointer() = 0;
  // IMarkupPointer::MoveToContainer(container, atStart).
  virtual bool MoveToContainer(MarkupPointer& pointer, bool atStart) = 0;
  virtual bool MoveRangeToPointers(MarkupPointer& start, MarkupPointer& end, TextRange& range) = 0;
  virtual bool MovePointersToRange(TextRange& range, MarkupPointer& start, MarkupPointer& end) = 0;
  // RemoveElement: the element goes and its content stays in its place, the same nodes.
  virtual bool RemoveElement(PageElement& element) = 0;
};

// An element of the page (IHTMLElement).
class PageElement {
 public:
  virtual ~PageElement() = default;
  virtual std::optional<std::u16string> Id() = 0;       // get_id
  virtual std::optional<std::u16string> TagName() = 0;  // get_tagName
};

// A document of the page: the top document or the document of a frame (IHTMLDocument2).
class PageDocument {
 public:
  virtual ~PageDocument() = default;
  // The same document object (COM identity).
  virtual bool SameAs(PageDocument& other) = 0;
  // The documents of the first-level frames in frame order: get_frames, get_length, item(i) as a
  // 4-byte integer, IHTMLWindow2::get_document; items that are no window or give no document
  // are left out. Empty when there are no frames or the collection cannot be had.
  virtual std::vector<std::shared_ptr<PageDocument>> FrameDocuments() = 0;
  // get_body, IHTMLBodyElement, createTextRange; null when any of them fails.
  virtual std::shared_ptr<TextRange> BodyTextRange() = 0;
  // The markup services and the markup container; null when either fails.
  virtual std::shared_ptr<DocumentMarkup> Markup() = 0;
  // get_selection, createRange as a text range; null when any of them fails.
  virtual std::shared_ptr<TextRange> SelectionRange() = 0;
  // get_URL; empty when it fails.
  virtual std::u16string Url() = 0;
  // get_charset; empty when it fails.
  virtual std::u16string Charset() = 0;
  // getElementsByTagName("html"), its element 0, getAttribute(name, 0): the value when it is a
  // string, else nothing.
  virtual std::optional<std::u16string> HtmlAttribute(const std::u16string& name) = 0;
};

}  // namespace norvex::pagetools
