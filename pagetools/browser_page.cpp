#include "pagetools/browser_page.h"

#include <map>
#include <thread>

#include "common/text.h"
#include "search/search_box_access.h"

namespace norvex::pagetools {

namespace {

bool IsWordDelimiter(char16_t c) {
  return c == u'.' || c == u',' || c == u' ' || c == u'\u3000';
}

constexpr long kFindForward = 1;

// A repeated search is made while the number of repeats before it is at most this.
constexpr int kMostRepeats = 50;

// The steps that the walk through one match may take: a match is a few words of one line.
constexpr int kMostMatchSteps = 1 << 16;

// A stretch of a match's text within one element.
struct TextRun {
  std::shared_ptr<MarkupPointer> start, end;
  std::u16string text;
};

std::shared_ptr<MarkupPointer> PointerAt(DocumentMarkup& markup, MarkupPointer& place) {
  std::shared_ptr<MarkupPointer> pointer = markup.CreatePointer();
  if (pointer && !pointer->MoveToPointer(place)) pointer.reset();
  return pointer;
}

// The text between `from` and `to`, cut wherever an element starts or ends, leaving out the
// content of hidden elements. Each run's text is the page's own, character for character.
std::optional<std::vector<TextRun>> TextRuns(DocumentMarkup& markup, MarkupPointer& from,
                                             MarkupPointer& to) {
  std::shared_ptr<MarkupPointer> walker = PointerAt(markup, from);
  if (!walker) return std::nullopt;
  std::vector<TextRun> runs;
  std::optional<TextRun> open;
  std::vector<bool> entered;  // the elements entered on the way: whether each is hidden
  int hidden = 0;
  auto close = [&]() -> bool {
    if (!open) return true;
    open->end = PointerAt(markup, *walker);
    if (!open->end) return false;
    runs.push_back(std::move(*open));
    open.reset();
    return true;
  };
  for (int steps = 0; !walker->IsEqualTo(to); ++steps) {
    if (steps == kMostMatchSteps) return std::nullopt;
    const MarkupStep step = walker->Right(false);
    if (step.context == MarkupContext::kNone) break;
    if (step.context == MarkupContext::kText) {
      if (hidden == 0) {
        if (!open) {
          open = TextRun{PointerAt(markup, *walker), nullptr, {}};
          if (!open->start) return std::nullopt;
        }
        open->text += step.character;
      }
    } else {
      if (!close()) return std::nullopt;
      if (step.context == MarkupContext::kEnterScope) {
        const std::optional<std::u16string> tag =
            step.element ? step.element->TagName() : std::nullopt;
        entered.push_back(tag && IsHiddenContentTag(*tag));
        hidden += entered.back();
      } else if (step.context == MarkupContext::kExitScope && !entered.empty()) {
        hidden -= entered.back();
        entered.pop_back();
      }
    }
    if (walker->Right(true).context == MarkupContext::kNone) break;
  }
  if (!close()) return std::nullopt;
  return runs;
}

bool IsHighlight(PageElement& element) {
  const std::optional<std::u16string> id = element.Id();
  const std::optional<std::u16string> tag = element.TagName();
  return id && tag && *id == kHighlightId && *tag == kHighlightTag;
}

}  // namespace

bool IsHiddenContentTag(std::u16string_view tag) {
  static const std::u16string_view kHidden[] = {
      u"head",     u"script",    u"style",  u"template", u"title",    u"noscript", u"noembed",
      u"noframes", u"textarea",  u"select", u"option",   u"optgroup", u"datalist", u"xmp",
      u"iframe",   u"plaintext", u"object", u"frameset", u"frame",    u"svg",      u"math"};
  for (std::u16string_view hidden : kHidden) {
    if (EqualsIgnoreCaseAscii(tag, hidden)) return true;
  }
  return false;
}

std::vector<std::u16string> SplitSearchWords(std::u16string_view text) {
  text = TrimWideSpace(text);
  std::vector<std::u16string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsWordDelimiter(text[i])) ++i;
    const size_t begin = i;
    while (i < text.size() && !IsWordDelimiter(text[i])) ++i;
    if (i == begin) continue;
    const std::u16string token(text.substr(begin, i - begin));
    bool touched = false;
    for (std::u16string& word : words) {
      if (word.find(token) != std::u16string::npos) {
        touched = true;
      } else if (token.find(word) != std::u16string::npos) {
        word = token;
        touched = true;
      }
    }
    if (!touched) words.push_back(token);
  }
  return words;
}

