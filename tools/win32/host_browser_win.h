// The host's browser objects: IWebBrowser2 with the properties and the navigation that the
// toolbar uses, a connection point for DWebBrowserEvents2 through which the host fires
// BeforeNavigate2 and DocumentComplete, and the class object that stands in for the browser's
// application class, so that a new browser window can be opened.
#pragma once

#include <exdisp.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

#include "pagetools/page_model.h"
#include "pagetools/win32/refusing_web_browser_win.h"
#include "platform/win32/com_object.h"
#include "tools/host_commands.h"

namespace norvex::tools::win32 {

using platform::win32::ComPtr;
using platform::win32::RefCounted;

class HostBrowser final : public pagetools::win32::RefusingWebBrowser,
                          public IConnectionPointContainer,
                          RefCounted {
 public:
  enum class Kind {
    kMain,       // the browser window of the toolbar: navigating prints "navigate URL"
    kNewWindow,  // a new window: navigating prints "open-window URL WIDTH HEIGHT"
  };

  // A new browser with one reference. `window` is what get_HWND answers (may be null).
  static HostBrowser* Create(Kind kind, HostOutput& output, HWND window);

  // The browser shows `page`: BeforeNavigate2 with its address to every connected sink; unless
  // a sink cancels, the address becomes the page's and its document the page (served by
  // host_document_win.h); then DocumentComplete.
  void ShowPage(std::shared_ptr<pagetools::model::Document> page);

  const std::u16string& location() const { return location_; }
  // The page shown (a blank one before the first).
  const std::shared_ptr<pagetools::model::Document>& page() const { return page_; }
  size_t sinkCount() const { return sinks_.size(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return ReleaseReference(); }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid,
                                                IConnectionPoint** out) noexcept override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) noexcept override;

  // IWebBrowser: what the toolbar uses
  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrame,
                                     VARIANT* postData, VARIANT* headers) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch** document) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Left(LONG* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Left(LONG value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Top(LONG* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Top(LONG value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Width(LONG* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Width(LONG value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Height(LONG* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Height(LONG value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) noexcept override;
  // IWebBrowserApp: what the toolbar uses
  HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* window) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_ToolBar(int* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_ToolBar(int value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL value) noexcept override;
  // IWebBrowser2: what the toolbar uses
  HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame,
                                      VARIANT* postData, VARIANT* headers) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL* value) noexcept override;
  HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL value) noexcept override;
  // The rest of the browser is not there: RefusingWebBrowser refuses it.

 private:
  // The connection point of DWebBrowserEvents2: part of the browser, sharing its reference count.
  class EventsPoint final : public IConnectionPoint {
   public:
    explicit EventsPoint(HostBrowser& browser) : browser_(browser) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return browser_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return browser_.Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(
        IConnectionPointContainer** out) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) noexcept override;

   private:
    HostBrowser& browser_;
  };

  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> dispatch;
  };

  HostBrowser(Kind kind, HostOutput& output, HWND window);
  ~HostBrowser() override;
  void NavigateTo(const std::u16string& url);
  // Invokes `dispid` on every sink (on a copy of the list: a sink may disconnect meanwhile).
  void Fire(DISPID dispid, DISPPARAMS& params);

  Kind kind_;
  HostOutput& output_;
  HWND window_;
  EventsPoint events_{*this};
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
  std::u16string location_;
  std::shared_ptr<pagetools::model::Document> page_;
  LONG left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  VARIANT_BOOL visible_ = VARIANT_FALSE, menuBar_ = VARIANT_TRUE, fullScreen_ = VARIANT_FALSE;
  VARIANT_BOOL silent_ = VARIANT_FALSE, addressBar_ = VARIANT_TRUE;
  int toolBar_ = 1;
};

// The class object of the browser's application class: every instance is a new browser window
// (HostBrowser::Kind::kNewWindow).
class HostBrowserFactory final : public IClassFactory, RefCounted {
 public:
  explicit HostBrowserFactory(HostOutput& output) : output_(output) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return ReleaseReference(); }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                           void** out) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

 private:
  HostOutput& output_;
};

}  // namespace norvex::tools::win32
