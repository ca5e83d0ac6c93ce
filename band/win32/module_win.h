// The toolbar module: its lock count (objects alive and LockServer calls), which decides
// whether the browser may unload it, and the band's class identifier as a GUID.
#pragma once

#include "platform/win32/windows_api.h"

#include <objbase.h>

namespace norvex::band::win32 {

void LockModule();
void UnlockModule();
long ModuleLocks();

// The module's lock held for the life of the object that has it as a member: every COM object of
// the module that its clients may hold (the band, the class factory, the browser event sink).
class ModuleLock {
 public:
  ModuleLock() { LockModule(); }
  ~ModuleLock() { UnlockModule(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

const GUID& ToolBandClsid();

}  // namespace norvex::band::win32
