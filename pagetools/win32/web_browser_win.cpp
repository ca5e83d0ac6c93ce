#include "pagetools/win32/web_browser_win.h"

#include <mshtml.h>

#include "pagetools/win32/mshtml_document_win.h"
#include "platform/win32/com_text.h"

namespace norvex::pagetools::win32 {

using platform::win32::ComPtr;
using platform::win32::ScopedBstr;

namespace {

// Navigate2 with the address as a string, flags 0, an empty target frame name, no post data
// and an empty string as headers.
HRESULT NavigateTo(IWebBrowser2* browser, const std::u16string& url) {
  ScopedBstr address(url);
  ScopedBstr empty(u"");
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

// A new window of the browser's application class; the property calls' results are not
// examined: a browser that refuses one still opens.
class NewWindow final : public NewBrowserWindow {
 public:
  explicit NewWindow(ComPtr<IWebBrowser2> window) : window_(std::move(window)) {}
  void SetHeight(long height) override { window_->put_Height(height); }
  void SetLeft(long left) override { window_->put_Left(left); }
  void SetTop(long top) override { window_->put_Top(top); }
  void SetWidth(long width) override { window_->put_Width(width); }
  void SetAddressBar(bool shown) override { window_->put_AddressBar(Bool(shown)); }
  void SetFullScreen(bool on) override { window_->put_FullScreen(Bool(on)); }
  void SetMenuBar(bool shown) override { window_->put_MenuBar(Bool(shown)); }
  void SetToolBar(bool shown) override { window_->put_ToolBar(shown ? TRUE : FALSE); }
  void SetVisible(bool visible) override { window_->put_Visible(Bool(visible)); }
  void SetSilent(bool silent) override { window_->put_Silent(Bool(silent)); }
  bool Navigate(const std::u16string& url) override { return NavigateTo(window_.get(), url) == S_OK; }

 private:
  static VARIANT_BOOL Bool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }
  ComPtr<IWebBrowser2> window_;
};

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
  return url.Text();
}

void WebBrowser::Navigate(const std::u16string& url) {
  if (browser_) NavigateTo(browser_.get(), url);
}

std::shared_ptr<PageDocument> WebBrowser::TopDocument() {
  if (!browser_) return nullptr;
  ComPtr<IDispatch> dispatch;
  if (FAILED(browser_->get_Document(dispatch.Receive())) || !dispatch) return nullptr;
  ComPtr<IHTMLDocument2> document;
  if (FAILED(dispatch->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid())) || !document) {
    return nullptr;
  }
  return MakeMshtmlDocument(document.get());
}

std::unique_ptr<NewBrowserWindow> WebBrowser::CreateBrowserWindow() {
  ComPtr<IWebBrowser2> window;
  if (FAILED(::CoCreateInstance(CLSID_InternetExplorer, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                IID_IWebBrowser2, window.ReceiveVoid())) ||
      !window) {
    return nullptr;
  }
  return std::make_unique<NewWindow>(std::move(window));
}

}  // namespace norvex::pagetools::win32
