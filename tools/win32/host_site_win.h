// The band's site in the host: the window that holds the band, the browser as a service, and
// focus notifications.
#pragma once

#include <exdisp.h>
#include <servprov.h>
#include <shobjidl.h>

#include "platform/win32/com_object.h"
#include "tools/host_commands.h"

namespace norvex::tools::win32 {

using platform::win32::ComPtr;
using platform::win32::RefCounted;

class HostSite final : public IOleWindow,
                       public IServiceProvider,
                       public IInputObjectSite,
                       RefCounted {
 public:
  // `window` is the site window; `browser` answers SID_SWebBrowserApp.
  HostSite(HWND window, IWebBrowser2* browser);

  // The last focus change that the band reported: true when it took the focus.
  bool bandHasFocus() const { return bandHasFocus_; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return ReleaseReference(); }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

  // IServiceProvider: only the browser.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid,
                                         void** out) noexcept override;

  // IInputObjectSite
  HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown* band, BOOL focused) noexcept override;

 private:
  HWND window_;
  ComPtr<IWebBrowser2> browser_;
  bool bandHasFocus_ = false;
};

}  // namespace norvex::tools::win32
