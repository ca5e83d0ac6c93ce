#include "band/win32/class_factory_win.h"

#include <new>

#include "band/win32/module_win.h"
#include "band/win32/tool_band_win.h"

namespace norvex::band::win32 {

std::span<const InterfaceEntry<ClassFactory>> ClassFactory::InterfaceTable() {
  using platform::win32::Entry;
  static const InterfaceEntry<ClassFactory> table[] = {
      Entry<ClassFactory, IClassFactory>(IID_IClassFactory)};
  return table;
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
