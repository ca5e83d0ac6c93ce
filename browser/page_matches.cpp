// Prints what the page model matches on a page, for the browser tests to compare with the
// extension's page tools on the same page in chromium:
//
//   page_matches FILE TEXT FINDSTEPS
//
// One JSON object on standard output:
//   "words":     SplitSearchWords(TEXT);
//   "documents": the top document (index -1) when it has a body, then each first-level frame
//                (index 0, 1, ...) that has one, each with its reader's text and, per word, the
//                occurrences that highlighting wraps: each word searched from the top of the
//                document, every search going on from the end of the last match;
//                and "pieces": per word, how many text pieces those matches cover (the parts of
//                visible text nodes that highlighting wraps one element each);
//   "spans":     per document, how many highlight elements of each colour BrowserPage's own
//                HighlightWords leaves on a copy of the page (a check that the list above is what
//                highlighting does);
//   "find":      FINDSTEPS successive FindNext steps of BrowserPage: the document whose
//                selection was made last and the selection's ends (null when nothing is
//                selected).
// A place is [n, offset]: the n-th text node of its document in document order (from 0) and the
// offset in it, in UTF-16 code units, as the browser's DOM counts them.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "pagetools/browser_page.h"
#include "pagetools/model_document.h"
#include "pagetools/page_model.h"
#include "tools/host_page.h"

