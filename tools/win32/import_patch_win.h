// Replacing a function that a loaded module imports, in that module's import address table, so
// that the host sees the module's calls to it.
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::tools::win32 {

// Points every import of `function` from `library` (names compared as the loader does: the
// library without regard to case) in `module`'s import address table at `replacement`. Returns
// how many slots were changed: 0 when the module does not import the function.
int ReplaceImport(HMODULE module, const char* library, const char* function, void* replacement);

}  // namespace norvex::tools::win32
