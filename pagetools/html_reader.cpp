#include "pagetools/html_reader.h"

#include <algorithm>
#include <cstdint>

#include "common/text.h"

namespace norvex::pagetools::model {

namespace {

bool IsWhite(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r'; }
bool IsAlpha(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAlnum(char16_t c) { return IsAlpha(c) || (c >= u'0' && c <= u'9'); }
char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool In(std::u16string_view name, std::initializer_list<std::u16string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The named references that pages commonly use; others are left as written.
struct Entity {
  std::u16string_view name;
  char16_t value;
  bool legacy;  // also recognised without the semicolon
};
constexpr Entity kEntities[] = {
    {u"amp", u'&', true},       {u"lt", u'<', true},         {u"gt", u'>', true},
    {u"quot", u'"', true},      {u"apos", u'\'', false},     {u"nbsp", u'\u00A0', true},
    {u"copy", u'\u00A9', true}, {u"reg", u'\u00AE', true},   {u"trade", u'\u2122', false},
    {u"hellip", u'\u2026', false}, {u"mdash", u'\u2014', false}, {u"ndash", u'\u2013', false},
    {u"laquo", u'\u00AB', true}, {u"raquo", u'\u00BB', true}, {u"lsquo", u'\u2018', false},
    {u"rsquo", u'\u2019', false}, {u"ldquo", u'\u201C', false}, {u"rdquo", u'\u201D', false},
    {u"middot", u'\u00B7', true}, {u"bull", u'\u2022', false}, {u"times", u'\u00D7', true},
    {u"divide", u'\u00F7', true}, {u"yen", u'\u00A5', true},  {u"euro", u'\u20AC', false},
    {u"pound", u'\u00A3', true}, {u"cent", u'\u00A2', true},  {u"sect", u'\u00A7', true},
    {u"deg", u'\u00B0', true},   {u"plusmn", u'\u00B1', true}, {u"para", u'\u00B6', true},
    {u"eacute", u'\u00E9', true}, {u"Eacute", u'\u00C9', true}, {u"egrave", u'\u00E8', true},
    {u"agrave", u'\u00E0', true}, {u"auml", u'\u00E4', true},  {u"ouml", u'\u00F6', true},
    {u"uuml", u'\u00FC', true},  {u"Auml", u'\u00C4', true},  {u"Ouml", u'\u00D6', true},
    {u"Uuml", u'\u00DC', true},  {u"szlig", u'\u00DF', true}, {u"ccedil", u'\u00E7', true},
    {u"shy", u'\u00AD', true},   {u"thinsp", u'\u2009', false}, {u"ensp", u'\u2002', false},
    {u"emsp", u'\u2003', false}, {u"larr", u'\u2190', false}, {u"rarr", u'\u2192', false},
    {u"uarr", u'\u2191', false}, {u"darr", u'\u2193', false}, {u"hearts", u'\u2665', false},
};

void AppendCodePoint(uint32_t code, std::u16string& out) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    out += u'\uFFFD';
  } else if (code >= 0x80 && code <= 0x9F) {
    out += FromWindows1252(static_cast<unsigned char>(code));  // the parsing rules map C1
  } else if (code >= 0x10000) {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  } else {
    out += static_cast<char16_t>(code);
  }
}

}  // namespace

std::optional<std::u16string> DecodeCharacterReference(std::u16string_view text, size_t& i,
                                                       bool inAttribute) {
  size_t j = i + 1;
  if (j < text.size() && text[j] == u'#') {
    ++j;
    const bool hex = j < text.size() && (text[j] == u'x' || text[j] == u'X');
    if (hex) ++j;
    const size_t digits = j;
    uint32_t code = 0;
    for (; j < text.size(); ++j) {
      const char16_t c = text[j];
      uint32_t d;
      if (c >= u'0' && c <= u'9') {
        d = c - u'0';
      } else if (hex && Lower(c) >= u'a' && Lower(c) <= u'f') {
        d = Lower(c) - u'a' + 10;
      } else {
        break;
      }
      code = std::min<uint32_t>(code * (hex ? 16 : 10) + d, 0x110000);
    }
    if (j == digits) return std::nullopt;
    if (j < text.size() && text[j] == u';') ++j;
    std::u16string out;
    AppendCodePoint(code, out);
    i = j;
    return out;
  }
  size_t end = j;
  while (end < text.size() && IsAlnum(text[end])) ++end;
  const std::u16string_view name = text.substr(j, end - j);
  const bool semicolon = end < text.size() && text[end] == u';';
  for (const Entity& entity : kEntities) {
    if (semicolon && name == entity.name) {
      i = end + 1;
      return std::u16string(1, entity.value);
    }
  }
  // Without a semicolon the longest legacy name that starts the text counts (not in attributes
  // when a letter, digit or '=' follows).
  for (size_t length = name.size(); length > 0; --length) {
    for (const Entity& entity : kEntities) {
      if (!entity.legacy || entity.name != name.substr(0, length)) continue;
      const size_t after = j + length;
      if (inAttribute && after < text.size() && (IsAlnum(text[after]) || text[after] == u'=')) {
        return std::nullopt;
      }
      i = after;
      return std::u16string(1, entity.value);
    }
  }
  return std::nullopt;
}

bool IsTableContext(std::u16string_view tag) {
  return In(tag, {u"table", u"tbody", u"thead", u"tfoot", u"tr", u"colgroup", u"select",
                  u"frameset", u"html", u"head"});
}

namespace {

// ---- Tokens ---------------------------------------------------------------------------------

struct Token {
  enum Type { kText, kStart, kEnd, kComment, kDoctype, kEof } type = kEof;
  std::u16string name;  // tags: lower case; text and comments: their data
  std::vector<Attribute> attributes;
  bool selfClosing = false;
};

class Tokenizer {
 public:
  explicit Tokenizer(std::u16string_view html) {
    input_.reserve(html.size());
    for (size_t i = 0; i < html.size(); ++i) {
      char16_t c = html[i];
      if (c == u'\r') {
        if (i + 1 < html.size() && html[i + 1] == u'\n') ++i;
        c = u'\n';
      }
      input_ += c;
    }
  }