namespace {

namespace model = norvex::pagetools::model;
using norvex::Utf16ToUtf8;
using norvex::Utf8ToUtf16;

std::string Json(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// The text nodes of a document in document order, numbered.
std::map<const model::Node*, int> NumberTextNodes(model::Node* root) {
  std::map<const model::Node*, int> numbers;
  int n = 0;
  std::vector<model::Node*> stack{root};
  while (!stack.empty()) {
    model::Node* node = stack.back();
    stack.pop_back();
    if (node->kind == model::NodeKind::kText) numbers[node] = n++;
    std::vector<model::Node*> children;
    for (model::Node* c = node->first; c; c = c->next) children.push_back(c);
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
  }
  return numbers;
}

// The text nodes that one match covers with at least one character, outside hidden content.
int Pieces(const std::map<const model::Node*, int>& numbers, model::Position start,
           model::Position end) {
  start = model::Document::Canonical(start);
  end = model::Document::Canonical(end);
  auto from = numbers.find(start.node);
  auto to = numbers.find(end.node);
  if (from == numbers.end() || to == numbers.end()) return 0;
  std::vector<const model::Node*> byNumber(numbers.size());
  for (auto& [node, n] : numbers) byNumber[n] = node;
  auto hidden = [](const model::Node* node) {
    for (const model::Node* p = node->parent; p; p = p->parent) {
      if (p->kind == model::NodeKind::kElement && norvex::pagetools::IsHiddenContentTag(p->name))
        return true;
    }
    return false;
  };
  int pieces = 0;
  for (int n = from->second; n <= to->second; ++n) {
    const model::Node* node = byNumber[n];
    const size_t begin = n == from->second ? start.offset : 0;
    const size_t finish = n == to->second ? end.offset : node->data.size();
    if (finish > begin && !hidden(node)) ++pieces;
  }
  return pieces;
}

std::string Place(const std::map<const model::Node*, int>& numbers, model::Position p) {
  p = model::Document::Canonical(p);
  auto it = numbers.find(p.node);
  if (it == numbers.end()) return "null";
  return "[" + std::to_string(it->second) + "," + std::to_string(p.offset) + "]";
}

// The documents whose text the page tools work on: the top one (-1) when it has a body, then the
// first-level frames with one.
std::vector<std::pair<int, std::shared_ptr<model::Document>>> Documents(
    const std::shared_ptr<model::Document>& page) {
  std::vector<std::pair<int, std::shared_ptr<model::Document>>> documents;
  if (page->Body()) documents.emplace_back(-1, page);
  for (size_t i = 0; i < page->frames.size(); ++i) {
    if (page->frames[i] && page->frames[i]->Body())
      documents.emplace_back(static_cast<int>(i), page->frames[i]);
  }
  return documents;
}

std::shared_ptr<model::Document> Load(const std::string& file) {
  std::string error;
  auto page = norvex::tools::LoadPageFile(file, u"", error);
  if (!page) std::fprintf(stderr, "page_matches: %s\n", error.c_str());
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: page_matches FILE TEXT FINDSTEPS\n");
    return 2;
  }
  const std::u16string text = Utf8ToUtf16(argv[2]);
  const int steps = std::atoi(argv[3]);
  auto page = Load(argv[1]);
  if (!page) return 1;
  const std::vector<std::u16string> words = norvex::pagetools::SplitSearchWords(text);

  std::string out = "{\"words\":[";
  for (size_t j = 0; j < words.size(); ++j) out += (j ? "," : "") + Json(words[j]);
  out += "],\"documents\":[";
  bool firstDocument = true;
  for (auto& [index, document] : Documents(page)) {
    const auto numbers = NumberTextNodes(document->root());
    out += std::string(firstDocument ? "" : ",") + "{\"index\":" + std::to_string(index) +
           ",\"reader\":" + Json(model::ReaderText(*document)) + ",\"matches\":[";
    std::string pieces = "[";
    firstDocument = false;
    for (size_t j = 0; j < words.size(); ++j) {
      out += j ? ",[" : "[";
      model::Range range(document);
      range.Set(model::Document::Begin(document->root()), model::Document::End(document->root()));
      bool first = true;
      int covered = 0;
      while (range.Find(words[j], false)) {
        covered += Pieces(numbers, range.start(), range.end());
        out += std::string(first ? "" : ",") + "[" + Place(numbers, range.start()) + "," +
               Place(numbers, range.end()) + "]";
        first = false;
        range.Set(range.end(), range.end());
      }
      out += "]";
      pieces += (j ? "," : "") + std::to_string(covered);
    }
    out += "],\"pieces\":" + pieces + "]}";
  }

  // The real highlighting on a copy: its highlight elements by colour, per document.
  out += "],\"spans\":[";
  {
    auto copy = Load(argv[1]);
    norvex::pagetools::ModelBrowser browser;
    browser.page = copy;
    norvex::pagetools::BrowserPage tools(&browser);
    tools.HighlightWords(text);
    bool firstCopy = true;
    for (auto& [index, document] : Documents(copy)) {
      std::map<std::u16string, int> byColor;
      for (model::Node* e : document->Elements()) {
        const std::u16string* id = e->FindAttribute(u"id");
        const std::u16string* style = e->FindAttribute(u"style");
        if (e->IsElement(u"span") && id && *id == norvex::pagetools::kHighlightId && style) {
          ++byColor[*style];
        }
      }
      out += std::string(firstCopy ? "" : ",") + "{\"index\":" + std::to_string(index) +
             ",\"counts\":[";
      firstCopy = false;
      for (size_t j = 0; j < words.size(); ++j) {
        const std::u16string color = norvex::pagetools::HighlightColor(j);
        int n = 0;
        for (auto& [style, count] : byColor) {
          if (style.find(color) != std::u16string::npos) n += count;
        }
        // Words that share a colour (the sixth and the first) are counted together.
        out += (j ? "," : "") + std::to_string(n);
      }
      out += "]}";
    }
  }

  // Find next, step by step.
  out += "],\"find\":[";
  {
    norvex::pagetools::ModelBrowser browser;
    browser.page = page;
    norvex::pagetools::BrowserPage tools(&browser);
    std::vector<std::pair<int, std::shared_ptr<model::Document>>> all{{-1, page}};
    for (size_t i = 0; i < page->frames.size(); ++i)
      all.emplace_back(static_cast<int>(i), page->frames[i]);
    for (int step = 0; step < steps; ++step) {
      tools.FindNext(text, false, 0);
      int latest = -2;
      unsigned long long stamp = 0;
      std::shared_ptr<model::Document> latestDocument;
      for (auto& [index, document] : all) {
        if (document && document->selection && document->selectionStamp > stamp) {
          stamp = document->selectionStamp;
          latest = index;
          latestDocument = document;
        }
      }
      out += step ? "," : "";
      if (!latestDocument) {
        out += "null";
        continue;
      }
      const auto numbers = NumberTextNodes(latestDocument->root());
      out += "{\"index\":" + std::to_string(latest) +
             ",\"start\":" + Place(numbers, latestDocument->selection->start()) +
             ",\"end\":" + Place(numbers, latestDocument->selection->end()) + "}";
    }
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
