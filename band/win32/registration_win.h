// What DllRegisterServer and DllUnregisterServer do: the module's registry scripts (resources
// "REGISTRY" 101 and 103) and type library ("TYPELIB" 1) registered for this module file.
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::band::win32 {

HRESULT RegisterModule();
HRESULT UnregisterModule();

}  // namespace norvex::band::win32
