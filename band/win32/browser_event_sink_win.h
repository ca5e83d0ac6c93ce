// The band's listener on the browser's DWebBrowserEvents2: a dispatch interface that sends
// BeforeNavigate2 (250) and DocumentComplete (259) to the band through a table, and ignores
// every other event.
#pragma once

#include <atomic>

#include "platform/win32/windows_api.h"

#include <oaidl.h>

namespace norvex::band::win32 {

class ToolBand;

// A sink holds the module's lock while it lives: a browser that still holds it may call it after
// every band is gone, so the module must stay loaded until the browser lets it go.
class BrowserEventSink final : public IDispatch {
 public:
  explicit BrowserEventSink(ToolBand* band);
  // The band goes: later events reach nobody.
  void Detach() { band_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) noexcept override;

 private:
  ~BrowserEventSink();
  static void BeforeNavigate2(ToolBand& band, const DISPPARAMS& params);
  static void DocumentComplete(ToolBand& band, const DISPPARAMS& params);

  std::atomic<ULONG> references_{1};
  ToolBand* band_;
};

}  // namespace norvex::band::win32
