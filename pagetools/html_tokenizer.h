// The tokenizer of our HTML reader (html_reader.h): markup as a sequence of tokens by the HTML
// tokenization rules that ordinary pages use. Line breaks are normalised (CR LF and CR read as
// LF), NUL characters read as U+FFFD, tag and attribute names are lower-cased, character
// references are decoded in text and attribute values, the first of two attributes of one name
// wins. The tree builder asks for the content of raw text elements itself (RawText, Rest).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pagetools/page_model.h"

namespace norvex::pagetools::model {

struct Token {
  enum Type { kText, kStart, kEnd, kComment, kDoctype, kEof } type = kEof;
  std::u16string name;  // tags: lower case; text and comments: their data; a doctype: its name
  std::vector<Attribute> attributes;  // start tags
  bool selfClosing = false;           // start tags that end in "/>"
};

class Tokenizer {
 public:
  explicit Tokenizer(std::u16string_view html);

  // The next token; kEof at the end. A run of text is one token up to the next "<" that may
  // start a tag ("</>" is dropped, "<!" and "<?" start comments).
  Token Next();
  // The content of a raw text element up to its end tag, which is consumed; with `decode`
  // (title, textarea) character references are decoded.
  std::u16string RawText(std::u16string_view tag, bool decode);
  // Everything that is left (plaintext).
  std::u16string Rest();

 private:
  bool MatchesTag(size_t at, std::u16string_view tag) const;
  Token Bogus(size_t from);
  Token Markup();
  Token Tag(size_t from, Token::Type type);
  size_t AttributeChar(size_t k, std::u16string& value);

  std::u16string input_;
  size_t pos_ = 0;
};

// Decodes the character reference at `text[i]` ('&'); the characters it stands for, and `i`
// moved past it. Nothing (and `i` unchanged) when it is not a reference.
std::optional<std::u16string> DecodeCharacterReference(std::u16string_view text, size_t& i,
                                                       bool inAttribute);

}  // namespace norvex::pagetools::model