  // The content of a raw text element up to its end tag (which is consumed).
  std::u16string RawText(std::u16string_view tag, bool decode) {
    std::u16string text;
    while (pos_ < input_.size()) {
      if (input_[pos_] == u'<' && pos_ + 1 < input_.size() && input_[pos_ + 1] == u'/' &&
          MatchesTag(pos_ + 2, tag)) {
        pos_ += 2 + tag.size();
        while (pos_ < input_.size() && input_[pos_] != u'>') ++pos_;
        if (pos_ < input_.size()) ++pos_;
        return text;
      }
      if (decode && input_[pos_] == u'&') {
        if (auto decoded = DecodeCharacterReference(input_, pos_, false)) {
          text += *decoded;
          continue;
        }
      }
      text += input_[pos_] == u'\0' ? u'\uFFFD' : input_[pos_];
      ++pos_;
    }
    return text;
  }

  std::u16string Rest() {
    std::u16string rest = input_.substr(pos_);
    pos_ = input_.size();
    return rest;
  }

  Token Next() {
    Token token;
    if (pos_ >= input_.size()) return token;
    if (input_[pos_] == u'<' && pos_ + 1 < input_.size()) {
      const char16_t c = input_[pos_ + 1];
      if (IsAlpha(c)) return Tag(pos_ + 1, Token::kStart);
      if (c == u'/' && pos_ + 2 < input_.size() && IsAlpha(input_[pos_ + 2])) {
        return Tag(pos_ + 2, Token::kEnd);
      }
      if (c == u'/' && pos_ + 2 < input_.size() && input_[pos_ + 2] == u'>') {
        pos_ += 3;  // "</>" is dropped
        return Next();
      }
      if (c == u'!') return Markup();
      if (c == u'?' || c == u'/') return Bogus(pos_ + 1);
    }
    token.type = Token::kText;
    while (pos_ < input_.size()) {
      const char16_t c = input_[pos_];
      if (c == u'<' && !token.name.empty()) break;
      if (c == u'<') {
        token.name += c;
        ++pos_;
        // A lone '<' is text; stop where a tag may start.
        continue;
      }
      if (c == u'&') {
        if (auto decoded = DecodeCharacterReference(input_, pos_, false)) {
          token.name += *decoded;
          continue;
        }
      }
      token.name += c == u'\0' ? u'\uFFFD' : c;
      ++pos_;
    }
    return token;
  }

 private:
  bool MatchesTag(size_t at, std::u16string_view tag) const {
    if (at + tag.size() > input_.size()) return false;
    for (size_t k = 0; k < tag.size(); ++k) {
      if (Lower(input_[at + k]) != tag[k]) return false;
    }
    const size_t after = at + tag.size();
    return after >= input_.size() || IsWhite(input_[after]) || input_[after] == u'/' ||
           input_[after] == u'>';
  }

