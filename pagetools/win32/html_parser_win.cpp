// The page model's parser in the Windows build: gumbo is not built for Windows, so the Windows
// host under Wine reads pages with our own reader.
#include "pagetools/html_reader.h"

namespace norvex::pagetools::model {

HtmlParser& DefaultHtmlParser() {
  static HtmlReader reader;
  return reader;
}

}  // namespace norvex::pagetools::model
