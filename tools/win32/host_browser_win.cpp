#include "tools/win32/host_browser_win.h"

#include <exdispid.h>
#include <olectl.h>

#include <new>

#include "platform/win32/com_text.h"
#include "tools/host_page.h"
#include "tools/win32/host_document_win.h"

namespace norvex::tools::win32 {

using platform::win32::HandOut;
using platform::win32::NewBstr;
using platform::win32::VariantText;

namespace {

// A variant that refers to another one (VT_BYREF|VT_VARIANT), as the browser's events pass their
// in-out arguments.
VARIANT RefTo(VARIANT& target) {
  VARIANT ref;
  ::VariantInit(&ref);
  V_VT(&ref) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&ref) = &target;
  return ref;
}

HRESULT Store(VARIANT_BOOL* out, VARIANT_BOOL value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

HRESULT Store(LONG* out, LONG value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace

HostBrowser* HostBrowser::Create(Kind kind, HostOutput& output, HWND window) {
  return new (std::nothrow) HostBrowser(kind, output, window);
}

HostBrowser::HostBrowser(Kind kind, HostOutput& output, HWND window)
    : kind_(kind), output_(output), window_(window), page_(BlankPage(u"", u"", u"")) {}

HostBrowser::~HostBrowser() = default;

void HostBrowser::NavigateTo(const std::u16string& url) {
  location_ = url;
  if (kind_ == Kind::kMain) {
    output_.Navigate(url);
  } else {
    output_.OpenWindow(url, width_, height_);
  }
}

void HostBrowser::Fire(DISPID dispid, DISPPARAMS& params) {
  const std::vector<Sink> sinks = sinks_;
  for (const Sink& sink : sinks) {
    sink.dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                          nullptr, nullptr);
  }
}

void HostBrowser::ShowPage(std::shared_ptr<pagetools::model::Document> page) {
  const std::u16string url = page->url;
  AddRef();  // a sink may release the browser while it is told

  // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel): the arguments
  // go into DISPPARAMS last first.
  VARIANT address, flags, frame, postData, headers;
  for (VARIANT* v : {&address, &flags, &frame, &postData, &headers}) ::VariantInit(v);
  V_VT(&address) = VT_BSTR;
  V_BSTR(&address) = NewBstr(url);
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = 0;
  V_VT(&frame) = VT_BSTR;
  V_BSTR(&frame) = NewBstr(u"");
  V_VT(&headers) = VT_BSTR;
  V_BSTR(&headers) = NewBstr(u"");
  VARIANT_BOOL cancel = VARIANT_FALSE;

  VARIANT before[7];
  for (VARIANT& v : before) ::VariantInit(&v);
  V_VT(&before[6]) = VT_DISPATCH;
  V_DISPATCH(&before[6]) = static_cast<IWebBrowser2*>(this);
  before[5] = RefTo(address);
  before[4] = RefTo(flags);
  before[3] = RefTo(frame);
  before[2] = RefTo(postData);
  before[1] = RefTo(headers);
  V_VT(&before[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&before[0]) = &cancel;
  DISPPARAMS beforeParams = {before, nullptr, 7, 0};
  Fire(DISPID_BEFORENAVIGATE2, beforeParams);

  if (cancel == VARIANT_FALSE) {
    location_ = url;
    page_ = std::move(page);

    // DocumentComplete(pDisp, URL)
    VARIANT complete[2];
    for (VARIANT& v : complete) ::VariantInit(&v);
    V_VT(&complete[1]) = VT_DISPATCH;
    V_DISPATCH(&complete[1]) = static_cast<IWebBrowser2*>(this);
    complete[0] = RefTo(address);
    DISPPARAMS completeParams = {complete, nullptr, 2, 0};
    Fire(DISPID_DOCUMENTCOMPLETE, completeParams);
  }
  for (VARIANT* v : {&address, &flags, &frame, &postData, &headers}) ::VariantClear(v);
  Release();
}

// ---- IUnknown, IConnectionPointContainer ------------------------------------------------------

HRESULT HostBrowser::QueryInterface(REFIID riid, void** out) noexcept {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser ||
      riid == IID_IWebBrowserApp || riid == IID_IWebBrowser2) {
    return HandOut(static_cast<IWebBrowser2*>(this), out);
  }
  if (riid == IID_IConnectionPointContainer) {
    return HandOut(static_cast<IConnectionPointContainer*>(this), out);
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT HostBrowser::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT HostBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
  return HandOut(static_cast<IConnectionPoint*>(&events_), reinterpret_cast<void**>(out));
}

HRESULT HostBrowser::EventsPoint::QueryInterface(REFIID riid, void** out) noexcept {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) return HandOut(this, out);
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT HostBrowser::EventsPoint::GetConnectionInterface(IID* iid) noexcept {
  if (!iid) return E_POINTER;
  *iid = DIID_DWebBrowserEvents2;
  return S_OK;
}

HRESULT HostBrowser::EventsPoint::GetConnectionPointContainer(
    IConnectionPointContainer** out) noexcept {
  return HandOut(static_cast<IConnectionPointContainer*>(&browser_), reinterpret_cast<void**>(out));
}

HRESULT HostBrowser::EventsPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ComPtr<IDispatch> dispatch;
  if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, dispatch.ReceiveVoid())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = browser_.nextCookie_++;
  browser_.sinks_.push_back({*cookie, dispatch});
  return S_OK;
}

HRESULT HostBrowser::EventsPoint::Unadvise(DWORD cookie) noexcept {
  auto& sinks = browser_.sinks_;
  for (auto it = sinks.begin(); it != sinks.end(); ++it) {
    if (it->cookie == cookie) {
      sinks.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT HostBrowser::EventsPoint::EnumConnections(IEnumConnections** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// ---- IDispatch: the browser is not scriptable here ---------------------------------------------

HRESULT HostBrowser::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT HostBrowser::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept { return E_NOTIMPL; }

HRESULT HostBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
  return E_NOTIMPL;
}

HRESULT HostBrowser::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                            UINT*) noexcept {
  return E_NOTIMPL;
}

// ---- Navigation and the document --------------------------------------------------------------

HRESULT HostBrowser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept {
  NavigateTo(platform::win32::BstrText(url));
  return S_OK;
}

HRESULT HostBrowser::Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept {
  if (!url) return E_INVALIDARG;
  NavigateTo(VariantText(url));
  return S_OK;
}

HRESULT HostBrowser::get_LocationURL(BSTR* url) noexcept {
  if (!url) return E_POINTER;
  *url = NewBstr(location_);
  return *url ? S_OK : E_OUTOFMEMORY;
}

HRESULT HostBrowser::get_Document(IDispatch** document) noexcept {
  if (!document) return E_POINTER;
  *document = CreateHostDocument(page_);
  return *document ? S_OK : E_OUTOFMEMORY;
}

HRESULT HostBrowser::get_HWND(SHANDLE_PTR* window) noexcept {
  if (!window) return E_POINTER;
  *window = reinterpret_cast<SHANDLE_PTR>(window_);
  return window_ ? S_OK : E_FAIL;
}

// ---- Window properties: kept, so that a new window opens with the size it was given -----------

HRESULT HostBrowser::get_Left(LONG* value) noexcept { return Store(value, left_); }
HRESULT HostBrowser::put_Left(LONG value) noexcept { return Store(&left_, value); }
HRESULT HostBrowser::get_Top(LONG* value) noexcept { return Store(value, top_); }
HRESULT HostBrowser::put_Top(LONG value) noexcept { return Store(&top_, value); }
HRESULT HostBrowser::get_Width(LONG* value) noexcept { return Store(value, width_); }
HRESULT HostBrowser::put_Width(LONG value) noexcept { return Store(&width_, value); }
HRESULT HostBrowser::get_Height(LONG* value) noexcept { return Store(value, height_); }
HRESULT HostBrowser::put_Height(LONG value) noexcept { return Store(&height_, value); }
HRESULT HostBrowser::get_Visible(VARIANT_BOOL* value) noexcept { return Store(value, visible_); }
HRESULT HostBrowser::put_Visible(VARIANT_BOOL value) noexcept { return Store(&visible_, value); }
HRESULT HostBrowser::get_MenuBar(VARIANT_BOOL* value) noexcept { return Store(value, menuBar_); }
HRESULT HostBrowser::put_MenuBar(VARIANT_BOOL value) noexcept { return Store(&menuBar_, value); }
HRESULT HostBrowser::get_FullScreen(VARIANT_BOOL* value) noexcept {
  return Store(value, fullScreen_);
}
HRESULT HostBrowser::put_FullScreen(VARIANT_BOOL value) noexcept {
  return Store(&fullScreen_, value);
}
HRESULT HostBrowser::get_Silent(VARIANT_BOOL* value) noexcept { return Store(value, silent_); }
HRESULT HostBrowser::put_Silent(VARIANT_BOOL value) noexcept { return Store(&silent_, value); }
HRESULT HostBrowser::get_AddressBar(VARIANT_BOOL* value) noexcept {
  return Store(value, addressBar_);
}
HRESULT HostBrowser::put_AddressBar(VARIANT_BOOL value) noexcept {
  return Store(&addressBar_, value);
}

HRESULT HostBrowser::get_ToolBar(int* value) noexcept {
  if (!value) return E_POINTER;
  *value = toolBar_;
  return S_OK;
}

HRESULT HostBrowser::put_ToolBar(int value) noexcept {
  toolBar_ = value;
  return S_OK;
}

// ---- The class object ---------------------------------------------------------------------------

HRESULT HostBrowserFactory::QueryInterface(REFIID riid, void** out) noexcept {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) return HandOut(this, out);
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT HostBrowserFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  HostBrowser* browser = HostBrowser::Create(HostBrowser::Kind::kNewWindow, output_, nullptr);
  if (!browser) return E_OUTOFMEMORY;
  const HRESULT hr = browser->QueryInterface(riid, out);
  browser->Release();
  return hr;
}

}  // namespace norvex::tools::win32
