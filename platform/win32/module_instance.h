// The module that holds the calling code, whose resources (bitmaps, dialogs, manifest) belong
// to it: the toolbar DLL when linked into it, a test program otherwise.
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::platform::win32 {

HINSTANCE ModuleInstance();

}  // namespace norvex::platform::win32
