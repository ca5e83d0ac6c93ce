#include "catalogue/xml_document.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/platform.h"
#include "platform/xml_path.h"

namespace norvex::catalogue {

std::u16string DecodeUtf8(std::string_view bytes) {
  const size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  std::u16string out;
  out.reserve(bytes.size());
  auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char b = at(i);
    if (b < 0x80) {
      out.push_back(b);
      i += 1;
    } else if (b >= 0xC0 && b <= 0xDF) {
      if (i + 2 > bytes.size()) break;
      out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (at(i + 1) & 0x3F)));
      i += 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      if (i + 3 > bytes.size()) break;
      out.push_back(static_cast<char16_t>(((b & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) |
                                          (at(i + 2) & 0x3F)));
      i += 3;
    } else if (b >= 0xF0 && b <= 0xF4 && i + 4 <= bytes.size() && (at(i + 1) & 0xC0) == 0x80 &&
               (at(i + 2) & 0xC0) == 0x80 && (at(i + 3) & 0xC0) == 0x80) {
      // Characters outside the Basic Multilingual Plane (an emoji in a caption) become a
      // surrogate pair; anything that is not a valid four-byte sequence falls to the rule below.
      const char32_t cp = (char32_t(b & 0x07) << 18) | (char32_t(at(i + 1) & 0x3F) << 12) |
                          (char32_t(at(i + 2) & 0x3F) << 6) | char32_t(at(i + 3) & 0x3F);
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        i += 4;
      } else {
        out.push_back(b);
        i += 1;
      }
    } else {
      out.push_back(b);
      i += 1;
    }
  }
  return out;
}

namespace {

// The bytes read as UTF-16LE text up to its first zero character. The buffer the file is read
// into ends in two zero bytes, so a last odd byte pairs with a zero.
std::u16string Utf16LeView(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2 + 1);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const unsigned char high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    const char16_t c =
        static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (high << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace

bool LooksLikeUtf16(std::string_view bytes) {
  const std::u16string text = Utf16LeView(bytes);
  const size_t end = text.find(u"?>");
  return end != std::u16string::npos &&
         std::u16string_view(text).substr(0, end).find(u"encoding") != std::u16string_view::npos;
}

XmlDocument::XmlDocument() : dom_(platform::CreateXmlDom()) {}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Load(const std::u16string& path, bool failFast,
                       std::chrono::milliseconds patience) {
  errorLine_ = 0;
  source_.clear();
  children_.clear();
  prefixKnown_ = false;
  if (!dom_) return false;
  platform::FileSystem& files = *platform::Current().files;
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  platform::ReadResult result;
  // A file that exists but will not open is most likely being written by the installer or the
  // update service: wait for it, but not for ever (it may simply be unreadable to us).
  while ((result = files.ReadFileShared(path, bytes)) == platform::ReadResult::kOpenFailed) {
    if (failFast || !files.GetAttributes(path) || std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (result != platform::ReadResult::kOk) return false;
  if (bytes.empty()) {
    // An empty file is an empty document, not an error; every query on it then fails.
    dom_->LoadXml(u"");
    return true;
  }

  source_ = LooksLikeUtf16(bytes) ? Utf16LeView(bytes) : DecodeUtf8(bytes);
  if (dom_->LoadXml(source_)) return true;
  errorLine_ = dom_->ErrorLine();
  return false;
}

const std::vector<platform::XmlDom::Element>* XmlDocument::ChildrenOf(Node node) {
  if (node >= children_.size()) children_.resize(node + 1);
  if (!children_[node]) {
    children_[node] = dom_->Children(node);
    if (!children_[node]) return nullptr;
  }
  return &*children_[node];
}

void XmlDocument::SelectAmong(Node parent, std::u16string_view name, std::optional<size_t> index,
                              std::vector<const platform::XmlDom::Element*>& selected) {
  const auto* children = ChildrenOf(parent);
  if (!children) return;
  size_t position = 0;
  for (const platform::XmlDom::Element& child : *children) {
    if (name != u"*" && name != child.name) continue;
    if (!index || *index == position) selected.push_back(&child);
    ++position;
  }
}

const std::vector<const platform::XmlDom::Element*>* XmlDocument::Select(std::u16string_view path) {
  // An empty document (an empty file, a failed load) answers no query.
  const auto* top = dom_ ? ChildrenOf(platform::XmlDom::kDocument) : nullptr;
  if (!top || top->empty()) return nullptr;
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string_view::npos) return nullptr;

  // Paths come in runs that share their parents ("/agent[0]/ui[0]/caption", ".../tooltip"):
  // the parents of the last path are kept, so such a run walks only its last step.
  const std::u16string_view prefix = path.substr(0, slash);
  if (!prefixKnown_ || prefix != prefix_) {
    prefixKnown_ = false;
    parents_.assign(1, platform::XmlDom::kDocument);
    if (!prefix.empty()) {
      const bool valid = platform::ForEachXmlPathStep(
          prefix, [&](std::u16string_view name, std::optional<size_t> index) {
            selection_.clear();
            for (const Node parent : parents_) SelectAmong(parent, name, index, selection_);
            parents_.clear();
            for (const platform::XmlDom::Element* element : selection_) {
              parents_.push_back(element->node);
            }
          });
      if (!valid) return nullptr;
    }
    prefix_.assign(prefix);
    prefixKnown_ = true;
  }

  // The elements point into the kept lists of children: growing `children_` moves those lists,
  // which keeps their elements where they are.
  selection_.clear();
  const bool valid = platform::ForEachXmlPathStep(
      path.substr(slash), [&](std::u16string_view name, std::optional<size_t> index) {
        for (const Node parent : parents_) SelectAmong(parent, name, index, selection_);
      });
  return valid ? &selection_ : nullptr;
}

int XmlDocument::CountNodes(std::u16string_view path) {
  const auto* nodes = Select(path);
  return nodes ? static_cast<int>(nodes->size()) : -1;
}

int XmlDocument::GetNodeTextLength(std::u16string_view path, int index) {
  std::u16string text;
  return GetNodeText(path, index, text) ? static_cast<int>(text.size()) : -1;
}

char16_t* XmlDocument::GetNodeText(std::u16string_view path, int index, char16_t* buffer,
                                   size_t capacity) {
  if (!buffer || capacity == 0) return nullptr;
  std::u16string text;
  if (!GetNodeText(path, index, text)) return nullptr;
  const size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(buffer, text.data(), n * sizeof(char16_t));
  buffer[n] = 0;
  return buffer;
}

bool XmlDocument::GetNodeText(std::u16string_view path, int index, std::u16string& out) {
  if (index < 0) return false;
  const auto* nodes = Select(path);
  if (!nodes || static_cast<size_t>(index) >= nodes->size()) return false;
  auto text = dom_->Text((*nodes)[index]->node);
  if (!text) return false;
  out = std::move(*text);
  return true;
}

bool XmlDocument::GetNodeName(std::u16string_view path, int index, std::u16string& out) {
  if (index < 0) return false;
  const auto* nodes = Select(path);
  if (!nodes || static_cast<size_t>(index) >= nodes->size()) return false;
  out = (*nodes)[index]->name;
  return true;
}

}  // namespace norvex::catalogue