const char16_t* HighlightColor(size_t position) {
  static const char16_t* const kColors[] = {u"#FFFF00", u"#00FFFF", u"#FF00FF", u"#7FFF00",
                                            u"#1E90FF"};
  return kColors[position % 5];
}

std::u16string HighlightMarkup(std::u16string_view color, std::u16string_view text) {
  std::u16string markup = u"<span id='norvex_toolbar_hi' style='BACKGROUND-COLOR:";
  markup += color;
  markup += u";color:#000000;'>";
  for (char16_t c : text) {
    switch (c) {
      case u'&': markup += u"&amp;"; break;
      case u'<': markup += u"&lt;"; break;
      case u'>': markup += u"&gt;"; break;
      default: markup += c;
    }
  }
  markup += u"</span>";
  return markup;
}

PageToolState& SharedPageToolState() {
  static PageToolState* state = new PageToolState();
  return *state;
}

std::mutex& PageToolStateLock() {
  static std::mutex* lock = new std::mutex();
  return *lock;
}

FramePageObjects& ThisThreadFramePageObjects() {
  static std::mutex* lock = new std::mutex();
  static auto* threads = new std::map<std::thread::id, FramePageObjects>();
  // Entries of a map stay where they are while others are added: the reference is the calling
  // thread's own from then on.
  std::lock_guard<std::mutex> guard(*lock);
  return (*threads)[std::this_thread::get_id()];
}

void BrowserPage::ReleaseReferences() {
  findStart_.reset();
  findEnd_.reset();
  lastSelection_.reset();
  lastFrame_.reset();
  highlights_.clear();
  ThisThreadFramePageObjects() = FramePageObjects();
}

std::shared_ptr<PageDocument> BrowserPage::TopDocument() {
  return browser_ ? browser_->TopDocument() : nullptr;
}

// ---- Highlighting -------------------------------------------------------------------------

void BrowserPage::ToggleHighlight(const search::SearchBoxAccess* searchBox) {
  if (!searchBox) return;
  const std::u16string text = searchBox->GetText();
  bool highlight;
  {
    std::lock_guard<std::mutex> lock(PageToolStateLock());
    PageToolState& state = SharedPageToolState();
    highlight = !text.empty() && text != state.lastHighlightText;
    if (highlight) {
      state.lastHighlightText = text;
    } else {
      state.lastHighlightText.clear();
    }
  }
  if (highlight) {
    HighlightWords(text);
  } else {
    RemoveHighlights();
  }
}

std::vector<std::shared_ptr<PageDocument>> BrowserPage::GetFrameDocuments() {
  std::shared_ptr<PageDocument> top = TopDocument();
  if (!top) return {};
  return top->FrameDocuments();
}

BrowserPage::Highlights& BrowserPage::HighlightsOf(const std::shared_ptr<PageDocument>& document) {
  for (Highlights& highlights : highlights_) {
    if (highlights.document->SameAs(*document)) return highlights;
  }
  return highlights_.emplace_back(Highlights{document, {}});
}

// Only the elements that this object made are unwrapped, and only while they are still
// highlights; the nodes inside them stay as they are (nothing is parsed again).
void BrowserPage::RemoveDocumentHighlights(PageDocument& document) {
  for (Highlights& highlights : highlights_) {
    if (!highlights.document->SameAs(document)) continue;
    std::shared_ptr<DocumentMarkup> markup = document.Markup();
    if (!markup) return;
    for (const auto& element : highlights.elements) {
      if (IsHighlight(*element)) markup->RemoveElement(*element);
    }
    highlights.elements.clear();
  }
}

void BrowserPage::RemoveHighlights() {
  for (const auto& frame : GetFrameDocuments()) RemoveDocumentHighlights(*frame);
  if (std::shared_ptr<PageDocument> top = TopDocument()) RemoveDocumentHighlights(*top);
  // Highlights of pages that are no longer shown went with their pages.
  highlights_.clear();
}

