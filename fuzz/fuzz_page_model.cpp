// The page model on any input: parse, serialise, highlight a word of the page's own text, remove
// the highlights. What a reader sees never changes through highlighting and removal. The markup
// written for a highlighted page parses back to the tree it was written from whenever the page's
// own markup does (some trees that the parsing rules build from broken markup, such as nested
// links, cannot be written so that they parse back: that is the parser's, not ours).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "pagetools/browser_page.h"
#include "pagetools/html_reader.h"
#include "pagetools/model_document.h"
#include "pagetools/page_model.h"

namespace {

using namespace norvex;
using namespace norvex::pagetools;

void Fail(const char* what, const std::u16string& a, const std::u16string& b) {
  std::fprintf(stderr, "%s\n--- first\n%s\n--- second\n%s\n", what, Utf16ToUtf8(a).c_str(),
               Utf16ToUtf8(b).c_str());
  std::abort();
}

// True when the markup of `document`, parsed again, serialises the same.
bool RoundTrips(const model::Document& document, std::u16string* markup = nullptr,
                std::u16string* again = nullptr) {
  std::u16string written = model::OuterHtml(*document.root());
  std::u16string reread = model::OuterHtml(*model::Document::Parse(written)->root());
  const bool same = written == reread;
  if (markup) *markup = std::move(written);
  if (again) *again = std::move(reread);
  return same;
}

void CheckRoundTrip(const model::Document& document) {
  std::u16string markup, again;
  if (!RoundTrips(document, &markup, &again)) {
    Fail("serialised markup parses to another tree", markup, again);
  }
}

bool IsDelimiter(char16_t c) {
  return c == u'.' || c == u',' || c == u' ' || c == u'\u3000' || c == u'\n' || c == u'\t';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t pick = data[0];
  const size_t length = 1 + data[1] % 6;
  const std::u16string html =
      Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));

  // Our own reader (the Windows build's parser) reads any input without failing.
  model::HtmlReader reader;
  model::Document::Parse(html, &reader);

  // A page as a browser holds it: parsed once from the input, then from its own markup.
  auto first = model::Document::Parse(html);
  auto page = model::Document::Parse(model::OuterHtml(*first->root()));
  const bool roundTrips = RoundTrips(*page);
  const std::u16string text = model::ReaderText(*page);
  if (text.empty()) return 0;

  // A word of the page's own text.
  size_t begin = pick % text.size();
  while (begin < text.size() && IsDelimiter(text[begin])) ++begin;
  size_t end = begin;
  while (end < text.size() && end - begin < length && !IsDelimiter(text[end])) ++end;
  if (end == begin) return 0;
  const std::u16string word = text.substr(begin, end - begin);

  SharedPageToolState() = PageToolState();
  ModelBrowser browser;
  browser.page = page;
  BrowserPage tools(&browser);
  tools.HighlightWords(word);
  if (model::ReaderText(*page) != text) {
    Fail("highlighting changed the text", text, model::ReaderText(*page));
  }
  if (roundTrips) CheckRoundTrip(*page);
  tools.FindNext(word, false, 0);
  tools.RemoveHighlights();
  if (model::ReaderText(*page) != text) Fail("removing changed the text", text, model::ReaderText(*page));
  if (roundTrips) CheckRoundTrip(*page);
  return 0;
}
