// The interactive host's window (NorvexHost.exe --interactive): for a person, a frame like a small
// browser's: an address line, the toolbar band below it, and a log of what the toolbar did.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/window_base.h"
#include "tools/host_commands.h"
#include "tools/win32/host_band_win.h"

namespace norvex::tools::win32 {

class InteractiveWindow final : public platform::win32::BaseWindow<InteractiveWindow>,
                                public HostOutputListener {
 public:
  InteractiveWindow() = default;
  ~InteractiveWindow() override;
  InteractiveWindow(const InteractiveWindow&) = delete;
  InteractiveWindow& operator=(const InteractiveWindow&) = delete;

  // Makes and shows the window, `width` x `height` pixels. False when a window cannot be made.
  bool Create(int width, int height);
  void Destroy();

  HWND frame() const { return hwnd(); }
  // The window that holds the band.
  HWND site() const { return site_; }

  // What Enter in the address line does with its text.
  void OnGo(std::function<void(const std::u16string&)> go) { go_ = std::move(go); }
  void ShowAddress(const std::u16string& url);
  // The band is in place: it gets the site's width, and the title says the host is ready.
  void BandReady();

  // Runs the message loop until the person closes the window. Keys for the band's windows go to
  // its keyboard filter first, as the browser does it.
  void Run(const HostBand& band);

  // HostOutputListener: each line goes to the log; the address line follows the browser.
  void OnLine(const std::string& line) override;
  void OnNavigate(const std::u16string& url) override { ShowAddress(url); }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT OnSize();
  LRESULT OnClose();
  void Layout();
  bool IsBandWindow(const HostBand& band, HWND window) const;

  HWND label_ = nullptr;
  HWND address_ = nullptr;
  HWND site_ = nullptr;
  HWND log_ = nullptr;
  platform::win32::ScopedFont font_;
  std::function<void(const std::u16string&)> go_;
  bool closed_ = false;  // the person closed the window
};

}  // namespace norvex::tools::win32
