// The band's listener on the browser's DWebBrowserEvents2: a dispatch interface that sends
// BeforeNavigate2 (250) and DocumentComplete (259) to the band through a table, and ignores
// every other event.
#pragma once

#include <span>

#include "band/win32/module_win.h"
#include "platform/win32/com_object.h"

#include <oaidl.h>

namespace norvex::band::win32 {

using platform::win32::ComObject;
using platform::win32::InterfaceEntry;

class ToolBand;

// A sink holds the module's lock while it lives: a browser that still holds it may call it after
// every band is gone, so the module must stay loaded until the browser lets it go.
class BrowserEventSink final : public ComObject<BrowserEventSink, IDispatch> {
 public:
  explicit BrowserEventSink(ToolBand* band) : band_(band) {}
  // The band goes: later events reach nobody.
  void Detach() { band_ = nullptr; }

  // IDispatch, also as DWebBrowserEvents2.
  static std::span<const InterfaceEntry<BrowserEventSink>> InterfaceTable();
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) noexcept override;

 private:
  static void BeforeNavigate2(ToolBand& band, const DISPPARAMS& params);
  static void DocumentComplete(ToolBand& band, const DISPPARAMS& params);

  ModuleLock lock_;
  ToolBand* band_;
};

}  // namespace norvex::band::win32
