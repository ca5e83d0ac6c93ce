// The host's windows: a top-level frame and, in its client area, the site window that holds the
// band; and the host's message loop.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "resources/control_ids.h"
#include "toolbar/toolbar_window.h"

namespace norvex::tools::win32 {

// The site window is one row of the browser's toolbars: as high as the band.
inline constexpr int kSiteHeight = toolbar::kButtonHeight;
// The window class of the site window that holds the band.
inline constexpr wchar_t kSiteClass[] = L"NorvexHostSite";

// Registers a window class of the host (arrow cursor, button-face background) unless it already
// is. False when it cannot be registered.
bool RegisterHostClass(const wchar_t* name, WNDPROC procedure);

// The text of `window`.
std::u16string WindowText(HWND window);

class HostFrame {
 public:
  HostFrame() = default;
  ~HostFrame();
  HostFrame(const HostFrame&) = delete;
  HostFrame& operator=(const HostFrame&) = delete;

  // Makes and shows the frame with a site window of `width` x kSiteHeight. False when a window
  // cannot be made.
  bool Create(int width);

  // Destroys the windows (and every window still inside them).
  void Destroy();

  HWND frame() const { return frame_; }
  HWND site() const { return site_; }

  // The site window's client area becomes `width` x kSiteHeight (the frame follows).
  void SetSiteWidth(int width);

  // Dispatches the messages of this thread until none is waiting.
  static void PumpUntilIdle();
  // Runs the message loop for `milliseconds`, then until idle.
  static void RunFor(int milliseconds);

 private:
  HWND frame_ = nullptr;
  HWND site_ = nullptr;
};

}  // namespace norvex::tools::win32
