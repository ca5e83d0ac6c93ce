#include "pagetools/html_tokenizer.h"

#include <algorithm>
#include <cstdint>

#include "common/text.h"

namespace norvex::pagetools::model {

namespace {

bool IsAlpha(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAlnum(char16_t c) { return IsAlpha(c) || (c >= u'0' && c <= u'9'); }

// The named references that pages commonly use; others are left as written.
struct Entity {
  std::u16string_view name;
  char16_t value;
  bool legacy;  // also recognised without the semicolon
};
constexpr Entity kEntities[] = {
    {u"amp", u'&', true},          {u"lt", u'<', true},           {u"gt", u'>', true},
    {u"quot", u'"', true},         {u"apos", u'\'', false},       {u"nbsp", u'\u00A0', true},
    {u"copy", u'\u00A9', true},    {u"reg", u'\u00AE', true},     {u"trade", u'\u2122', false},
    {u"hellip", u'\u2026', false}, {u"mdash", u'\u2014', false},  {u"ndash", u'\u2013', false},
    {u"laquo", u'\u00AB', true},   {u"raquo", u'\u00BB', true},   {u"lsquo", u'\u2018', false},
    {u"rsquo", u'\u2019', false},  {u"ldquo", u'\u201C', false},  {u"rdquo", u'\u201D', false},
    {u"middot", u'\u00B7', true},  {u"bull", u'\u2022', false},   {u"times", u'\u00D7', true},
    {u"divide", u'\u00F7', true},  {u"yen", u'\u00A5', true},     {u"euro", u'\u20AC', false},
    {u"pound", u'\u00A3', true},   {u"cent", u'\u00A2', true},    {u"sect", u'\u00A7', true},
    {u"deg", u'\u00B0', true},     {u"plusmn", u'\u00B1', true},  {u"para", u'\u00B6', true},
    {u"eacute", u'\u00E9', true},  {u"Eacute", u'\u00C9', true},  {u"egrave", u'\u00E8', true},
    {u"agrave", u'\u00E0', true},  {u"auml", u'\u00E4', true},    {u"ouml", u'\u00F6', true},
    {u"uuml", u'\u00FC', true},    {u"Auml", u'\u00C4', true},    {u"Ouml", u'\u00D6', true},
    {u"Uuml", u'\u00DC', true},    {u"szlig", u'\u00DF', true},   {u"ccedil", u'\u00E7', true},
    {u"shy", u'\u00AD', true},     {u"thinsp", u'\u2009', false}, {u"ensp", u'\u2002', false},
    {u"emsp", u'\u2003', false},   {u"larr", u'\u2190', false},   {u"rarr", u'\u2192', false},
    {u"uarr", u'\u2191', false},   {u"darr", u'\u2193', false},   {u"hearts", u'\u2665', false},
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
      } else if (hex && ToLowerAscii(c) >= u'a' && ToLowerAscii(c) <= u'f') {
        d = ToLowerAscii(c) - u'a' + 10;
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

Tokenizer::Tokenizer(std::u16string_view html) {
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

std::u16string Tokenizer::RawText(std::u16string_view tag, bool decode) {
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

std::u16string Tokenizer::Rest() {
  std::u16string rest = input_.substr(pos_);
  pos_ = input_.size();
  return rest;
}

Token Tokenizer::Next() {
  Token token;
  if (pos_ >= input_.size()) return token;
  if (input_[pos_] == u'<' && pos_ + 1 < input_.size()) {
    const char16_t c = input_[pos_ + 1];
    if (IsAlpha(c)) return Tag(pos_ + 1, Token::kStart);
    if (c == u'/' && pos_ + 2 < input_.size()) {
      const char16_t after = input_[pos_ + 2];
      if (IsAlpha(after)) return Tag(pos_ + 2, Token::kEnd);
      if (after == u'>') {
        pos_ += 3;  // "</>" is dropped
        return Next();
      }
      // "</" and anything but a letter ("</ b>", "</1>") is a comment of what follows the
      // slash, as browsers read it; "</" at the very end stays text.
      return Bogus(pos_ + 2);
    }
    if (c == u'!') return Markup();
    if (c == u'?') return Bogus(pos_ + 1);
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

bool Tokenizer::MatchesTag(size_t at, std::u16string_view tag) const {
  if (at + tag.size() > input_.size()) return false;
  for (size_t k = 0; k < tag.size(); ++k) {
    if (ToLowerAscii(input_[at + k]) != tag[k]) return false;
  }
  const size_t after = at + tag.size();
  return after >= input_.size() || IsHtmlSpace(input_[after]) || input_[after] == u'/' ||
         input_[after] == u'>';
}

Token Tokenizer::Bogus(size_t from) {
  Token token;
  token.type = Token::kComment;
  const size_t close = input_.find(u'>', from);
  const size_t end = close == std::u16string::npos ? input_.size() : close;
  token.name = input_.substr(from, end - from);
  pos_ = close == std::u16string::npos ? input_.size() : close + 1;
  return token;
}

Token Tokenizer::Markup() {
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
  for (size_t k = at; k < input_.size() && k < at + 7; ++k) word += ToLowerAscii(input_[k]);
  if (word == u"doctype") {
    Token token;
    token.type = Token::kDoctype;
    size_t k = at + 7;
    while (k < input_.size() && IsHtmlSpace(input_[k])) ++k;
    while (k < input_.size() && !IsHtmlSpace(input_[k]) && input_[k] != u'>') {
      token.name += ToLowerAscii(input_[k]);
      ++k;
    }
    const size_t close = input_.find(u'>', k);
    pos_ = close == std::u16string::npos ? input_.size() : close + 1;
    return token;
  }
  return Bogus(at);
}

Token Tokenizer::Tag(size_t from, Token::Type type) {
  Token token;
  token.type = type;
  size_t k = from;
  while (k < input_.size() && !IsHtmlSpace(input_[k]) && input_[k] != u'/' && input_[k] != u'>') {
    token.name += input_[k] == u'\0' ? u'\uFFFD' : ToLowerAscii(input_[k]);
    ++k;
  }
  while (k < input_.size()) {
    while (k < input_.size() && (IsHtmlSpace(input_[k]) || input_[k] == u'/')) {
      if (input_[k] == u'/' && k + 1 < input_.size() && input_[k + 1] == u'>') {
        token.selfClosing = true;
      }
      ++k;
    }
    if (k >= input_.size() || input_[k] == u'>') break;
    std::u16string name;
    do {
      name += input_[k] == u'\0' ? u'\uFFFD' : ToLowerAscii(input_[k]);
      ++k;
    } while (k < input_.size() && !IsHtmlSpace(input_[k]) && input_[k] != u'/' &&
             input_[k] != u'>' && input_[k] != u'=');
    while (k < input_.size() && IsHtmlSpace(input_[k])) ++k;
    std::u16string value;
    if (k < input_.size() && input_[k] == u'=') {
      ++k;
      while (k < input_.size() && IsHtmlSpace(input_[k])) ++k;
      if (k < input_.size() && (input_[k] == u'"' || input_[k] == u'\'')) {
        const char16_t quote = input_[k++];
        while (k < input_.size() && input_[k] != quote) k = AttributeChar(k, value);
        if (k < input_.size()) ++k;
      } else {
        while (k < input_.size() && !IsHtmlSpace(input_[k]) && input_[k] != u'>') {
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

size_t Tokenizer::AttributeChar(size_t k, std::u16string& value) {
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

}  // namespace norvex::pagetools::model