  Token Bogus(size_t from) {
    Token token;
    token.type = Token::kComment;
    const size_t close = input_.find(u'>', from);
    const size_t end = close == std::u16string::npos ? input_.size() : close;
    token.name = input_.substr(from, end - from);
    pos_ = close == std::u16string::npos ? input_.size() : close + 1;
    return token;
  }

  Token Markup() {
    const size_t at = pos_ + 2;
    if (input_.compare(at, 2, u"--") == 0) {
      Token token;
      token.type = Token::kComment;
      size_t from = at + 2;
      // "<!-->" and "<!--->" end at once.
      if (input_.compare(from, 1, u">") == 0) {
        pos_ = from + 1;
        return token;
      }
      if (input_.compare(from, 2, u"->") == 0) {
        pos_ = from + 2;
        return token;
      }
      const size_t close = input_.find(u"-->", from);
      const size_t end = close == std::u16string::npos ? input_.size() : close;
      token.name = input_.substr(from, end - from);
      pos_ = close == std::u16string::npos ? input_.size() : close + 3;
      return token;
    }
    std::u16string word;
    for (size_t k = at; k < input_.size() && k < at + 7; ++k) word += Lower(input_[k]);
    if (word == u"doctype") {
      Token token;
      token.type = Token::kDoctype;
      size_t k = at + 7;
      while (k < input_.size() && IsWhite(input_[k])) ++k;
      while (k < input_.size() && !IsWhite(input_[k]) && input_[k] != u'>') {
        token.name += Lower(input_[k]);
        ++k;
      }
      const size_t close = input_.find(u'>', k);
      pos_ = close == std::u16string::npos ? input_.size() : close + 1;
      return token;
    }
    return Bogus(at);
  }

  Token Tag(size_t from, Token::Type type) {
    Token token;
    token.type = type;
    size_t k = from;
    while (k < input_.size() && !IsWhite(input_[k]) && input_[k] != u'/' && input_[k] != u'>') {
      token.name += input_[k] == u'\0' ? u'\uFFFD' : Lower(input_[k]);
      ++k;
    }
    while (k < input_.size()) {
      while (k < input_.size() && (IsWhite(input_[k]) || input_[k] == u'/')) {
        if (input_[k] == u'/' && k + 1 < input_.size() && input_[k + 1] == u'>') {
          token.selfClosing = true;
        }
        ++k;
      }
      if (k >= input_.size() || input_[k] == u'>') break;
      std::u16string name;
      do {
        name += input_[k] == u'\0' ? u'\uFFFD' : Lower(input_[k]);
        ++k;
      } while (k < input_.size() && !IsWhite(input_[k]) && input_[k] != u'/' &&
               input_[k] != u'>' && input_[k] != u'=');
      while (k < input_.size() && IsWhite(input_[k])) ++k;
      std::u16string value;
      if (k < input_.size() && input_[k] == u'=') {
        ++k;
        while (k < input_.size() && IsWhite(input_[k])) ++k;
        if (k < input_.size() && (input_[k] == u'"' || input_[k] == u'\'')) {
          const char16_t quote = input_[k++];
          while (k < input_.size() && input_[k] != quote) k = AttributeChar(k, value);
          if (k < input_.size()) ++k;
        } else {
          while (k < input_.size() && !IsWhite(input_[k]) && input_[k] != u'>') {
            k = AttributeChar(k, value);
          }
        }
      }
      const bool duplicate = std::any_of(token.attributes.begin(), token.attributes.end(),
                                         [&](const Attribute& a) { return a.name == name; });
      if (!duplicate) token.attributes.push_back({std::move(name), std::move(value)});
    }
    pos_ = k < input_.size() ? k + 1 : input_.size();
    if (type == Token::kEnd) {
      token.attributes.clear();
      token.selfClosing = false;
    }
    return token;
  }

  size_t AttributeChar(size_t k, std::u16string& value) {
    if (input_[k] == u'&') {
      size_t at = k;
      if (auto decoded = DecodeCharacterReference(input_, at, true)) {
        value += *decoded;
        return at;
      }
    }
    value += input_[k] == u'\0' ? u'\uFFFD' : input_[k];
    return k + 1;
  }

