#include "pagetools/html_tokenizer.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::pagetools::model {
namespace {

// The tokens of `html`, one line each: "text:DATA", "<NAME a=v/>" (the slash when
// self-closing), "</NAME>", "comment:DATA", "doctype:NAME".
std::string Tokens(std::u16string_view html) {
  Tokenizer tokenizer(html);
  std::string out;
  for (Token token = tokenizer.Next(); token.type != Token::kEof; token = tokenizer.Next()) {
    if (!out.empty()) out += '|';
    const std::string name = Utf16ToUtf8(token.name);
    switch (token.type) {
      case Token::kText:
        out += "text:" + name;
        break;
      case Token::kComment:
        out += "comment:" + name;
        break;
      case Token::kDoctype:
        out += "doctype:" + name;
        break;
      case Token::kEnd:
        out += "</" + name + ">";
        break;
      case Token::kStart:
        out += "<" + name;
        for (const Attribute& a : token.attributes) {
          out += " " + Utf16ToUtf8(a.name) + "=" + Utf16ToUtf8(a.value);
        }
        out += token.selfClosing ? "/>" : ">";
        break;
      case Token::kEof:
        break;
    }
  }
  return out;
}

TEST(HtmlTokenizer, SplitsMarkupIntoTokens) {
  const struct {
    const char* html;
    const char* tokens;
  } cases[] = {
      {"<P Class=x ID='a b'>Hi</P>", "<p class=x id=a b>|text:Hi|</p>"},
      {"<br/><img src=\"a.png\" alt>", "<br/>|<img src=a.png alt=>"},
      {"<a href=x href=y>", "<a href=x>"},                 // the first of two wins
      {"a < b &amp; c&lt;d", "text:a |text:< b & c<d"},    // a text token stops at each "<"
      {"<a title='&amp;&ampx=1'>", "<a title=&&ampx=1>"},  // no legacy reference before =
      {"x\r\ny\rz", "text:x\ny\nz"},                       // line breaks normalised
      {"<!-- c --><!---><!DOCTYPE Html><?php x ?>",
       "comment: c |comment:|doctype:html|comment:?php x ?"},
      {"</>x", "text:x"},
      {"</Div >", "</div>"},
      {"<svg viewBox='0 0 1 1'/>", "<svg viewbox=0 0 1 1/>"},
      // "</" before anything but a letter or ">" opens a comment of what follows the slash, up
      // to the next ">"; at the end of the input it is text.
      {"a</ b>c", "text:a|comment: b|text:c"},
      {"</ b >", "comment: b "},
      {"</1>x", "comment:1|text:x"},
      {"</-->", "comment:--"},
      {"</\n p>", "comment:\n p"},
      {"</ b", "comment: b"},  // no ">": the comment runs to the end
      {"x</", "text:x|text:</"},
      {"</", "text:</"},
  };
  for (const auto& c : cases) EXPECT_EQ(Tokens(U16(c.html)), c.tokens) << c.html;
  EXPECT_EQ(Tokens(std::u16string(u"a\0b", 3)), "text:a\uFFFDb");
}

TEST(HtmlTokenizer, RawTextRunsToItsEndTag) {
  Tokenizer tokenizer(u"<script>if (a < b) { x = '</p>'; }</SCRIPT ><p>after");
  EXPECT_EQ(Utf16ToUtf8(tokenizer.Next().name), "script");
  EXPECT_EQ(Utf16ToUtf8(tokenizer.RawText(u"script", false)), "if (a < b) { x = '</p>'; }");
  EXPECT_EQ(Utf16ToUtf8(tokenizer.Next().name), "p");
  EXPECT_EQ(Utf16ToUtf8(tokenizer.Rest()), "after");
  EXPECT_EQ(tokenizer.Next().type, Token::kEof);

  Tokenizer title(u"<title>a &amp; b</title>");
  title.Next();
  EXPECT_EQ(Utf16ToUtf8(title.RawText(u"title", true)), "a & b");
}

TEST(HtmlTokenizer, CharacterReferences) {
  const struct {
    const char* text;
    const char* decoded;
    bool attribute;
  } cases[] = {
      {"&amp;", "&", false},       {"&ampx", "&", false},         {"&ampx", nullptr, true},
      {"&#65;", "A", false},       {"&#x3042;", "\u3042", false}, {"&#128;", "\u20ac", false},
      {"&bogus;", nullptr, false}, {"&#;", nullptr, false},
  };
  for (const auto& c : cases) {
    size_t i = 0;
    const auto decoded = DecodeCharacterReference(U16(c.text), i, c.attribute);
    EXPECT_EQ(decoded.has_value(), c.decoded != nullptr) << c.text;
    if (decoded && c.decoded) {
      EXPECT_EQ(Utf16ToUtf8(*decoded), c.decoded) << c.text;
    }
  }
}

}  // namespace
}  // namespace norvex::pagetools::model
