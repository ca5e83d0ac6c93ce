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

ScopedBitmap LoadModuleBitmap(int id, int width, int height) {
  return ScopedBitmap(static_cast<HBITMAP>(::LoadImageW(
      ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, width, height, LR_DEFAULTCOLOR)));
}

}  // namespace norvex::platform::win32
