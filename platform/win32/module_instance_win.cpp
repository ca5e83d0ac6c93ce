#include "platform/win32/module_instance.h"

namespace norvex::platform::win32 {

// The module whose code this is: the toolbar DLL when linked into it, a test program otherwise.
// Its resources (bitmaps, dialogs, manifest) are looked up there.
HINSTANCE ModuleInstance() {
  static const HINSTANCE module = [] {
    HMODULE found = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ModuleInstance), &found);
    return found;
  }();
  return module;
}

}  // namespace norvex::platform::win32
