// The document object of the host's page: what the toolbar reads from a page (its character set
// and the language of its html element) through the document interfaces of the browser.
#pragma once

#include <string>

#include "platform/win32/com_ptr.h"

namespace norvex::tools::win32 {

// A new document object with one reference, given as its IDispatch (as IWebBrowser2::
// get_Document gives it). It answers:
// - IHTMLDocument2::get_charset: `charset`;
// - IHTMLDocument3::getElementsByTagName: for "html" (any case) a collection of one element,
//   else an empty collection; IHTMLElementCollection::get_length and item (index 0);
// - IHTMLElement::getAttribute: "lang" gives `language` as a string, or VT_NULL when it is empty;
//   every other attribute (such as "xml:lang") is VT_NULL.
// Every other method returns E_NOTIMPL. Null when out of memory.
IDispatch* CreateHostDocument(const std::u16string& charset, const std::u16string& language);

}  // namespace norvex::tools::win32
