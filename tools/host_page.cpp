#include "tools/host_page.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/text.h"
#include "pagetools/page_encoding.h"

namespace norvex::tools {

namespace fs = std::filesystem;
using pagetools::model::Document;
using pagetools::model::Node;

namespace {

bool ReadFile(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream content;
  content << in.rdbuf();
  bytes = content.str();
  return true;
}

std::u16string FileUrl(const fs::path& path) {
  std::error_code ignored;
  fs::path absolute = fs::absolute(path, ignored);
  const std::u8string utf8 = absolute.generic_u8string();
  std::u16string text = Utf8ToUtf16(std::string(utf8.begin(), utf8.end()));
  if (!text.empty() && text.front() != u'/') text.insert(text.begin(), u'/');
  return u"file://" + text;
}

bool HasScheme(const std::u16string& address) {
  const size_t colon = address.find(u':');
  if (colon == std::u16string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char16_t c = address[i];
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'+' || c == u'-' ||
          c == u'.')) {
      return false;
    }
  }
  return true;
}

std::u16string Resolve(const std::u16string& base, const std::u16string& src) {
  if (HasScheme(src)) return src;
  const size_t slash = base.find_last_of(u'/');
  return (slash == std::u16string::npos ? std::u16string() : base.substr(0, slash + 1)) + src;
}

std::shared_ptr<Document> ReadPage(const fs::path& path, const std::u16string& url,
                                   std::string& error) {
  std::string bytes;
  if (!ReadFile(path, bytes)) {
    error = "cannot read " + path.generic_string();
    return nullptr;
  }
  const pagetools::DecodedPage page = pagetools::DecodePage(bytes);
  auto document = Document::Parse(page.text);
  document->url = url.empty() ? FileUrl(path) : url;
  document->charset = page.charset;
  return document;
}

}  // namespace

std::shared_ptr<Document> LoadPageFile(const std::string& path, const std::u16string& url,
                                       std::string& error) {
  const fs::path file = fs::u8path(path);
  auto document = ReadPage(file, url, error);
  if (!document) return nullptr;
  for (Node* e : document->Elements()) {
    if (!e->IsElement(u"frame") && !e->IsElement(u"iframe")) continue;
    const std::u16string* src = e->FindAttribute(u"src");
    if (!src || src->empty()) continue;
    const std::u16string address = Resolve(document->url, *src);
    std::shared_ptr<Document> frame;
    std::string ignored;
    if (!HasScheme(*src)) {
      frame = ReadPage(file.parent_path() / fs::u8path(Utf16ToUtf8(*src)), address, ignored);
    }
    if (!frame) {
      frame = Document::Parse(u"");
      frame->url = address;
    }
    document->frames.push_back(frame);
  }
  return document;
}

std::shared_ptr<Document> BlankPage(const std::u16string& url, const std::u16string& charset,
                                    const std::u16string& language) {
  auto document = Document::Parse(u"");
  if (!language.empty()) {
    document->HtmlElement()->attributes.push_back({u"lang", language});
  }
  document->url = url;
  document->charset = charset;
  return document;
}

std::string SelectionLine(const Document& page) {
  const Document* latest = page.selection ? &page : nullptr;
  int frame = -1;
  for (size_t i = 0; i < page.frames.size(); ++i) {
    const Document* d = page.frames[i].get();
    if (d && d->selection && (!latest || d->selectionStamp > latest->selectionStamp)) {
      latest = d;
      frame = static_cast<int>(i);
    }
  }
  if (!latest) return "selection none";
  std::string text = Utf16ToUtf8(latest->selection->Text());
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.replace(at, 2, "\\n");
  }
  return frame < 0 ? "selection top " + text
                   : "selection frame " + std::to_string(frame) + " " + text;
}

bool SavePageFiles(const Document& page, const std::string& folder, std::string& error) {
  const fs::path dir = fs::u8path(folder);
  std::error_code ec;
  fs::create_directories(dir, ec);
  auto write = [&](const Document& document, const std::string& name) {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out << "\xEF\xBB\xBF" << Utf16ToUtf8(pagetools::model::OuterHtml(*document.root()));
    out.close();
    if (!out) error = "cannot write " + (dir / name).generic_string();
    return static_cast<bool>(out);
  };
  if (!write(page, "page.html")) return false;
  for (size_t i = 0; i < page.frames.size(); ++i) {
    if (page.frames[i] && !write(*page.frames[i], "frame-" + std::to_string(i) + ".html")) {
      return false;
    }
  }
  return true;
}

}  // namespace norvex::tools
