// The host's document server: the page of the host's browser, a document of our own page model,
// as the COM objects of the browser's document model (MSHTML), so that the real toolbar module
// highlights and finds on it as on the browser's page. Wine has no HTML engine of its own.
#pragma once

#include <memory>

#include "pagetools/page_model.h"
#include "platform/win32/com_ptr.h"

namespace norvex::tools::win32 {

// The document object of `page` with one more reference, given as its IDispatch (as
// IWebBrowser2::get_Document gives it); one object per page as long as anyone holds it, so that
// COM identity tells documents apart. Null for a null page or when out of memory.
//
// What answers (every other method returns E_NOTIMPL):
// - IHTMLDocument2: get_body, get_all, get_frames, get_selection, get_URL, get_charset;
//   IHTMLDocument3::getElementsByTagName; IMarkupServices: CreateMarkupPointer,
//   MoveRangeToPointers, MovePointersToRange, RemoveElement; IMarkupContainer (its identity);
// - IHTMLElement: get_id, get_tagName, get_innerHTML, put_outerHTML, getAttribute; the body
//   also IHTMLBodyElement::createTextRange;
// - IHTMLElementCollection: get_length, item (a position in its first argument), get__newEnum
//   with IEnumVARIANT Next, Skip, Reset;
// - IHTMLTxtRange: findText, get_text, pasteHTML, select, moveStart ("character"),
//   scrollIntoView, getBookmark, isEqual;
// - IMarkupPointer: SetGravity, MoveToPointer, MoveToContainer, Right, IsEqualTo;
// - IHTMLFramesCollection2: get_length, item; IHTMLWindow2::get_document;
// - IHTMLSelectionObject::createRange.
IDispatch* CreateHostDocument(const std::shared_ptr<pagetools::model::Document>& page);

}  // namespace norvex::tools::win32
