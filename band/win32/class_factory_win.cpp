#include "band/win32/class_factory_win.h"

#include <new>

#include "band/win32/module_win.h"
#include "band/win32/tool_band_win.h"

namespace norvex::band::win32 {

ClassFactory::ClassFactory() { LockModule(); }
ClassFactory::~ClassFactory() { UnlockModule(); }

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) noexcept {
  if (!object) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() noexcept { return ++references_; }

ULONG ClassFactory::Release() noexcept {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* band = new (std::nothrow) ToolBand();
  if (!band) return E_OUTOFMEMORY;
  const HRESULT hr = band->QueryInterface(iid, object);
  band->Release();
  return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock) noexcept {
  if (lock) {
    LockModule();
  } else {
    UnlockModule();
  }
  return S_OK;
}

}  // namespace norvex::band::win32
