#include "pagetools/browser_page.h"

#include "common/text.h"
#include "search/search_box_access.h"

namespace norvex::pagetools {

namespace {

bool IsWordDelimiter(char16_t c) {
  return c == u'.' || c == u',' || c == u' ' || c == u'\u3000';
}

constexpr long kFindForward = 1;

}  // namespace

std::vector<std::u16string> SplitSearchWords(std::u16string_view text) {
  text = TrimView(text);
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

void BrowserPage::ReleaseReferences() {
  findStart_.reset();
  findEnd_.reset();
  lastSelection_.reset();
  lastFrame_.reset();
}

std::shared_ptr<PageDocument> BrowserPage::TopDocument() {
  return browser_ ? browser_->TopDocument() : nullptr;
}

// ---- Highlighting -------------------------------------------------------------------------

void BrowserPage::ToggleHighlight(const search::SearchBoxAccess* searchBox) {
  if (!searchBox) return;
  const std::u16string text = searchBox->GetText();
  PageToolState& state = SharedPageToolState();
  if (!text.empty() && text != state.lastHighlightText) {
    state.lastHighlightText = text;
    HighlightWords(text);
  } else {
    RemoveHighlights();
    state.lastHighlightText.clear();
  }
}

std::vector<std::shared_ptr<PageDocument>> BrowserPage::GetFrameDocuments() {
  std::shared_ptr<PageDocument> top = TopDocument();
  if (!top) return {};
  return top->FrameDocuments();
}

void BrowserPage::RemoveDocumentHighlights(PageDocument& document) {
  document.ForEachElement([](PageElement& element) {
    const std::optional<std::u16string> id = element.Id();
    const std::optional<std::u16string> tag = element.TagName();
    if (!id || !tag || *id != kHighlightId || *tag != kHighlightTag) return;
    if (const std::optional<std::u16string> inner = element.InnerHtml()) {
      element.SetOuterHtml(*inner);
    }
  });
}

void BrowserPage::RemoveHighlights() {
  for (const auto& frame : GetFrameDocuments()) RemoveDocumentHighlights(*frame);
  if (std::shared_ptr<PageDocument> top = TopDocument()) RemoveDocumentHighlights(*top);
}

std::optional<bool> BrowserPage::HighlightDocument(PageDocument& document,
                                                   const std::u16string& text, bool selectFirst) {
  std::shared_ptr<DocumentMarkup> markup = document.Markup();
  if (!markup) return std::nullopt;
  std::shared_ptr<TextRange> range = document.BodyTextRange();
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
      const std::u16string matched = range->Text().value_or(std::u16string());
      range->PasteHtml(HighlightMarkup(HighlightColor(j), matched));
      // The next search of this word begins behind the new element.
      markup->MovePointersToRange(*range, *start, *end);
      start->MoveToPointer(*end);
      wrapped = true;
    }
  }
  return wrapped;
}

bool BrowserPage::HighlightWords(const std::u16string& text) {
  if (text.empty()) return false;
  RemoveHighlights();
  for (const auto& frame : GetFrameDocuments()) HighlightDocument(*frame, text, false);
  std::shared_ptr<PageDocument> top = TopDocument();
  if (!top) return false;
  return HighlightDocument(*top, text, true).value_or(false);
}

// ---- Find in page -----------------------------------------------------------------------------

void BrowserPage::SearchInPage(const search::SearchBoxAccess* searchBox) {
  if (!searchBox) return;
  const std::u16string text = searchBox->GetText();
  if (!text.empty()) FindNext(text, false, 0);
}

int BrowserPage::FindNext(const std::u16string& text, bool wrapped, long flags) {
  const std::u16string trimmed = Trim(text);
  if (trimmed.empty()) return 0;
  const std::vector<std::u16string> words = SplitSearchWords(trimmed);
  if (words.empty()) return 0;  // only delimiters: nothing to find
  const std::u16string word = words.front();
  PageToolState& state = SharedPageToolState();
  if (word != state.lastFindWord) state.findContinuing.reset();
  state.lastFindWord = word;

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
    if (state.findContinuing && markup->MoveRangeToPointers(*findStart_, *findEnd_, *range)) {
      range->MoveStartByCharacters(1);
    }
    if (!range->FindText(word, kFindForward, flags)) {
      if (state.findContinuing && !wrapped) {
        state.findContinuing.reset();
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
    if (std::optional<std::u16string> bookmark = range->Bookmark()) state.findContinuing = bookmark;
    if (std::shared_ptr<TextRange> selection = document->SelectionRange()) {
      if (lastSelection_) {
        if (selection->IsEqual(*lastSelection_)) {
          repeat = state.repeatCount <= 50;
          ++state.repeatCount;
        } else {
          state.repeatCount = 0;
        }
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
                              const std::u16string& word) {
  PageToolState& state = SharedPageToolState();
  if (!state.lastFrameDocument || !frame->SameAs(*state.lastFrameDocument)) {
    state.frameContinuing.reset();
    findStart_.reset();
    findEnd_.reset();
  }
  state.lastFrameDocument = frame;

  std::shared_ptr<TextRange> range = frame->BodyTextRange();
  if (!range) return false;
  std::shared_ptr<DocumentMarkup> markup = frame->Markup();
  if (!markup) return false;
  if (!findStart_) findStart_ = markup->CreatePointer();
  if (!findEnd_) findEnd_ = markup->CreatePointer();
  if (!findStart_ || !findEnd_) return false;
  if (state.frameContinuing && markup->MoveRangeToPointers(*findStart_, *findEnd_, *range)) {
    range->MoveStartByCharacters(1);
  }
  if (!range->FindText(word, kFindForward, 0)) return false;
  range->Select();
  range->ScrollIntoView(true);
  markup->MovePointersToRange(*range, *findStart_, *findEnd_);
  if (std::optional<std::u16string> bookmark = range->Bookmark()) state.frameContinuing = bookmark;
  bool found = true;
  if (std::shared_ptr<TextRange> selection = frame->SelectionRange()) {
    if (state.lastFrameSelection && state.lastFrameSelection->IsEqual(*selection) &&
        !FindInFrame(frame, word)) {
      found = false;
    }
    state.lastFrameSelection = selection;
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
