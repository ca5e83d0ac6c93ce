#include "band/win32/module_win.h"

#include <atomic>

#include "band/band_ids.h"

namespace norvex::band::win32 {

namespace {
std::atomic<long> locks{0};
}  // namespace

void LockModule() { ++locks; }
void UnlockModule() { --locks; }
long ModuleLocks() { return locks.load(); }

const GUID& ToolBandClsid() {
  static const GUID clsid = {kToolBandClassId.data1, kToolBandClassId.data2, kToolBandClassId.data3,
                             {kToolBandClassId.data4[0], kToolBandClassId.data4[1],
                              kToolBandClassId.data4[2], kToolBandClassId.data4[3],
                              kToolBandClassId.data4[4], kToolBandClassId.data4[5],
                              kToolBandClassId.data4[6], kToolBandClassId.data4[7]}};
  return clsid;
}

}  // namespace norvex::band::win32