  std::u16string input_;
  size_t pos_ = 0;
};

// ---- Tree building --------------------------------------------------------------------------

bool IsRawText(std::u16string_view tag) {
  return In(tag, {u"script", u"style", u"xmp", u"iframe", u"noembed", u"noframes"});
}

bool IsVoidTag(std::u16string_view tag) {
  return In(tag, {u"area", u"base", u"basefont", u"bgsound", u"br", u"col", u"embed", u"frame",
                  u"hr", u"img", u"input", u"keygen", u"link", u"meta", u"param", u"source",
                  u"track", u"wbr"});
}

bool ClosesParagraph(std::u16string_view tag) {
  return In(tag, {u"address", u"article", u"aside", u"blockquote", u"center", u"details",
                  u"dialog", u"dir", u"div", u"dl", u"fieldset", u"figcaption", u"figure",
                  u"footer", u"header", u"hgroup", u"main", u"menu", u"nav", u"ol", u"p",
                  u"section", u"summary", u"ul", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"pre",
                  u"listing", u"form", u"table", u"hr", u"xmp", u"plaintext", u"li", u"dd",
                  u"dt"});
}

bool IsHeading(std::u16string_view tag) {
  return In(tag, {u"h1", u"h2", u"h3", u"h4", u"h5", u"h6"});
}

bool IsHeadTag(std::u16string_view tag) {
  return In(tag, {u"meta", u"link", u"title", u"style", u"script", u"base", u"basefont",
                  u"bgsound", u"noscript", u"template"});
}

// Elements that bound the search for an open element of an end tag.
bool IsScopeBoundary(const Node& e) {
  if (e.ns != Namespace::kHtml) return In(e.name, {u"foreignobject", u"desc", u"title", u"mi", u"mo", u"mn", u"ms", u"mtext", u"annotation-xml"});
  return In(e.name, {u"applet", u"caption", u"html", u"table", u"td", u"th", u"marquee",
                     u"object", u"template"});
}

class TreeBuilder {
 public:
  TreeBuilder(Document& document, Node* root) : doc_(document), root_(root) {}

  // Fragment parsing: everything goes into `container`, as if it were the context element.
  void StartFragment(Node* container, const Node& context) {
    html_ = container;
    body_ = container;
    stack_.push_back(container);
    fragment_ = true;
  }

  void Run(Tokenizer& tokenizer) {
    for (;;) {
      Token token = tokenizer.Next();
      if (token.type == Token::kEof) break;
      Process(token, tokenizer);
    }
  }

 private:
  Node* Current() const { return stack_.empty() ? root_ : stack_.back(); }

  void EnsureHtml() {
    if (html_) return;
    html_ = doc_.NewElement(u"html");
    Document::AppendChild(root_, html_);
    stack_.push_back(html_);
  }

  void EnsureHead() {
    EnsureHtml();
    if (head_) return;
    head_ = doc_.NewElement(u"head");
    Document::AppendChild(html_, head_);
  }

  void EnsureBody() {
    EnsureHead();
    if (body_ || frameset_) return;
    body_ = doc_.NewElement(u"body");
    Document::AppendChild(html_, body_);
    stack_.resize(1);
    stack_.push_back(body_);
  }

  void AppendText(Node* parent, std::u16string_view text, Node* before = nullptr) {
    Node* previous = before ? before->prev : parent->last;
    if (previous && previous->kind == NodeKind::kText) {
      previous->data += text;
      return;
    }
    Document::LinkBefore(parent, doc_.NewText(std::u16string(text)), before);
  }

  // `foster`: content that a table may not hold goes before the table.
  Node* InsertElement(const Token& token, Namespace ns, bool push, bool foster = true) {
    Node* element = doc_.NewElement(token.name, ns);
    element->attributes = token.attributes;
    if (ns == Namespace::kSvg) FixSvgName(*element);
    Node* parent = Current();
    Node* table = foster ? FosterTable() : nullptr;
    if (table && table->parent) {
      Document::LinkBefore(table->parent, element, table);
    } else {
      Document::AppendChild(parent, element);
    }
    if (push) stack_.push_back(element);
    return element;
  }

  // The table that content goes before, when the current node is a table part.
  Node* FosterTable() const {
    const Node* current = Current();
    if (current->ns != Namespace::kHtml ||
        !In(current->name, {u"table", u"tbody", u"thead", u"tfoot", u"tr"})) {
      return nullptr;
    }
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      if ((*it)->IsElement(u"table")) return *it;
    }
    return nullptr;
  }

