#include "platform/posix/xml_entities.h"

#include <pugixml.hpp>

#include <map>
#include <set>

#include "common/text.h"

namespace norvex::platform {

size_t EntityExpansionLimit(size_t documentSize) { return documentSize * 10 + 10000; }

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Name characters, leniently: ASCII letters, digits and ".-_:", and every byte of a multi-byte
// UTF-8 sequence.
bool IsNameChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
         c == '.' || c == '-' || c == '_' || c == ':';
}

bool IsPredefined(std::string_view name) {
  return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

// The reference at text[at] ("&name;" or "&#...;"): its length, or 0 when it is not one.
size_t ReferenceLength(std::string_view text, size_t at) {
  size_t i = at + 1;
  if (i < text.size() && text[i] == '#') ++i;
  const size_t nameStart = i;
  while (i < text.size() && IsNameChar(text[i])) ++i;
  if (i == nameStart || i >= text.size() || text[i] != ';') return 0;
  return i + 1 - at;
}

// The code point of a character reference "&#123;" or "&#x7B;"; nothing when it names no
// character that a document may hold.
std::optional<char32_t> CharacterReference(std::string_view reference) {
  std::string_view digits = reference.substr(2, reference.size() - 3);
  int base = 10;
  if (!digits.empty() && digits[0] == 'x') {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  char32_t value = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return std::nullopt;
    value = value * base + d;
  }
  const bool allowed = value == 0x9 || value == 0xA || value == 0xD ||
                       (value >= 0x20 && value <= 0xD7FF) || (value >= 0xE000 && value <= 0xFFFD) ||
                       (value >= 0x10000 && value <= 0x10FFFF);
  if (!allowed) return std::nullopt;
  return value;
}

// A reader over the declarations of a DOCTYPE.
struct Cursor {
  std::string_view text;
  size_t at = 0;

  bool AtEnd() const { return at >= text.size(); }
  char Peek() const { return AtEnd() ? '\0' : text[at]; }
  bool StartsWith(std::string_view s) const { return text.substr(at, s.size()) == s; }
  bool SkipBlanks() {
    const size_t from = at;
    while (!AtEnd() && IsBlank(text[at])) ++at;
    return at > from;
  }
  bool SkipPast(std::string_view terminator) {
    const size_t end = text.find(terminator, at);
    if (end == std::string_view::npos) return false;
    at = end + terminator.size();
    return true;
  }
  std::optional<std::string_view> Name() {
    const size_t from = at;
    while (!AtEnd() && IsNameChar(text[at])) ++at;
    if (at == from) return std::nullopt;
    return text.substr(from, at - from);
  }
  std::optional<std::string_view> Quoted() {
    const char quote = Peek();
    if (quote != '"' && quote != '\'') return std::nullopt;
    const size_t end = text.find(quote, at + 1);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view inside = text.substr(at + 1, end - at - 1);
    at = end + 1;
    return inside;
  }
  // Past the '>' that ends a declaration, over quoted strings.
  bool SkipDeclaration() {
    while (!AtEnd()) {
      const char c = text[at];
      if (c == '"' || c == '\'') {
        if (!Quoted()) return false;
      } else {
        ++at;
        if (c == '>') return true;
      }
    }
    return false;
  }
};

class Expander {
 public:
  explicit Expander(std::string_view document)
      : document_(document), limit_(EntityExpansionLimit(document.size())) {}

  std::optional<std::string> Run() {
    Cursor c{document_};
    if (c.StartsWith("\xEF\xBB\xBF")) c.at += 3;
    for (;;) {
      c.SkipBlanks();
      if (c.StartsWith("<?")) {
        if (!c.SkipPast("?>")) return std::string(document_);
      } else if (c.StartsWith("<!--")) {
        if (!c.SkipPast("-->")) return std::string(document_);
      } else {
        break;
      }
    }
    if (!c.StartsWith("<!DOCTYPE")) return std::string(document_);
    c.at += 9;
    if (!c.SkipBlanks() || !c.Name()) return std::nullopt;
    c.SkipBlanks();
    if (!SkipExternalId(c, false)) return std::nullopt;
    c.SkipBlanks();
    if (c.Peek() == '[') {
      ++c.at;
      if (!ReadDeclarations(c, true, 0)) return std::nullopt;
      c.SkipBlanks();
    }
    if (c.Peek() != '>') return std::nullopt;
    ++c.at;
    if (general_.empty()) return std::string(document_);

    std::string out(document_.substr(0, c.at));
    if (!ExpandContent(document_.substr(c.at), out)) return std::nullopt;
    return out;
  }

 private:
  struct Entity {
    enum class Kind { kInternal, kExternal, kUnparsed } kind = Kind::kInternal;
    std::string value;  // the replacement text of an internal entity, character references read
  };

  // "SYSTEM literal" or "PUBLIC literal literal", when there is one; with `ndata`, also a
  // following "NDATA name" (which makes `*unparsed` true).
  bool SkipExternalId(Cursor& c, bool ndata, bool* external = nullptr, bool* unparsed = nullptr) {
    int literals = 0;
    if (c.StartsWith("SYSTEM")) literals = 1;
    if (c.StartsWith("PUBLIC")) literals = 2;
    if (literals == 0) return true;
    c.at += 6;
    for (int i = 0; i < literals; ++i) {
      c.SkipBlanks();
      if (!c.Quoted()) return false;
    }
    if (external) *external = true;
    if (ndata) {
      const size_t before = c.at;
      if (c.SkipBlanks() && c.StartsWith("NDATA")) {
        c.at += 5;
        if (!c.SkipBlanks() || !c.Name()) return false;
        if (unparsed) *unparsed = true;
      } else {
        c.at = before;
      }
    }
    return true;
  }

  // The declarations of the internal subset up to its ']' (or, for the replacement text of a
  // parameter entity, to the end).
  bool ReadDeclarations(Cursor& c, bool subset, int depth) {
    for (;;) {
      c.SkipBlanks();
      if (c.AtEnd()) return !subset;
      if (subset && c.Peek() == ']') {
        ++c.at;
        return true;
      }
      if (c.StartsWith("<!--")) {
        if (!c.SkipPast("-->")) return false;
      } else if (c.StartsWith("<?")) {
        if (!c.SkipPast("?>")) return false;
      } else if (c.StartsWith("<!ENTITY")) {
        c.at += 8;
        if (!ReadEntity(c)) return false;
      } else if (c.StartsWith("<!ELEMENT") || c.StartsWith("<!ATTLIST") ||
                 c.StartsWith("<!NOTATION")) {
        if (!c.SkipDeclaration()) return false;
      } else if (c.Peek() == '%') {
        // A parameter entity declared here brings its declarations in; one declared elsewhere
        // is not read, and its declarations stay unknown.
        ++c.at;
        const auto name = c.Name();
        if (!name || c.Peek() != ';') return false;
        ++c.at;
        const auto it = parameters_.find(std::string(*name));
        if (it != parameters_.end() && it->second.kind == Entity::Kind::kInternal) {
          if (depth >= 8) return false;
          Cursor inner{it->second.value};
          if (!ReadDeclarations(inner, false, depth + 1)) return false;
        }
      } else {
        return false;
      }
    }
  }

  bool ReadEntity(Cursor& c) {
    if (!c.SkipBlanks()) return false;
    const bool parameter = c.Peek() == '%';
    if (parameter) {
      ++c.at;
      if (!c.SkipBlanks()) return false;
    }
    const auto name = c.Name();
    if (!name || !c.SkipBlanks()) return false;
    Entity entity;
    if (const auto literal = c.Quoted()) {
      if (!ReadLiteral(*literal, entity.value)) return false;
    } else {
      bool external = false, unparsed = false;
      if (!SkipExternalId(c, !parameter, &external, &unparsed) || !external) return false;
      entity.kind = unparsed ? Entity::Kind::kUnparsed : Entity::Kind::kExternal;
    }
    c.SkipBlanks();
    if (c.Peek() != '>') return false;
    ++c.at;
    // The first declaration of a name counts; the predefined entities keep their meaning.
    if (parameter) {
      parameters_.emplace(*name, std::move(entity));
    } else if (!IsPredefined(*name)) {
      general_.emplace(*name, std::move(entity));
    }
    return true;
  }

  // An entity value as declared: character references become their characters, references to
  // general entities stay for later. A parameter-entity reference inside a declaration of the
  // internal subset is not allowed.
  static bool ReadLiteral(std::string_view literal, std::string& value) {
    for (size_t i = 0; i < literal.size();) {
      const char c = literal[i];
      if (c == '%') return false;
      if (c != '&') {
        value += c;
        ++i;
        continue;
      }
      const size_t length = ReferenceLength(literal, i);
      if (length == 0) return false;
      const std::string_view reference = literal.substr(i, length);
      if (reference[1] == '#') {
        const auto cp = CharacterReference(reference);
        if (!cp) return false;
        AppendUtf8(value, *cp);
      } else {
        value += reference;
      }
      i += length;
    }
    return true;
  }

  bool Append(std::string& out, std::string_view text) const {
    out += text;
    return out.size() <= limit_;
  }

  // Content: markup is copied, references in character data and attribute values expanded.
  bool ExpandContent(std::string_view text, std::string& out) {
    size_t i = 0;
    while (i < text.size()) {
      if (text[i] != '<') {
        size_t end = text.find('<', i);
        if (end == std::string_view::npos) end = text.size();
        if (!ExpandReferences(text.substr(i, end - i), out, false)) return false;
        i = end;
        continue;
      }
      const std::string_view rest = text.substr(i);
      std::string_view terminator;
      if (rest.substr(0, 4) == "<!--") {
        terminator = "-->";
      } else if (rest.substr(0, 9) == "<![CDATA[") {
        terminator = "]]>";
      } else if (rest.substr(0, 2) == "<?") {
        terminator = "?>";
      } else if (rest.substr(0, 2) == "<!") {
        terminator = ">";
      }
      if (!terminator.empty()) {
        const size_t end = text.find(terminator, i);
        const size_t stop = end == std::string_view::npos ? text.size() : end + terminator.size();
        if (!Append(out, text.substr(i, stop - i))) return false;
        i = stop;
        continue;
      }
      // A tag: its attribute values may hold references.
      out += '<';
      ++i;
      while (i < text.size() && text[i] != '>') {
        const char c = text[i];
        if (c != '"' && c != '\'') {
          out += c;
          ++i;
          continue;
        }
        size_t end = text.find(c, i + 1);
        if (end == std::string_view::npos) end = text.size();
        out += c;
        if (!ExpandReferences(text.substr(i + 1, end - i - 1), out, true)) return false;
        if (end < text.size()) out += c;
        i = end + 1;
      }
      if (i < text.size()) {
        out += '>';
        ++i;
      }
    }
    return out.size() <= limit_;
  }

  bool ExpandReferences(std::string_view run, std::string& out, bool attribute) {
    size_t from = 0;
    for (size_t amp = run.find('&'); amp != std::string_view::npos; amp = run.find('&', from)) {
      const size_t length = ReferenceLength(run, amp);
      if (length == 0) {  // not a reference: left for the parser to refuse
        if (!Append(out, run.substr(from, amp + 1 - from))) return false;
        from = amp + 1;
        continue;
      }
      if (!Append(out, run.substr(from, amp - from))) return false;
      from = amp + length;
      const std::string_view reference = run.substr(amp, length);
      const std::string name(reference.substr(1, length - 2));
      const auto it = general_.find(name);
      if (reference[1] == '#' || it == general_.end()) {
        if (!Append(out, reference)) return false;
        continue;
      }
      if (it->second.kind == Entity::Kind::kUnparsed) return false;
      if (it->second.kind == Entity::Kind::kExternal) continue;
      const std::string* replacement = Replacement(name, it->second.value);
      if (!replacement) return false;
      if (!attribute) {
        if (!Append(out, *replacement)) return false;
        continue;
      }
      // In an attribute value the text is data: no markup, and its quotes do not end the value.
      if (replacement->find('<') != std::string::npos) return false;
      for (char c : *replacement) {
        if (c == '"') {
          out += "&quot;";
        } else if (c == '\'') {
          out += "&apos;";
        } else {
          out += c;
        }
      }
      if (out.size() > limit_) return false;
    }
    return Append(out, run.substr(from));
  }

  // The replacement text of an internal entity with its own references expanded; null for an
  // entity that refers to itself, one whose markup is not balanced, or one that grows too large.
  const std::string* Replacement(const std::string& name, const std::string& value) {
    if (const auto done = expanded_.find(name); done != expanded_.end()) return &done->second;
    if (!active_.insert(name).second) return nullptr;
    std::string text;
    const bool ok = ExpandContent(value, text);
    active_.erase(name);
    if (!ok) return nullptr;
    if (text.find('<') != std::string::npos) {
      const std::string wrapped = "<r>" + text + "</r>";
      pugi::xml_document check;
      if (!check.load_buffer(wrapped.data(), wrapped.size(), pugi::parse_default,
                             pugi::encoding_utf8)) {
        return nullptr;
      }
    }
    return &expanded_.emplace(name, std::move(text)).first->second;
  }

  std::string_view document_;
  size_t limit_;
  std::map<std::string, Entity, std::less<>> general_, parameters_;
  std::map<std::string, std::string> expanded_;
  std::set<std::string> active_;
};

}  // namespace

std::optional<std::string> ExpandInternalEntities(std::string_view document) {
  return Expander(document).Run();
}

}  // namespace norvex::platform
