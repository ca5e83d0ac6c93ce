// The pages of the hosts' page commands (`load`, `selection`, `save`), shared by norvex-host and
// NorvexHost.exe: reading an HTML file with its frames into the page model, the line that names
// the selection, and writing the page and its frames back as HTML files.
#pragma once

#include <memory>
#include <string>

#include "pagetools/page_model.h"

namespace norvex::tools {

// Reads the HTML file `path` as the page shown under `url` (empty: the file's own file://
// address), decoded as a browser decodes it (pagetools/page_encoding.h: the byte order mark, the
// charset of a meta element, Shift_JIS, EUC-JP, else UTF-8). Its character set is the name the
// browser gives it: "utf-8", "shift_jis", "euc-jp", "unicode", or the declared one lower-cased;
// empty when the file declares none.
// Each frame and iframe of the page with a `src` becomes a frame document, read from the file
// that `src` names relative to `path` (an address with a scheme, or a file that cannot be read,
// gives an empty document), under `src` resolved against the page's address. Null, with a
// message in `error`, when the file cannot be read.
std::shared_ptr<pagetools::model::Document> LoadPageFile(const std::string& path,
                                                        const std::u16string& url,
                                                        std::string& error);

// A blank page (html with the given lang, an empty body) for `page URL CHARSET LANG`.
std::shared_ptr<pagetools::model::Document> BlankPage(const std::u16string& url,
                                                     const std::u16string& charset,
                                                     const std::u16string& language);

// "selection none", "selection top TEXT" or "selection frame N TEXT" (N from 0 in frame order):
// the document of `page` (the top document or one of its frames) whose selection was made last,
// and the selection's text (line breaks written as "\n").
std::string SelectionLine(const pagetools::model::Document& page);

// Writes the page as DIR/page.html and each frame as DIR/frame-N.html (N from 0): UTF-8 with a
// byte-order mark, which a browser (and LoadPageFile) reads before any charset that the markup
// declares, so that the files read as they were shown. Makes DIR when needed.
// False, with a message in `error`, when a file cannot be written.
bool SavePageFiles(const pagetools::model::Document& page, const std::string& folder,
                   std::string& error);

}  // namespace norvex::tools
