// Seam: the browser window that hosts a toolbar and the page it shows. On Windows this is the
// browser's IWebBrowser2 and its MSHTML document; a host without the browser gives its own.
#pragma once

#include <string>

#include "search/browser_connection.h"

namespace norvex::pagetools {

// The address shown and navigation come from the search's view of the browser; the page tools
// add new windows and the page's character set and language.
class Browser : public search::BrowserConnection {
 public:
  // Opens the address in a new browser window of the given client size.
  virtual void OpenWindow(const std::u16string& url, int width, int height) = 0;
  // The character set of the top document as the browser reports it; empty when unknown.
  virtual std::u16string DocumentCharset() = 0;
  // The "lang" attribute of the document's html element, else its "xml:lang"; empty when none.
  virtual std::u16string DocumentLanguage() = 0;
};

}  // namespace norvex::pagetools
