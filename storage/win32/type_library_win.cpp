#include "storage/win32/type_library_win.h"

#include "platform/win32/com_ptr.h"
#include "platform/win32/windows_api.h"

#include <oleauto.h>

namespace norvex::storage::win32 {

namespace {

using platform::win32::ComPtr;
using platform::win32::W;

// Loads without registering: registration is a step of its own.
HRESULT Load(const std::u16string& modulePath, ComPtr<ITypeLib>& library) {
  return ::LoadTypeLibEx(W(modulePath), REGKIND_NONE, library.Receive());
}

}  // namespace

HResult WinTypeLibrary::Register(const std::u16string& modulePath) {
  ComPtr<ITypeLib> library;
  if (const HRESULT hr = Load(modulePath, library); FAILED(hr)) return hr;
  std::u16string path = modulePath;
  return ::RegisterTypeLib(library.get(), const_cast<wchar_t*>(W(path)), nullptr);
}

HResult WinTypeLibrary::Unregister(const std::u16string& modulePath) {
  ComPtr<ITypeLib> library;
  if (const HRESULT hr = Load(modulePath, library); FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  if (const HRESULT hr = library->GetLibAttr(&attributes); FAILED(hr)) return hr;
  const TLIBATTR copy = *attributes;
  library->ReleaseTLibAttr(attributes);
  return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                             copy.syskind);
}

}  // namespace norvex::storage::win32
