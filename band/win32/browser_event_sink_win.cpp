#include "band/win32/browser_event_sink_win.h"

#include <exdisp.h>

#include "band/win32/module_win.h"
#include "band/win32/tool_band_win.h"

namespace norvex::band::win32 {

namespace {

constexpr DISPID kBeforeNavigate2 = 250;
constexpr DISPID kDocumentComplete = 259;

struct EventEntry {
  DISPID id;
  void (*handler)(ToolBand&, const DISPPARAMS&);
};

// The text of an event argument passed as a string or a reference to a string variant.
std::u16string TextOf(const VARIANT& argument) {
  const VARIANT* v = &argument;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  BSTR text = nullptr;
  if (v->vt == VT_BSTR) {
    text = v->bstrVal;
  } else if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal) {
    text = *v->pbstrVal;
  }
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text))
              : std::u16string();
}

}  // namespace

BrowserEventSink::BrowserEventSink(ToolBand* band) : band_(band) { LockModule(); }
BrowserEventSink::~BrowserEventSink() { UnlockModule(); }

HRESULT BrowserEventSink::QueryInterface(REFIID iid, void** object) noexcept {
  if (!object) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) ||
      ::IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG BrowserEventSink::AddRef() noexcept { return ++references_; }

ULONG BrowserEventSink::Release() noexcept {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
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
  band.OnBeforeNavigate(TextOf(params.rgvarg[params.cArgs - 2]));
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
