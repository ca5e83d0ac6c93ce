// Seam: the browser window that hosts a toolbar and the page it shows. On Windows this is the
// browser's IWebBrowser2 and its MSHTML document; a host without the browser gives its own.
#pragma once

#include <memory>
#include <string>

#include "pagetools/page_document.h"
#include "search/browser_connection.h"

namespace norvex::pagetools {

// A new browser window of the browser's application class (CLSID_InternetExplorer as
// IWebBrowser2): its window properties and its navigation. The results of the property calls
// are not reported: nobody examines them.
class NewBrowserWindow {
 public:
  virtual ~NewBrowserWindow() = default;
  virtual void SetHeight(long height) = 0;
  virtual void SetLeft(long left) = 0;
  virtual void SetTop(long top) = 0;
  virtual void SetWidth(long width) = 0;
  virtual void SetAddressBar(bool shown) = 0;
  virtual void SetFullScreen(bool on) = 0;
  virtual void SetMenuBar(bool shown) = 0;
  virtual void SetToolBar(bool shown) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetSilent(bool silent) = 0;
  // Navigate2 with the address as a string, flags 0, an empty target frame name, no post data
  // and an empty string as headers. True when the call answered exactly success (S_OK).
  virtual bool Navigate(const std::u16string& url) = 0;
};

// The address shown and navigation come from the search's view of the browser; the page tools
// add the shown document and new windows.
class Browser : public search::BrowserConnection {
 public:
  // The top document (get_Document as IHTMLDocument2); null when there is none or it is not an
  // HTML document.
  virtual std::shared_ptr<PageDocument> TopDocument() = 0;
  // A new browser application object; null when it cannot be created.
  virtual std::unique_ptr<NewBrowserWindow> CreateBrowserWindow() = 0;
};

}  // namespace norvex::pagetools
