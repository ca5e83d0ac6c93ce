#include "tools/win32/host_site_win.h"

#include <shlguid.h>

namespace norvex::tools::win32 {

HostSite::HostSite(HWND window, IWebBrowser2* browser, const GUID& commandGroup,
                   HostOutput& output)
    : window_(window), commandGroup_(commandGroup), output_(output) {
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
  if (riid == IID_IOleCommandTarget) return HandOut(static_cast<IOleCommandTarget*>(this), out);
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

HRESULT HostSite::QueryStatus(const GUID* group, ULONG count, OLECMD commands[],
                              OLECMDTEXT*) noexcept {
  if (!group || *group != commandGroup_) return OLECMDERR_E_UNKNOWNGROUP;
  for (ULONG i = 0; i < count; ++i) {
    const ULONG id = commands[i].cmdID;
    commands[i].cmdf = id == kHostCommandHighlight || id == kHostCommandSearchInPage
                           ? OLECMDF_SUPPORTED | OLECMDF_ENABLED
                           : 0;
  }
  return S_OK;
}

HRESULT HostSite::Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT*) noexcept {
  if (!group || *group != commandGroup_) return OLECMDERR_E_UNKNOWNGROUP;
  switch (id) {
    case kHostCommandHighlight:
      output_.Command("highlight");
      return S_OK;
    case kHostCommandSearchInPage:
      output_.Command("searchinpage");
      return S_OK;
    default:
      return OLECMDERR_E_NOTSUPPORTED;
  }
}

}  // namespace norvex::tools::win32
