#include "pagetools/page_language.h"

#include "common/text.h"

namespace norvex::pagetools {

namespace {

bool Has(const std::u16string& text, std::u16string_view part) {
  return text.find(part) != std::u16string::npos;
}

}  // namespace

int ChooseTranslationItem(std::u16string charset, std::u16string language) {
  charset = ToLowerAscii(charset);
  language = ToLowerAscii(language);
  if (charset == u"shift_jis" || charset == u"euc-jp") return 1;
  if (Has(language, u"ja")) return 1;
  if (Has(language, u"en")) return 0;
  if (Has(language, u"zh")) return 2;
  if (charset == u"gb2312" || charset == u"gbk" || charset == u"gb18030" || charset == u"big5" ||
      charset == u"euc-tw") {
    return 2;
  }
  if (Has(language, u"ko") || charset == u"euc-kr" || charset == u"korean") return 4;
  return 0;
}

void PageLanguageWatcher::OnBeforeNavigate(const std::u16string& address) {
  if (address == pageAddress_) return;
  pageChanged_ = true;
  pageAddress_ = address;
}

std::optional<int> PageLanguageWatcher::OnDocumentComplete() {
  if (!pageChanged_) return std::nullopt;
  pageChanged_ = false;
  pageAddress_ = browser_.LocationUrl();
  if (pageAddress_.empty()) pageChanged_ = true;  // try again at the next report
  return ChooseTranslationItem(page_.GetPageCharset(), page_.GetPageLanguage());
}

}  // namespace norvex::pagetools