std::optional<bool> BrowserPage::HighlightDocument(const std::shared_ptr<PageDocument>& document,
                                                   const std::u16string& text, bool selectFirst) {
  std::shared_ptr<DocumentMarkup> markup = document->Markup();
  if (!markup) return std::nullopt;
  std::shared_ptr<TextRange> range = document->BodyTextRange();
  if (!range) return std::nullopt;
  std::shared_ptr<MarkupPointer> start = markup->CreatePointer();
  std::shared_ptr<MarkupPointer> end = markup->CreatePointer();
  if (!start || !end) return std::nullopt;

  const std::vector<std::u16string> words = SplitSearchWords(text);
  int matches = 0;
  bool wrapped = false;
  for (size_t j = 0; j < words.size(); ++j) {
    // Each word starts again at the top of the document.
    markup->MoveToContainer(*start, true);
    markup->MoveToContainer(*end, false);
    start->SetGravity(PointerGravity::kRight);
    end->SetGravity(PointerGravity::kLeft);
    for (;;) {
      markup->MoveRangeToPointers(*start, *end, *range);
      if (!range->FindText(words[j], kFindForward, 0)) break;
      if (selectFirst && matches == 0) range->Select();
      ++matches;
      std::shared_ptr<MarkupPointer> from = markup->CreatePointer();
      std::shared_ptr<MarkupPointer> to = markup->CreatePointer();
      if (!from || !to || !markup->MovePointersToRange(*range, *from, *to)) break;
      std::optional<std::vector<TextRun>> runs = TextRuns(*markup, *from, *to);
      if (!runs) break;
      for (TextRun& run : *runs) {
        // The run's start stays before what replaces the run: the new element is to its right.
        run.start->SetGravity(PointerGravity::kLeft);
        if (!markup->MoveRangeToPointers(*run.start, *run.end, *range)) continue;
        if (!range->PasteHtml(HighlightMarkup(HighlightColor(j), run.text))) continue;
        const MarkupStep made = run.start->Right(false);
        if (made.context == MarkupContext::kEnterScope && made.element) {
          HighlightsOf(document).elements.push_back(made.element);
        }
        wrapped = true;
      }
      // The next search of this word begins behind the last new element (behind the match when
      // nothing of it could be wrapped).
      if (runs->empty() || !markup->MovePointersToRange(*range, *start, *end)) {
        start->MoveToPointer(*to);
        end->MoveToPointer(*to);
      }
      start->MoveToPointer(*end);
    }
  }
  return wrapped;
}

bool BrowserPage::HighlightWords(const std::u16string& text) {
  if (text.empty()) return false;
  RemoveHighlights();
  for (const auto& frame : GetFrameDocuments()) HighlightDocument(frame, text, false);
  std::shared_ptr<PageDocument> top = TopDocument();
  if (!top) return false;
  return HighlightDocument(top, text, true).value_or(false);
}

// ---- Find in page -----------------------------------------------------------------------------

void BrowserPage::SearchInPage(const search::SearchBoxAccess* searchBox) {
  if (!searchBox) return;
  const std::u16string text = searchBox->GetText();
  if (!text.empty()) FindNext(text, false, 0);
}

namespace {

// Runs `use` on the process's values under their lock.
template <typename Use>
auto WithState(Use&& use) {
  std::lock_guard<std::mutex> lock(PageToolStateLock());
  return use(SharedPageToolState());
}

}  // namespace

int BrowserPage::FindNext(const std::u16string& text, bool wrapped, long flags) {
  const std::u16string_view trimmed = TrimWideSpace(text);
  if (trimmed.empty()) return 0;
  const std::vector<std::u16string> words = SplitSearchWords(trimmed);
  if (words.empty()) return 0;  // only delimiters: nothing to find
  const std::u16string word = words.front();
  bool continuing = WithState([&](PageToolState& state) {
    if (word != state.lastFindWord) state.findContinuing.reset();
    state.lastFindWord = word;
    return state.findContinuing.has_value();
  });

  bool repeat = false;
  {
    std::shared_ptr<PageDocument> document = TopDocument();
    if (!document) return 0;
    std::shared_ptr<TextRange> range = document->BodyTextRange();
    if (!range) {
      SearchFrames(word);
      return 0;
    }
    std::shared_ptr<DocumentMarkup> markup = document->Markup();
    if (!markup) return 0;
    if (!findStart_) findStart_ = markup->CreatePointer();
    if (!findEnd_) findEnd_ = markup->CreatePointer();
    if (!findStart_ || !findEnd_) return 0;

    // Markers of another page, or never placed, cannot span the range: the search then starts
    // at the top.
    if (continuing && markup->MoveRangeToPointers(*findStart_, *findEnd_, *range)) {
      range->MoveStartByCharacters(1);
    }
    if (!range->FindText(word, kFindForward, flags)) {
      if (continuing && !wrapped) {
        WithState([](PageToolState& state) { state.findContinuing.reset(); });
        findStart_.reset();
        findEnd_.reset();
        range.reset();
        markup.reset();
        document.reset();
        FindNext(word, true, 0);
        return 0;
      }
      findStart_.reset();
      findEnd_.reset();
      return 0;
    }
    range->Select();
    range->ScrollIntoView(true);
    markup->MovePointersToRange(*range, *findStart_, *findEnd_);
    if (std::optional<std::u16string> bookmark = range->Bookmark()) {
      WithState([&](PageToolState& state) { state.findContinuing = std::move(bookmark); });
    }
    if (std::shared_ptr<TextRange> selection = document->SelectionRange()) {
      if (lastSelection_) {
        const bool same = selection->IsEqual(*lastSelection_);
        repeat = WithState([&](PageToolState& state) {
          if (!same) {
            state.repeatCount = 0;
            return false;
          }
          return state.repeatCount++ <= kMostRepeats;
        });
      }
      lastSelection_ = selection;
    }
  }
  if (repeat && !wrapped) FindNext(word, false, 0);
  return 0;
}

