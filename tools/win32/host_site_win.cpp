#include "tools/win32/host_site_win.h"

#include <shlguid.h>

namespace norvex::tools::win32 {

using platform::win32::HandOut;

HostSite::HostSite(HWND window, IWebBrowser2* browser) : window_(window) {
  browser->AddRef();
  *browser_.Receive() = browser;
}

HRESULT HostSite::QueryInterface(REFIID riid, void** out) noexcept {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IOleWindow) {
    return HandOut(static_cast<IOleWindow*>(this), out);
  }
  if (riid == IID_IServiceProvider) return HandOut(static_cast<IServiceProvider*>(this), out);
  if (riid == IID_IInputObjectSite) return HandOut(static_cast<IInputObjectSite*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT HostSite::GetWindow(HWND* window) noexcept {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

HRESULT HostSite::QueryService(REFGUID service, REFIID riid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (service != SID_SWebBrowserApp) return E_NOINTERFACE;
  return browser_->QueryInterface(riid, out);
}

HRESULT HostSite::OnFocusChangeIS(IUnknown*, BOOL focused) noexcept {
  bandHasFocus_ = focused != FALSE;
  return S_OK;
}

}  // namespace norvex::tools::win32
