// After each load of a new page, the toolbar's "Web Page Translation" button takes the item of
// its menu that suits the page: Japanese pages get item 1 (Japanese to English), English and
// unknown pages item 0, Chinese item 2, Korean item 4.
#pragma once

#include <optional>
#include <string>

#include "pagetools/browser.h"
#include "pagetools/browser_page.h"

namespace norvex::pagetools {

// The menu position for a page's character set and declared language, lower-cased inside.
int ChooseTranslationItem(std::u16string charset, std::u16string language);

// Watches the browser's navigation events for one band.
class PageLanguageWatcher {
 public:
  explicit PageLanguageWatcher(Browser& browser) : browser_(browser), page_(&browser) {}

  // BeforeNavigate2: a new address marks the page as changed.
  void OnBeforeNavigate(const std::u16string& address);
  // DocumentComplete: the first report after a change of address chooses the item, which the
  // caller gives the toolbar's Web Page Translation button (then lays the toolbar out again and
  // repaints it). Nothing when this report chooses nothing.
  std::optional<int> OnDocumentComplete();

 private:
  Browser& browser_;
  BrowserPage page_;  // reads the page's charset and language
  std::u16string pageAddress_;
  bool pageChanged_ = false;
};

}  // namespace norvex::pagetools
