// A library that someone might put beside the program under the name of a system library.
// When loaded it leaves the file "planted-library-loaded.txt" beside itself, so that a test
// sees that the program took it.
#include "platform/win32/windows_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH];
  DWORD n = ::GetModuleFileNameA(instance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  while (n > 0 && path[n - 1] != '\\') --n;
  ::lstrcpynA(path + n, "planted-library-loaded.txt", MAX_PATH - static_cast<int>(n));
  const HANDLE marker = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return TRUE;
}
