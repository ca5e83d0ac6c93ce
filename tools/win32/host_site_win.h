// The band's site in the host: the window that holds the band, the browser as a service, focus
// notifications, and the keyword commands that the host has no page tools for.
#pragma once

#include <docobj.h>
#include <exdisp.h>
#include <servprov.h>
#include <shobjidl.h>

#include "tools/host_commands.h"
#include "tools/win32/host_com_win.h"

namespace norvex::tools::win32 {

using platform::win32::ComPtr;

// The command group through which the toolbar hands the host its page-tool keywords, with
// command 1 for "highlight" and 2 for "searchinpage"; the group is the band's class identifier.
inline constexpr DWORD kHostCommandHighlight = 1;
inline constexpr DWORD kHostCommandSearchInPage = 2;

class HostSite final : public IOleWindow,
                       public IServiceProvider,
                       public IInputObjectSite,
                       public IOleCommandTarget,
                       RefCounted {
 public:
  // `window` is the site window; `browser` answers SID_SWebBrowserApp; `commandGroup` is the
  // group of the keyword commands.
  HostSite(HWND window, IWebBrowser2* browser, const GUID& commandGroup, HostOutput& output);

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

  // IOleCommandTarget: the keyword commands print "command KEYWORD".
  HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD commands[],
                                        OLECMDTEXT* text) noexcept override;
  HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD id, DWORD options, VARIANT* in,
                                 VARIANT* out) noexcept override;

 private:
  HWND window_;
  ComPtr<IWebBrowser2> browser_;
  GUID commandGroup_;
  HostOutput& output_;
  bool bandHasFocus_ = false;
};

}  // namespace norvex::tools::win32
