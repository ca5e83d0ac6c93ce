// The toolbar module: its lock count (objects alive and LockServer calls), which decides
// whether the browser may unload it, and the band's class identifier as a GUID.
#pragma once

#include "platform/win32/windows_api.h"

#include <objbase.h>

namespace norvex::band::win32 {

void LockModule();
void UnlockModule();
long ModuleLocks();

const GUID& ToolBandClsid();

}  // namespace norvex::band::win32
