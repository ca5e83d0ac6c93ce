// Page bytes decoded as a browser decodes them (the hosts' `load`): whatever the bytes, the
// prescan ends, and every decoder gives well-formed UTF-16 (each surrogate in a pair) of at most
// one code unit per byte and one more.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "pagetools/page_encoding.h"

namespace {

using norvex::pagetools::PageEncoding;

void Check(const std::u16string& text, size_t bytes, const char* what) {
  if (text.size() > bytes + 1) {
    std::fprintf(stderr, "%s: %zu units from %zu bytes\n", what, text.size(), bytes);
    std::abort();
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if ((c & 0xFC00) == 0xD800 && i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00) {
      ++i;
    } else if ((c & 0xF800) == 0xD800) {
      std::fprintf(stderr, "%s: lone surrogate %04X at %zu\n", what, unsigned(c), i);
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const norvex::pagetools::DecodedPage page = norvex::pagetools::DecodePage(bytes);
  Check(page.text, size, "page");
  const PageEncoding encodings[] = {PageEncoding::kUtf8,    PageEncoding::kUtf16Le,
                                    PageEncoding::kUtf16Be, PageEncoding::kShiftJis,
                                    PageEncoding::kEucJp,   PageEncoding::kWindows1252};
  for (PageEncoding encoding : encodings) {
    Check(norvex::pagetools::DecodeText(bytes, encoding), size, "encoding");
  }
  norvex::pagetools::PrescanCharset(bytes, size);
  return 0;
}
