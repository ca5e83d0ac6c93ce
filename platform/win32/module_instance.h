// The module that holds the calling code, whose resources (bitmaps, dialogs, manifest) belong
// to it: the toolbar DLL when linked into it, a test program otherwise; and the one loader of
// its bitmaps.
#pragma once

#include "platform/win32/windows_api.h"
#include "platform/win32/scoped_handle.h"

namespace norvex::platform::win32 {

HINSTANCE ModuleInstance();

// The bitmap resource `id` of the module, in its own colours, at its own size or stretched to
// `width` x `height`; empty when the module has no such bitmap.
ScopedBitmap LoadModuleBitmap(int id, int width = 0, int height = 0);

}  // namespace norvex::platform::win32
