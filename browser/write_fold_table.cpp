// Writes the extension's matching table (extension/generated/fold_table.js) from the page model,
// so that the page tools in the browser compare characters exactly as find does in C++:
//   - the case and width folding, FoldForFind of every UTF-16 code unit that it changes;
//   - the kana that find joins with a following sound mark (ComposeForFind);
//   - the white space that a reader collapses, found by reading a paragraph around each
//     candidate character, and the white space that find next trims from a word (IsWideSpace);
//   - the elements that end a line and the elements whose content is not read, asked of
//     IsBlockElement and IsHiddenElement for every HTML element name, and the elements that
//     keep their spaces, found by reading two spaces inside each.
//   - the five highlight colours, HighlightColor, as the ::highlight rules of highlight.css.
// Usage: write_fold_table OUTPUT_FOLDER (writes fold_table.js and highlight.css there)
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "pagetools/browser_page.h"
#include "pagetools/page_model.h"

namespace {

using norvex::Utf16ToUtf8;
namespace model = norvex::pagetools::model;

// Every element name of HTML, current and obsolete, that a page may use.
const char* const kElementNames[] = {
    "a",          "abbr",     "acronym",  "address",    "applet",   "area",     "article",
    "aside",      "audio",    "b",        "base",       "basefont", "bdi",      "bdo",
    "bgsound",    "big",      "blink",    "blockquote", "body",     "br",       "button",
    "canvas",     "caption",  "center",   "cite",       "code",     "col",      "colgroup",
    "data",       "datalist", "dd",       "del",        "details",  "dfn",      "dialog",
    "dir",        "div",      "dl",       "dt",         "em",       "embed",    "fieldset",
    "figcaption", "figure",   "font",     "footer",     "form",     "frame",    "frameset",
    "h1",         "h2",       "h3",       "h4",         "h5",       "h6",       "head",
    "header",     "hgroup",   "hr",       "html",       "i",        "iframe",   "image",
    "img",        "input",    "ins",      "isindex",    "kbd",      "keygen",   "label",
    "legend",     "li",       "link",     "listing",    "main",     "map",      "mark",
    "marquee",    "menu",     "menuitem", "meta",       "meter",    "multicol", "nav",
    "nextid",     "nobr",     "noembed",  "noframes",   "noscript", "object",   "ol",
    "optgroup",   "option",   "output",   "p",          "param",    "picture",  "plaintext",
    "pre",        "progress", "q",        "rb",         "rp",       "rt",       "rtc",
    "ruby",       "s",        "samp",     "script",     "search",   "section",  "select",
    "slot",       "small",    "source",   "spacer",     "span",     "strike",   "strong",
    "style",      "sub",      "summary",  "sup",        "table",    "tbody",    "td",
    "template",   "textarea", "tfoot",    "th",         "thead",    "time",     "title",
    "tr",         "track",    "tt",       "u",          "ul",       "var",      "video",
    "wbr",        "xmp"};

std::string JsString(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t c : text) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
    out += buffer;
  }
  return out + "\"";
}

// The characters that read as white space between two letters: "a" + c + "b" reads "a b".
std::u16string ReaderWhiteSpace() {
  std::vector<char16_t> candidates;
  for (char32_t c = 1; c < 0x3100; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    candidates.push_back(static_cast<char16_t>(c));
  }
  candidates.push_back(0xFEFF);
  std::u16string html = u"<!DOCTYPE html><body>";
  for (char16_t c : candidates) {
    html += u"<p>a";
    html += c == u'<'   ? std::u16string(u"&lt;")
            : c == u'&' ? std::u16string(u"&amp;")
                        : std::u16string(1, c);
    html += u"b</p>";
  }
  auto document = model::Document::Parse(html);
  const std::u16string text = model::ReaderText(*document);
  std::u16string white;
  size_t line = 0, begin = 0;
  while (begin <= text.size() && line < candidates.size()) {
    size_t end = text.find(u'\n', begin);
    if (end == std::u16string::npos) end = text.size();
    if (text.substr(begin, end - begin) == u"a b") white += candidates[line];
    ++line;
    begin = end + 1;
  }
  return white;
}

struct Joined {
  char16_t base, mark, joined;
};