void BrowserPage::SearchFrames(const std::u16string& word) {
  if (lastFrame_ && FindInFrame(lastFrame_, word)) return;
  for (const auto& frame : GetFrameDocuments()) {
    const std::u16string lastUrl = lastFrame_ ? lastFrame_->Url() : std::u16string();
    if (frame->Url() == lastUrl) continue;
    if (FindInFrame(frame, word)) {
      lastFrame_ = frame;
      return;
    }
  }
}

bool BrowserPage::FindInFrame(const std::shared_ptr<PageDocument>& frame,
                              const std::u16string& word, int repeats) {
  FramePageObjects& objects = ThisThreadFramePageObjects();
  if (!objects.lastFrameDocument || !frame->SameAs(*objects.lastFrameDocument)) {
    objects.frameContinuing.reset();
    findStart_.reset();
    findEnd_.reset();
  }
  objects.lastFrameDocument = frame;

  std::shared_ptr<TextRange> range = frame->BodyTextRange();
  if (!range) return false;
  std::shared_ptr<DocumentMarkup> markup = frame->Markup();
  if (!markup) return false;
  if (!findStart_) findStart_ = markup->CreatePointer();
  if (!findEnd_) findEnd_ = markup->CreatePointer();
  if (!findStart_ || !findEnd_) return false;
  if (objects.frameContinuing && markup->MoveRangeToPointers(*findStart_, *findEnd_, *range)) {
    range->MoveStartByCharacters(1);
  }
  if (!range->FindText(word, kFindForward, 0)) return false;
  range->Select();
  range->ScrollIntoView(true);
  markup->MovePointersToRange(*range, *findStart_, *findEnd_);
  if (std::optional<std::u16string> bookmark = range->Bookmark()) {
    objects.frameContinuing = std::move(bookmark);
  }
  bool found = true;
  if (std::shared_ptr<TextRange> selection = frame->SelectionRange()) {
    if (objects.lastFrameSelection && objects.lastFrameSelection->IsEqual(*selection) &&
        repeats <= kMostRepeats && !FindInFrame(frame, word, repeats + 1)) {
      found = false;
    }
    objects.lastFrameSelection = selection;
  }
  return found;
}

// ---- Page language, help window ---------------------------------------------------------------

std::u16string BrowserPage::GetPageCharset() {
  std::shared_ptr<PageDocument> document = TopDocument();
  return document ? document->Charset() : std::u16string();
}

std::u16string BrowserPage::GetPageLanguage() {
  std::shared_ptr<PageDocument> document = TopDocument();
  if (!document) return {};
  std::u16string language = document->HtmlAttribute(u"lang").value_or(std::u16string());
  if (language.empty()) language = document->HtmlAttribute(u"xml:lang").value_or(std::u16string());
  return language;
}

bool BrowserPage::OpenHelpWindow(const std::u16string& url, int height, int width) {
  std::unique_ptr<NewBrowserWindow> window = browser_ ? browser_->CreateBrowserWindow() : nullptr;
  if (!window) return false;
  window->SetHeight(height);
  window->SetLeft(50);
  window->SetTop(50);
  window->SetWidth(width);
  window->SetAddressBar(true);
  window->SetFullScreen(false);
  window->SetMenuBar(false);
  window->SetMenuBar(false);
  window->SetToolBar(false);
  window->SetVisible(true);
  window->SetSilent(true);
  return window->Navigate(url);
}

}  // namespace norvex::pagetools