  static void FixSvgName(Node& element) {
    static const std::u16string_view kNames[] = {
        u"clipPath", u"foreignObject", u"linearGradient", u"radialGradient", u"textPath",
        u"feGaussianBlur", u"feOffset", u"feBlend", u"feColorMatrix", u"feComposite",
        u"feFlood", u"feMerge", u"feMergeNode", u"feImage", u"feTurbulence", u"animateMotion",
        u"animateTransform"};
    for (std::u16string_view name : kNames) {
      std::u16string lower;
      for (char16_t c : name) lower += Lower(c);
      if (element.name == lower) element.name = std::u16string(name);
    }
    for (Attribute& a : element.attributes) {
      if (a.name == u"viewbox") a.name = u"viewBox";
      if (a.name == u"preserveaspectratio") a.name = u"preserveAspectRatio";
    }
  }

  bool HasInScope(std::u16string_view tag, bool buttonScope = false) const {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      const Node& e = **it;
      if (e.ns == Namespace::kHtml && e.name == tag) return true;
      if (IsScopeBoundary(e) || (buttonScope && e.IsElement(u"button"))) return false;
      if (&e == body_ && fragment_) return false;
    }
    return false;
  }

  // Pops up to and including the innermost open `tag`.
  void PopTo(std::u16string_view tag) {
    while (stack_.size() > 1) {
      Node* e = stack_.back();
      stack_.pop_back();
      if (e->ns == Namespace::kHtml && e->name == tag) return;
    }
  }

  void CloseParagraph() {
    if (HasInScope(u"p", true)) PopTo(u"p");
  }

  void Process(Token& token, Tokenizer& tokenizer) {
    switch (token.type) {
      case Token::kDoctype:
        if (!html_ && !fragment_) {
          Node* doctype = doc_.NewNode(NodeKind::kDoctype);
          doctype->name = token.name;
          Document::AppendChild(root_, doctype);
        }
        return;
      case Token::kComment: {
        Node* comment = doc_.NewNode(NodeKind::kComment);
        comment->data = token.name;
        Document::AppendChild(html_ ? Current() : root_, comment);
        return;
      }
      case Token::kText:
        Text(token.name);
        return;
      case Token::kStart:
        Start(token, tokenizer);
        return;
      case Token::kEnd:
        End(token);
        return;
      case Token::kEof:
        return;
    }
  }

  void Text(std::u16string_view text) {
    if (!fragment_ && !body_ && !frameset_) {
      size_t white = 0;
      while (white < text.size() && IsWhite(text[white])) ++white;
      if (white > 0 && (html_ || head_)) {
        // White space before the body stays where the parser is: in the head, or after it.
        if (inHead_) {
          AppendText(head_, text.substr(0, white));
        } else if (html_ && head_) {
          AppendText(html_, text.substr(0, white));
        }
      }
      text.remove_prefix(white);
      if (text.empty()) return;
      EnsureBody();
      inHead_ = false;
    }
    if (frameset_ && !fragment_) {
      // A frameset page keeps only the white space of its text.
      std::u16string white;
      for (char16_t c : text) {
        if (IsWhite(c)) white += c;
      }
      if (!white.empty()) AppendText(Current(), white);
      return;
    }
    if (Node* table = FosterTable()) {
      size_t k = 0;
      while (k < text.size() && IsWhite(text[k])) ++k;
      if (k < text.size() && table->parent) {
        AppendText(table->parent, text, table);
        return;
      }
    }
    AppendText(Current(), text);
  }

