// The page tools on the page that the browser shows: highlighting the search words, finding them
// one after the other (through the frames of a frameset), the page's character set and language,
// and the help window. Everything goes through the browser seam (browser.h) and the document seam
// (page_document.h), so the same logic runs on the browser's MSHTML and on our own page model.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pagetools/browser.h"
#include "pagetools/page_document.h"

namespace norvex::search {
class SearchBoxAccess;
}

namespace norvex::pagetools {

// The id and tag name of a highlight element.
inline constexpr char16_t kHighlightId[] = u"norvex_toolbar_hi";
inline constexpr char16_t kHighlightTag[] = u"SPAN";

// The search text as an ordered list of distinct words: trimmed as the search box's text is
// trimmed everywhere (TrimWideSpace: the no-break and ideographic spaces count), split at full
// stops, commas, spaces and ideographic spaces; a token that a listed word contains is dropped,
// and a token that contains listed words replaces each of them in place.
std::vector<std::u16string> SplitSearchWords(std::u16string_view text);

// The background colour of the word at `position` (0 or more): five colours in turn.
const char16_t* HighlightColor(size_t position);

// The markup that replaces one occurrence: a span with the highlight id and the colour around
// the matched text, which is HTML-escaped so that the page's text never becomes markup.
std::u16string HighlightMarkup(std::u16string_view color, std::u16string_view text);

// Elements whose content a reader does not see (the head, scripts, styles, form controls, frames
// and objects, templates, SVG and MathML, ...): find does not match there and highlighting
// never wraps their text. Tag names compared without regard to ASCII case.
bool IsHiddenContentTag(std::u16string_view tag);

// What the page tools keep for the whole process, shared by every toolbar in it. Toolbars of one
// process may run on different browser threads: these values are only read and written under
// PageToolStateLock().
struct PageToolState {
  std::u16string lastHighlightText;
  std::u16string lastFindWord;
  std::optional<std::u16string> findContinuing;  // the bookmark of the last top-level match
  int repeatCount = 0;
};
// The process's values. They live until the process ends: never destroyed, so that nothing is
// released while the process is taken down.
PageToolState& SharedPageToolState();
std::mutex& PageToolStateLock();

// What the frame search keeps of the pages of one thread: page objects are used and released
// only on the thread whose documents they are.
struct FramePageObjects {
  std::shared_ptr<PageDocument> lastFrameDocument;
  std::optional<std::u16string> frameContinuing;  // the bookmark of the last frame match
  std::shared_ptr<TextRange> lastFrameSelection;
};
// The calling thread's objects (kept, like the process's values, until the process ends unless
// a toolbar of the thread lets them go).
FramePageObjects& ThisThreadFramePageObjects();

class BrowserPage {
 public:
  BrowserPage() = default;
  explicit BrowserPage(Browser* browser) : browser_(browser) {}
  BrowserPage(const BrowserPage&) = delete;
  BrowserPage& operator=(const BrowserPage&) = delete;

  // The browser to work on (null: none).
  void SetBrowser(Browser* browser) { browser_ = browser; }
  Browser* browser() const { return browser_; }
  // Lets go of the find markers, the last selection, the last frame, the highlights it made and
  // the frame search's objects of this thread.
  void ReleaseReferences();

  // The "highlight" command: highlights the search box's text, or removes the highlights when
  // the text is empty or the same as last time. Nothing without a search box.
  void ToggleHighlight(const search::SearchBoxAccess* searchBox);
  // Removes the old highlights, then wraps every occurrence of each word in the frames and the
  // top document; the first match of the top document becomes the selection. A match that runs
  // through inline elements is wrapped piece by piece, one highlight in each element, so that
  // the page's own elements keep their content. True when at least one occurrence of the top
  // document was wrapped.
  bool HighlightWords(const std::u16string& text);
  // Unwraps the highlight elements that this object made in the frames and the top document (a
  // page's own element with the highlight's id is none of them): each element goes, and its
  // content, the same nodes, stays in its place, so that the page is as it was before.
  void RemoveHighlights();
  // The documents of the top document's first-level frames, in frame order.
  std::vector<std::shared_ptr<PageDocument>> GetFrameDocuments();

  // The "searchinpage" command: finds the next occurrence of the search box's first word.
  void SearchInPage(const search::SearchBoxAccess* searchBox);
  // Selects the next occurrence of the first word of `text` and scrolls it into view; after the
  // last one it starts again at the top (`wrapped`: this is that second try). A page without a
  // body (a frameset) is searched frame by frame. Always 0.
  int FindNext(const std::u16string& text, bool wrapped, long flags);
  // Selects the next occurrence of `word` in a frame document; true when one was selected. A
  // selection equal to the last one searches again, at most 51 times in a row (`repeats`: how
  // many times so far), as the top-level find repeats.
  bool FindInFrame(const std::shared_ptr<PageDocument>& frame, const std::u16string& word,
                   int repeats = 0);

  // The top document's character set, and the declared language of its html element ("lang",
  // else "xml:lang"); empty when unknown.
  std::u16string GetPageCharset();
  std::u16string GetPageLanguage();

  // Opens `url` in a new browser window of the given size at (50, 50), with its address bar and
  // without menu bar and tool bar. True when the navigation was started.
  bool OpenHelpWindow(const std::u16string& url, int height, int width);

 private:
  std::shared_ptr<PageDocument> TopDocument();
  // Highlights the words of `text` in one document; nothing when the document lacks its markup
  // services, body or text range, else whether anything was wrapped.
  std::optional<bool> HighlightDocument(const std::shared_ptr<PageDocument>& document,
                                        const std::u16string& text, bool selectFirst);
  void RemoveDocumentHighlights(PageDocument& document);
  void SearchFrames(const std::u16string& word);

  // The highlight elements made in one document, to be unwrapped again.
  struct Highlights {
    std::shared_ptr<PageDocument> document;
    std::vector<std::shared_ptr<PageElement>> elements;
  };
  Highlights& HighlightsOf(const std::shared_ptr<PageDocument>& document);

  Browser* browser_ = nullptr;
  std::vector<Highlights> highlights_;
  std::shared_ptr<MarkupPointer> findStart_, findEnd_;
  std::shared_ptr<TextRange> lastSelection_;
  std::shared_ptr<PageDocument> lastFrame_;
};

}  // namespace norvex::pagetools
