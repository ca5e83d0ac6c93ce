// The browser window that hosts the toolbar, as the search needs it: the address it shows and a
// navigation in the same window. The band implements it over IWebBrowser2 (get_LocationURL,
// Navigate2); the native host over its own page model; tests with a recorder.
#pragma once

#include <string>

namespace norvex::search {

class BrowserConnection {
 public:
  virtual ~BrowserConnection() = default;

  // The address of the page that the browser shows; empty when it has none or cannot say.
  virtual std::u16string LocationUrl() = 0;

  // Opens `url` in this browser window: Navigate2 with the address as a string, flags 0, an
  // empty target frame name, no post data and no headers. Its result is not examined.
  virtual void Navigate(const std::u16string& url) = 0;
};

}  // namespace norvex::search