  void Start(Token& token, Tokenizer& tokenizer) {
    const std::u16string& name = token.name;
    // Foreign content: SVG and MathML elements nest until their own end tags.
    const Namespace current = Current()->ns;
    if (current != Namespace::kHtml && !Current()->IsElement(u"foreignobject")) {
      InsertElement(token, current, !token.selfClosing);
      return;
    }
    if (name == u"svg" || name == u"math") {
      if (!fragment_) BeforeBodyContent(name);
      InsertElement(token, name == u"svg" ? Namespace::kSvg : Namespace::kMathMl,
                    !token.selfClosing);
      return;
    }
    if (name == u"html") {
      EnsureHtml();
      for (const Attribute& a : token.attributes) {
        if (!html_->FindAttribute(a.name)) html_->attributes.push_back(a);
      }
      return;
    }
    if (!fragment_ && !body_ && !frameset_) {
      if (name == u"head") {
        EnsureHead();
        head_->attributes = token.attributes;
        inHead_ = true;
        return;
      }
      if (IsHeadTag(name) && !afterHead_) {
        EnsureHead();
        inHead_ = true;
        HeadElement(token, tokenizer);
        return;
      }
      if (name == u"frameset") {
        frameset_ = OpenPageElement(token);
        return;
      }
      if (name == u"body") {
        body_ = OpenPageElement(token);
        return;
      }
      EnsureBody();
      inHead_ = false;
    }
    if (frameset_ && !fragment_) {
      if (name == u"frameset") InsertElement(token, Namespace::kHtml, true);
      if (name == u"frame") InsertElement(token, Namespace::kHtml, false);
      return;
    }
    if (name == u"body") {
      if (body_) {
        for (const Attribute& a : token.attributes) {
          if (!body_->FindAttribute(a.name)) body_->attributes.push_back(a);
        }
      }
      return;
    }
    if (name == u"head" || name == u"frameset" || name == u"frame") return;
    InBody(token, tokenizer);
  }

  // The body or frameset element of the page, after the head, open from now on.
  Node* OpenPageElement(const Token& token) {
    EnsureHead();
    Node* element = doc_.NewElement(token.name);
    element->attributes = token.attributes;
    Document::AppendChild(html_, element);
    stack_.resize(1);
    stack_.push_back(element);
    inHead_ = false;
    return element;
  }

  void BeforeBodyContent(std::u16string_view) {
    if (!body_ && !frameset_) {
      EnsureBody();
      inHead_ = false;
    }
  }

  void HeadElement(Token& token, Tokenizer& tokenizer) {
    Node* element = doc_.NewElement(token.name);
    element->attributes = token.attributes;
    Document::AppendChild(head_, element);
    RawContent(element, tokenizer);
  }

  // Raw and escapable raw text elements read their content at once.
  bool RawContent(Node* element, Tokenizer& tokenizer) {
    const std::u16string& name = element->name;
    if (IsRawText(name) || name == u"title" || name == u"textarea") {
      const bool decode = name == u"title" || name == u"textarea";
      std::u16string text = tokenizer.RawText(name, decode);
      if (name == u"textarea" && !text.empty() && text.front() == u'\n') text.erase(0, 1);
      if (!text.empty()) AppendText(element, text);
      return true;
    }
    if (name == u"plaintext") {
      std::u16string text = tokenizer.Rest();
      if (!text.empty()) AppendText(element, text);
      return true;
    }
    return false;
  }

  void InBody(Token& token, Tokenizer& tokenizer) {
    const std::u16string& name = token.name;
    if (In(name, {u"meta", u"link", u"base", u"basefont", u"bgsound"})) {
      InsertElement(token, Namespace::kHtml, false);
      return;
    }
    if (ClosesParagraph(name)) CloseParagraph();
    if (IsHeading(name) && IsHeading(Current()->name) && Current()->ns == Namespace::kHtml) {
      stack_.pop_back();
    }
    if (name == u"li") CloseListItem({u"li"});
    if (name == u"dd" || name == u"dt") CloseListItem({u"dd", u"dt"});
    if (name == u"a" && HasInScope(u"a")) PopTo(u"a");
    if (name == u"option" && Current()->IsElement(u"option")) stack_.pop_back();
    if (name == u"optgroup") {
      if (Current()->IsElement(u"option")) stack_.pop_back();
      if (Current()->IsElement(u"optgroup")) stack_.pop_back();
    }
    if (In(name, {u"td", u"th", u"tr", u"tbody", u"thead", u"tfoot", u"caption", u"col",
                  u"colgroup"})) {
      TablePart(token);
      return;
    }
    if (IsVoidTag(name)) {
      if (name == u"image") token.name = u"img";
      InsertElement(token, Namespace::kHtml, false);
      return;
    }
    Node* element = InsertElement(token, Namespace::kHtml, true);
    if (RawContent(element, tokenizer)) {
      stack_.pop_back();
      return;
    }
  }

  void CloseListItem(std::initializer_list<std::u16string_view> tags) {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      const Node& e = **it;
      if (e.ns == Namespace::kHtml && std::find(tags.begin(), tags.end(), e.name) != tags.end()) {
        const std::u16string tag = e.name;
        PopTo(tag);
        return;
      }
      if (e.ns == Namespace::kHtml &&
          In(e.name, {u"ul", u"ol", u"table", u"td", u"th", u"body", u"html", u"div", u"dl",
                      u"blockquote", u"section", u"article", u"nav", u"aside", u"header",
                      u"footer", u"form", u"button", u"li", u"dd", u"dt"}) &&
          !In(e.name, {u"address", u"div", u"p"})) {
        return;
      }
    }
  }

