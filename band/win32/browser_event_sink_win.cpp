#include "band/win32/browser_event_sink_win.h"

#include <exdisp.h>

#include "band/win32/tool_band_win.h"
#include "platform/win32/com_text.h"

namespace norvex::band::win32 {

namespace {

constexpr DISPID kBeforeNavigate2 = 250;
constexpr DISPID kDocumentComplete = 259;

struct EventEntry {
  DISPID id;
  void (*handler)(ToolBand&, const DISPPARAMS&);
};

}  // namespace

std::span<const InterfaceEntry<BrowserEventSink>> BrowserEventSink::InterfaceTable() {
  using platform::win32::Entry;
  static const InterfaceEntry<BrowserEventSink> table[] = {
      Entry<BrowserEventSink, IDispatch>(IID_IDispatch),
      Entry<BrowserEventSink, IDispatch>(DIID_DWebBrowserEvents2)};
  return table;
}

HRESULT BrowserEventSink::GetTypeInfoCount(UINT* count) noexcept {
  if (count) *count = 0;
  return S_OK;
}

HRESULT BrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept { return E_NOTIMPL; }

HRESULT BrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
  return E_NOTIMPL;
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel): the arguments
// arrive last first, so the URL is the sixth from the end.
void BrowserEventSink::BeforeNavigate2(ToolBand& band, const DISPPARAMS& params) {
  if (params.cArgs < 7 || !params.rgvarg) return;
  band.OnBeforeNavigate(platform::win32::VariantText(&params.rgvarg[params.cArgs - 2]));
}

void BrowserEventSink::DocumentComplete(ToolBand& band, const DISPPARAMS&) {
  band.OnDocumentComplete();
}

HRESULT BrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                 EXCEPINFO*, UINT*) noexcept {
  static constexpr EventEntry kEvents[] = {{kBeforeNavigate2, &BrowserEventSink::BeforeNavigate2},
                                           {kDocumentComplete, &BrowserEventSink::DocumentComplete}};
  if (!band_ || !params) return S_OK;
  for (const EventEntry& entry : kEvents) {
    if (entry.id == id) {
      entry.handler(*band_, *params);
      break;
    }
  }
  return S_OK;
}

}  // namespace norvex::band::win32
