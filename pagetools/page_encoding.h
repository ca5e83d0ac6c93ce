// A page's bytes read as a browser reads them: the byte order mark first, then the character set
// that a meta element declares, else the default (UTF-8). Shift_JIS is read as code page 932 (the
// platform's own table), EUC-JP through the same table of JIS characters, the Latin sets as
// windows-1252; a byte sequence that the encoding has no character for reads as U+FFFD.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norvex::pagetools {

enum class PageEncoding { kUtf8, kUtf16Le, kUtf16Be, kShiftJis, kEucJp, kWindows1252 };

// The encoding that a charset label names, without regard to case and surrounding white space
// (the labels that browsers accept for these encodings); nothing for other labels.
std::optional<PageEncoding> EncodingOfLabel(std::u16string_view label);

// The charset label that the first meta element with one declares within the first `limit`
// bytes: <meta charset=X>, or <meta http-equiv="Content-Type" content="...; charset=X">.
// Comments and the attributes of other tags are skipped over, as a browser's prescan does.
std::optional<std::u16string> PrescanCharset(std::string_view bytes, size_t limit = 1024);

// The text of `bytes` in `encoding`.
std::u16string DecodeText(std::string_view bytes, PageEncoding encoding);

struct DecodedPage {
  std::u16string text;
  PageEncoding encoding = PageEncoding::kUtf8;
  // The document's charset as the browser names it: "utf-8", "unicode" (UTF-16, little-endian),
  // "unicodeFFFE" (big-endian), "shift_jis", "euc-jp", or for other declared sets the label
  // lower-cased (read as UTF-8 when it is none of ours); empty when the page declares none.
  std::u16string charset;
};

// The byte order mark, else the charset declared in the first 1024 bytes, else one declared
// further on (a browser that meets it while parsing starts again with it), else UTF-8.
DecodedPage DecodePage(std::string_view bytes);

}  // namespace norvex::pagetools
