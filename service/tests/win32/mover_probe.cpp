// Schedules "Temp\a.txt" to replace "a.txt" in the probe's own folder through the system's
// mover, as the service does, and prints the platform family it saw and the result. The test
// runs it under a Windows version of its choosing (Wine's per-program version setting).
#include <cstdio>

#include "service/file_replacement.h"
#include "service/win32/files_win.h"

int main() {
  using namespace norvex::service;
  win32::Win32Files files;
  win32::Win32Profiles profiles;
  win32::Win32Clock clock;
  win32::Win32Mover mover;
  ServicePlatform platform;
  platform.files = &files;
  platform.profiles = &profiles;
  platform.clock = &clock;
  platform.mover = &mover;
  UpdateFiles update_files(platform, "");
  FileReplacer replacer(update_files);
  const bool scheduled = replacer.ReplaceFile("Temp\\a.txt", "a.txt");
  std::printf("platform %d scheduled %d\n", mover.PlatformId(), scheduled ? 1 : 0);
  return 0;
}
