#include "helper/win32/helper_system_win.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

#include <objbase.h>

namespace norvex::helper::win32 {

int32_t Win32ModuleRegistrar::Unregister(const std::u16string& module) {
  const HRESULT apartment = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HRESULT result;
  {
    // Its own folder first for its dependencies, as the browser loads it; unloaded before COM
    // is left.
    const platform::win32::ScopedLibrary loaded(
        ::LoadLibraryExW(platform::win32::W(module), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!loaded) {
      result = HRESULT_FROM_WIN32(::GetLastError());
    } else {
      using Entry = HRESULT(STDAPICALLTYPE*)();
      // Through a function type without parameters, which any function pointer converts to
      // quietly.
      const auto unregister = reinterpret_cast<Entry>(
          reinterpret_cast<void (*)()>(::GetProcAddress(loaded.get(), "DllUnregisterServer")));
      result = unregister ? unregister() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
  }
  if (SUCCEEDED(apartment)) ::CoUninitialize();
  return static_cast<int32_t>(result);
}

}  // namespace norvex::helper::win32
