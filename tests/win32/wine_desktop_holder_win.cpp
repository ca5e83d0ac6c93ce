// wine_desktop_holder.exe: holds Wine's desktop for the length of a test session.
//
// Wine closes its desktop process a second after the last program on the desktop ends. A
// program that asks for the desktop within that second keeps the window of the desktop that is
// going, and never sees the windows of the desktop that the next program starts: a test that
// looks for another program's window then waits in vain. scripts/with-wine.sh starts this
// program before the tests, so that one desktop lasts from the first test to the last. It makes
// no window (a window of its own would receive the tests' broadcasts) and waits until the session
// ends it.
#include "platform/win32/windows_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::GetDesktopWindow();
  ::Sleep(INFINITE);
  return 0;
}
