// The document seam over MSHTML: the page tools' calls on the browser's own document objects
// (IHTMLDocument2 and 3, IHTMLTxtRange, IMarkupServices, IMarkupContainer, IMarkupPointer,
// IHTMLElement, IHTMLElementCollection, IHTMLFramesCollection2, IHTMLWindow2,
// IHTMLSelectionObject), one call each.
#pragma once

#include <memory>

#include "pagetools/page_document.h"
#include "platform/win32/windows_api.h"

#include <mshtml.h>

namespace norvex::pagetools::win32 {

// The page document over `document`; null for a null document.
std::shared_ptr<PageDocument> MakeMshtmlDocument(IHTMLDocument2* document);

}  // namespace norvex::pagetools::win32
