#include "pagetools/win32/web_browser_win.h"

#include <mshtml.h>

namespace norvex::pagetools::win32 {

using platform::win32::ComPtr;
using platform::win32::ScopedBstr;

namespace {

std::u16string FromBstr(BSTR text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text))
              : std::u16string();
}

ScopedBstr ToBstr(const std::u16string& text) {
  return ScopedBstr(reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<UINT>(text.size()));
}

// Navigate2 with the address as a string, flags 0, an empty target frame name, no post data
// and no headers.
HRESULT NavigateTo(IWebBrowser2* browser, const std::u16string& url) {
  ScopedBstr address = ToBstr(url);
  ScopedBstr empty(L"", 0);
  VARIANT target{}, flags{}, frame{}, postData{}, headers{};
  target.vt = VT_BSTR;
  target.bstrVal = address.get();
  flags.vt = VT_I4;
  flags.lVal = 0;
  frame.vt = VT_BSTR;
  frame.bstrVal = empty.get();
  postData.vt = VT_EMPTY;
  headers.vt = VT_BSTR;
  headers.bstrVal = empty.get();
  return browser->Navigate2(&target, &flags, &frame, &postData, &headers);
}

// The value of an attribute of the html element as text; empty when it is absent or not text.
std::u16string Attribute(IHTMLElement* element, const wchar_t* name) {
  ScopedBstr attribute(name, static_cast<UINT>(::wcslen(name)));
  VARIANT value;
  ::VariantInit(&value);
  std::u16string text;
  if (SUCCEEDED(element->getAttribute(attribute.get(), 0, &value)) && value.vt == VT_BSTR) {
    text = FromBstr(value.bstrVal);
  }
  ::VariantClear(&value);
  return text;
}

}  // namespace

void WebBrowser::SetBrowser(IWebBrowser2* browser) {
  browser_ = ComPtr<IWebBrowser2>();
  if (browser) {
    browser->AddRef();
    *browser_.Receive() = browser;
  }
}

std::u16string WebBrowser::LocationUrl() {
  if (!browser_) return {};
  ScopedBstr url;
  if (FAILED(browser_->get_LocationURL(url.Receive()))) return {};
  return FromBstr(url.get());
}

void WebBrowser::Navigate(const std::u16string& url) {
  if (browser_) NavigateTo(browser_.get(), url);
}

void WebBrowser::OpenWindow(const std::u16string& url, int width, int height) {
  OpenHelpWindow(url, height, width);
}

bool WebBrowser::OpenHelpWindow(const std::u16string& url, int height, int width) {
  ComPtr<IWebBrowser2> window;
  if (FAILED(::CoCreateInstance(CLSID_InternetExplorer, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                IID_IWebBrowser2, window.ReceiveVoid())) ||
      !window) {
    return false;
  }
  // The results of the property calls are not examined: a browser that refuses one still opens.
  window->put_Height(height);
  window->put_Left(50);
  window->put_Top(50);
  window->put_Width(width);
  window->put_AddressBar(VARIANT_TRUE);
  window->put_FullScreen(VARIANT_FALSE);
  window->put_MenuBar(VARIANT_FALSE);
  window->put_MenuBar(VARIANT_FALSE);
  window->put_ToolBar(FALSE);
  window->put_Visible(VARIANT_TRUE);
  window->put_Silent(VARIANT_TRUE);
  return NavigateTo(window.get(), url) == S_OK;
}

std::u16string WebBrowser::DocumentCharset() {
  if (!browser_) return {};
  ComPtr<IDispatch> dispatch;
  if (FAILED(browser_->get_Document(dispatch.Receive())) || !dispatch) return {};
  ComPtr<IHTMLDocument2> document;
  if (FAILED(dispatch->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid())) || !document) {
    return {};
  }
  ScopedBstr charset;
  if (FAILED(document->get_charset(charset.Receive()))) return {};
  return FromBstr(charset.get());
}

// The html element's "lang" attribute, else its "xml:lang".
std::u16string WebBrowser::DocumentLanguage() {
  if (!browser_) return {};
  ComPtr<IDispatch> dispatch;
  if (FAILED(browser_->get_Document(dispatch.Receive())) || !dispatch) return {};
  ComPtr<IHTMLDocument3> document;
  if (FAILED(dispatch->QueryInterface(IID_IHTMLDocument3, document.ReceiveVoid())) || !document) {
    return {};
  }
  ScopedBstr tag(L"html", 4);
  ComPtr<IHTMLElementCollection> elements;
  if (FAILED(document->getElementsByTagName(tag.get(), elements.Receive())) || !elements) return {};
  long count = 0;
  if (FAILED(elements->get_length(&count)) || count < 1) return {};
  VARIANT index, none;
  index.vt = VT_I4;
  index.lVal = 0;
  none.vt = VT_I4;
  none.lVal = 0;
  ComPtr<IDispatch> item;
  if (FAILED(elements->item(index, none, item.Receive())) || !item) return {};
  ComPtr<IHTMLElement> html;
  if (FAILED(item->QueryInterface(IID_IHTMLElement, html.ReceiveVoid())) || !html) return {};
  std::u16string language = Attribute(html.get(), L"lang");
  if (language.empty()) language = Attribute(html.get(), L"xml:lang");
  return language;
}

}  // namespace norvex::pagetools::win32
