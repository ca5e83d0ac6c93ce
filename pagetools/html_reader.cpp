// The tree builder of our HTML reader: the tokens of html_tokenizer.h into the page model's
// tree by the HTML tree construction rules that ordinary pages use.
#include "pagetools/html_reader.h"

#include <algorithm>

#include "common/text.h"
#include "pagetools/html_tokenizer.h"

namespace norvex::pagetools::model {

namespace {

bool In(std::u16string_view name, std::initializer_list<std::u16string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool IsTableContext(std::u16string_view tag) {
  return In(tag, {u"table", u"tbody", u"thead", u"tfoot", u"tr", u"colgroup", u"select",
                  u"frameset", u"html", u"head"});
}

namespace {

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
      if (element.name == ToLowerAscii(name)) element.name = std::u16string(name);
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
      while (white < text.size() && IsHtmlSpace(text[white])) ++white;
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
        if (IsHtmlSpace(c)) white += c;
      }
      if (!white.empty()) AppendText(Current(), white);
      return;
    }
    if (Node* table = FosterTable()) {
      size_t k = 0;
      while (k < text.size() && IsHtmlSpace(text[k])) ++k;
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
      if (ToLowerAscii(e->name) == name) {
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