  void TablePart(Token& token) {
    const std::u16string& name = token.name;
    Token implied;
    implied.type = Token::kStart;
    if (name == u"caption" || name == u"colgroup" || name == u"tbody" || name == u"thead" ||
        name == u"tfoot") {
      ToTable();
      InsertElement(token, Namespace::kHtml, true, false);
      return;
    }
    if (name == u"col") {
      ToTable();
      if (!Current()->IsElement(u"colgroup")) {
        implied.name = u"colgroup";
        InsertElement(implied, Namespace::kHtml, true, false);
      }
      InsertElement(token, Namespace::kHtml, false, false);
      return;
    }
    if (name == u"tr") {
      ToRowGroup();
      InsertElement(token, Namespace::kHtml, true, false);
      return;
    }
    // td, th: only inside a table.
    if (std::none_of(stack_.begin(), stack_.end(),
                     [](const Node* e) { return e->IsElement(u"table"); })) {
      return;
    }
    ToRow();
    InsertElement(token, Namespace::kHtml, true, false);
  }

  void PopUntilIn(std::initializer_list<std::u16string_view> tags) {
    while (stack_.size() > 1 && !(Current()->ns == Namespace::kHtml &&
                                  std::find(tags.begin(), tags.end(), Current()->name) != tags.end())) {
      if (Current()->IsElement(u"table")) return;
      stack_.pop_back();
    }
  }

  void ToTable() { PopUntilIn({u"table"}); }

  void ToRowGroup() {
    PopUntilIn({u"tbody", u"thead", u"tfoot", u"table"});
    if (Current()->IsElement(u"table")) {
      Token implied;
      implied.type = Token::kStart;
      implied.name = u"tbody";
      InsertElement(implied, Namespace::kHtml, true, false);
    }
  }

  void ToRow() {
    PopUntilIn({u"tr", u"tbody", u"thead", u"tfoot", u"table"});
    if (!Current()->IsElement(u"tr")) {
      if (Current()->IsElement(u"table")) ToRowGroup();
      Token implied;
      implied.type = Token::kStart;
      implied.name = u"tr";
      InsertElement(implied, Namespace::kHtml, true, false);
    }
  }

  void End(const Token& token) {
    const std::u16string& name = token.name;
    if (!fragment_ && !body_ && !frameset_) {
      if (name == u"head") {
        inHead_ = false;
        afterHead_ = true;
        return;
      }
      if (!In(name, {u"br", u"html", u"body"})) return;
      if (name == u"br") {
        EnsureBody();
        inHead_ = false;
      } else {
        return;
      }
    }
    if (frameset_ && !fragment_) {
      if (name == u"frameset" && Current()->IsElement(u"frameset")) stack_.pop_back();
      return;
    }
    if (name == u"body" || name == u"html") return;
    if (name == u"br") {
      Token br;
      br.type = Token::kStart;
      br.name = u"br";
      InsertElement(br, Namespace::kHtml, false);
      return;
    }
    if (name == u"p" && !HasInScope(u"p", true)) {
      Token p;
      p.type = Token::kStart;
      p.name = u"p";
      InsertElement(p, Namespace::kHtml, false);
      return;
    }
    // Foreign elements and ordinary ones: the innermost open element of that name, within scope.
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      Node* e = *it;
      if (e == body_ || e == html_) return;
      std::u16string lower;
      for (char16_t c : e->name) lower += Lower(c);
      if (lower == name) {
        stack_.erase(std::next(it).base(), stack_.end());
        return;
      }
      if (e->ns == Namespace::kHtml && IsScopeBoundary(*e) && !In(name, {u"table"}) &&
          !(In(name, {u"td", u"th", u"tr", u"tbody", u"thead", u"tfoot"}) &&
            In(e->name, {u"td", u"th"}))) {
        return;
      }
    }
  }

 public:
  // A pre's first line feed belongs to its start tag.
  void DropFirstNewlines() { DropIn(root_); }

 private:
  void DropIn(Node* node) {
    for (Node* c = node->first; c; c = c->next) {
      if (c->kind == NodeKind::kElement && c->ns == Namespace::kHtml &&
          (c->name == u"pre" || c->name == u"listing") && c->first &&
          c->first->kind == NodeKind::kText && !c->first->data.empty() &&
          c->first->data.front() == u'\n') {
        c->first->data.erase(0, 1);
        if (c->first->data.empty()) {
          Node* empty = c->first;
          c->first = empty->next;
          if (c->first) {
            c->first->prev = nullptr;
          } else {
            c->last = nullptr;
          }
          empty->parent = empty->next = nullptr;
        }
      }
      DropIn(c);
    }
  }

  Document& doc_;
  Node* root_;
  Node* html_ = nullptr;
  Node* head_ = nullptr;
  Node* body_ = nullptr;
  Node* frameset_ = nullptr;
  std::vector<Node*> stack_;
  bool inHead_ = false;
  bool afterHead_ = false;
  bool fragment_ = false;
};