// The pairs of folded characters that find reads as one: ComposeForFind's pairs (its marks are
// found among the characters that join a kana of the kana block, its bases among all), each
// kept when the page model's find, on a page of the two characters, finds the joined character
// across both (so that what find holds for a mark is what the table says).
std::vector<Joined> JoinedKana() {
  std::vector<char16_t> marks;
  for (unsigned m = 1; m < 0x10000; ++m) {
    for (unsigned b = 0x3000; b < 0x3100; ++b) {
      if (model::ComposeForFind(static_cast<char16_t>(b), static_cast<char16_t>(m))) {
        marks.push_back(static_cast<char16_t>(m));
        break;
      }
    }
  }
  std::vector<Joined> pairs;
  for (unsigned b = 1; b < 0x10000; ++b) {
    for (char16_t m : marks) {
      const char16_t joined = model::ComposeForFind(static_cast<char16_t>(b), m);
      if (!joined) continue;
      const std::u16string two{static_cast<char16_t>(b), m};
      auto page = model::Document::Parse(u"<!DOCTYPE html><body><p>" + two + u"</p>");
      model::Range range(page);
      if (range.Find(std::u16string(1, joined), false) && range.Text() == two) {
        pairs.push_back({static_cast<char16_t>(b), m, joined});
      }
    }
  }
  return pairs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_fold_table OUTPUT_FOLDER\n");
    return 2;
  }
  std::string js =
      "// Generated at build time by browser/write_fold_table.cpp from the page model's\n"
      "// FoldForFind, IsBlockElement and IsHiddenElement. Do not edit.\n"
      "var NORVEX_MATCHING = {\n";

  // Folding as runs [first code unit, count, difference], consecutive units with the same
  // difference in one run.
  js += "  foldRuns: [";
  int count = 0;
  for (unsigned c = 0; c < 0x10000;) {
    const int delta =
        static_cast<int>(model::FoldForFind(static_cast<char16_t>(c))) - static_cast<int>(c);
    if (delta == 0) {
      ++c;
      continue;
    }
    unsigned n = 1;
    while (c + n < 0x10000 && static_cast<int>(model::FoldForFind(static_cast<char16_t>(c + n))) -
                                      static_cast<int>(c + n) ==
                                  delta) {
      ++n;
    }
    js += (count++ % 6 == 0) ? "\n    " : " ";
    js += "[" + std::to_string(c) + "," + std::to_string(n) + "," + std::to_string(delta) + "],";
    c += n;
  }
  js += "\n  ],\n";

  js += "  white: " + JsString(ReaderWhiteSpace()) + ",\n";
  // The white space that find next trims from a word before it searches again from the top.
  std::u16string wide;
  for (unsigned c = 1; c < 0x10000; ++c) {
    if (norvex::IsWideSpace(static_cast<char16_t>(c))) wide += static_cast<char16_t>(c);
  }
  js += "  wide: " + JsString(wide) + ",\n";

  // Sound marks joining the kana before them: [folded base, folded mark, joined], the pairs that
  // ComposeForFind joins and the page model's find joins on a page.
  js += "  compose: [";
  count = 0;
  for (const auto& [base, mark, joined] : JoinedKana()) {
    js += (count++ % 6 == 0) ? "\n    " : " ";
    js += "[" + std::to_string(base) + "," + std::to_string(mark) + "," + std::to_string(joined) +
          "],";
  }
  js += "\n  ],\n";

  auto document = model::Document::Create();
  std::string blocks, hidden;
  for (const char* name : kElementNames) {
    model::Node* element = document->NewElement(norvex::Utf8ToUtf16(name));
    if (model::IsBlockElement(*element))
      blocks += std::string(blocks.empty() ? "" : ",") + "\"" + name + "\"";
    if (model::IsHiddenElement(*element))
      hidden += std::string(hidden.empty() ? "" : ",") + "\"" + name + "\"";
  }
  js += "  blocks: [" + blocks + "],\n";
  js += "  hidden: [" + hidden + "],\n";
  // Elements outside HTML's namespace (embedded SVG and MathML): read or not.
  model::Node* svg = document->NewElement(u"svg", model::Namespace::kSvg);
  js +=
      std::string("  foreignHidden: ") + (model::IsHiddenElement(*svg) ? "true" : "false") + ",\n";
  // Preformatted elements keep their spaces: "a  b" inside one reads with both.
  std::string pre;
  for (const char* name : kElementNames) {
    const std::u16string tag = norvex::Utf8ToUtf16(name);
    auto page = model::Document::Parse(u"<!DOCTYPE html><body><div><" + tag + u">a  b</" + tag +
                                       u"></div>");
    if (model::ReaderText(*page).find(u"a  b") != std::u16string::npos) {
      pre += std::string(pre.empty() ? "" : ",") + "\"" + name + "\"";
    }
  }
  js += "  preformatted: [" + pre + "]\n";
  js += "};\n";

  // The colours are set on the root element's highlights, which every element inherits: the
  // style sheet, injected into a page already shown, then costs the browser about one pass over
  // the elements' styles, where a rule for every element (::highlight alone) costs several.
  std::string css =
      "/* Generated at build time by browser/write_fold_table.cpp from HighlightColor. */\n";
  for (int n = 0; n < 5; ++n) {
    css += ":root::highlight(norvex-" + std::to_string(n) + ") { background-color: " +
           Utf16ToUtf8(norvex::pagetools::HighlightColor(static_cast<size_t>(n))) +
           "; color: #000000; }\n";
  }
  const std::string folder = argv[1];
  for (const auto& [name, content] :
       {std::pair<std::string, std::string>{"fold_table.js", js}, {"highlight.css", css}}) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
      std::fprintf(stderr, "write_fold_table: cannot write %s/%s\n", folder.c_str(), name.c_str());
      return 1;
    }
  }
  return 0;
}
