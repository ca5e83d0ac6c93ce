// The browser seam over the browser's IWebBrowser2: the shown address, navigation in the same
// window, the shown document (MSHTML), and new windows of the browser's application class.
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
  // get_Document as IHTMLDocument2.
  std::shared_ptr<PageDocument> TopDocument() override;
  // CoCreateInstance of CLSID_InternetExplorer as IWebBrowser2, in-process, local or remote.
  std::unique_ptr<NewBrowserWindow> CreateBrowserWindow() override;

 private:
  platform::win32::ComPtr<IWebBrowser2> browser_;
};

}  // namespace norvex::pagetools::win32