bool IsSimplePhrasing(std::u16string_view tag) {
  return In(tag, {u"span", u"b", u"i", u"u", u"s", u"em", u"strong", u"small", u"big", u"sub",
                  u"sup", u"code", u"kbd", u"var", u"cite", u"abbr", u"mark", u"q", u"font",
                  u"tt", u"strike", u"bdi", u"bdo", u"dfn", u"time", u"data", u"ins", u"del",
                  u"samp"});
}

}  // namespace

bool HtmlReader::ParseDocument(std::u16string_view html, Document& document) {
  Tokenizer tokenizer(html);
  TreeBuilder builder(document, document.root());
  builder.Run(tokenizer);
  // Every page has html, head and body (or a frameset).
  Node* root = document.root();
  Node* htmlElement = document.HtmlElement();
  if (!htmlElement) {
    htmlElement = document.NewElement(u"html");
    Document::AppendChild(root, htmlElement);
  }
  bool head = false, body = false;
  for (Node* c = htmlElement->first; c; c = c->next) {
    head = head || c->IsElement(u"head");
    body = body || c->IsElement(u"body") || c->IsElement(u"frameset");
  }
  if (!head) Document::LinkBefore(htmlElement, document.NewElement(u"head"), htmlElement->first);
  if (!body) Document::AppendChild(htmlElement, document.NewElement(u"body"));
  builder.DropFirstNewlines();
  return true;
}

std::vector<Node*> HtmlReader::ParseFragment(std::u16string_view html, const Node& context,
                                             Document& document) {
  Node* container = document.NewElement(context.name, context.ns);
  Tokenizer tokenizer(html);
  TreeBuilder builder(document, container);
  builder.StartFragment(container, context);
  builder.Run(tokenizer);
  builder.DropFirstNewlines();
  return Document::TakeChildren(container);
}

std::optional<std::vector<Node*>> ReadSimpleFragment(std::u16string_view html, const Node& context,
                                                     Document& document) {
  if (context.kind != NodeKind::kElement || context.ns != Namespace::kHtml ||
      IsTableContext(context.name) || IsHiddenElement(context) || context.name == u"pre" ||
      context.name == u"listing" || context.name == u"a" || context.name == u"button" ||
      html.size() > 4096) {
    return std::nullopt;
  }
  Tokenizer tokenizer(html);
  Node* container = document.NewElement(context.name);
  std::vector<Node*> stack{container};
  for (;;) {
    Token token = tokenizer.Next();
    if (token.type == Token::kEof) break;
    if (token.type == Token::kText) {
      if (token.name.find(u'<') != std::u16string::npos) return std::nullopt;
      Node* parent = stack.back();
      if (parent->last && parent->last->kind == NodeKind::kText) {
        parent->last->data += token.name;
      } else {
        Document::AppendChild(parent, document.NewText(std::move(token.name)));
      }
    } else if (token.type == Token::kStart) {
      const bool isVoid = In(token.name, {u"br", u"img", u"wbr"});
      if (!isVoid && (!IsSimplePhrasing(token.name) || token.selfClosing)) return std::nullopt;
      Node* element = document.NewElement(token.name);
      element->attributes = std::move(token.attributes);
      Document::AppendChild(stack.back(), element);
      if (!isVoid) stack.push_back(element);
    } else if (token.type == Token::kEnd) {
      if (stack.size() < 2 || stack.back()->name != token.name) return std::nullopt;
      stack.pop_back();
    } else {
      return std::nullopt;
    }
  }
  if (stack.size() != 1) return std::nullopt;
  return Document::TakeChildren(container);
}

}  // namespace norvex::pagetools::model
