// The browser seam over the browser's IWebBrowser2: the shown address, navigation in the same
// window, new help windows through the browser's application class, and the character set and
// declared language of the shown document.
#pragma once

#include "pagetools/browser.h"
#include "platform/win32/com_ptr.h"

#include <exdisp.h>

namespace norvex::pagetools::win32 {

class WebBrowser final : public Browser {
 public:
  WebBrowser() = default;
  // The browser to work on; null: the toolbar has no browser connection.
  void SetBrowser(IWebBrowser2* browser);
  IWebBrowser2* browser() const { return browser_.get(); }

  std::u16string LocationUrl() override;
  void Navigate(const std::u16string& url) override;
  void OpenWindow(const std::u16string& url, int width, int height) override;
  std::u16string DocumentCharset() override;
  std::u16string DocumentLanguage() override;

  // A new browser window of the browser's application class at (50, 50) with the given client
  // size, address bar shown and menu and tool bars hidden, navigated to `url`. True when the
  // navigation was started.
  static bool OpenHelpWindow(const std::u16string& url, int height, int width);

 private:
  platform::win32::ComPtr<IWebBrowser2> browser_;
};

}  // namespace norvex::pagetools::win32
