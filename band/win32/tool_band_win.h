// The band object that the browser hosts, one per browser window: it takes the site, makes the
// toolbar window in the site's window, listens to the browser's navigation events, installs the
// refresh hook of its thread, answers the browser's size, focus and keyboard questions, and
// takes everything down again at CloseDW.
#pragma once

#include <memory>
#include <span>

#include "band/win32/module_win.h"
#include "pagetools/page_language.h"
#include "pagetools/win32/web_browser_win.h"
#include "platform/win32/com_object.h"
#include "toolbar/win32/toolbar_actions_win.h"
#include "toolbar/win32/toolbar_window_win.h"

#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <shobjidl.h>

namespace norvex::band::win32 {

using platform::win32::ComObject;
using platform::win32::ComPtr;
using platform::win32::InterfaceEntry;

class BrowserEventSink;

class ToolBand final : public ComObject<ToolBand, IObjectWithSite, IInputObject, IDeskBand> {
 public:
  ToolBand();

  // The interface map: IObjectWithSite, IInputObject, IDeskBand, IOleWindow, IDockingWindow.
  static std::span<const InterfaceEntry<ToolBand>> InterfaceTable();

  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) noexcept override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) noexcept override;

  // IInputObject
  HRESULT STDMETHODCALLTYPE UIActivateIO(BOOL activate, MSG* msg) noexcept override;
  HRESULT STDMETHODCALLTYPE HasFocusIO() noexcept override;
  HRESULT STDMETHODCALLTYPE TranslateAcceleratorIO(MSG* msg) noexcept override;

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) noexcept override;
  // IDockingWindow
  HRESULT STDMETHODCALLTYPE ShowDW(BOOL show) noexcept override;
  HRESULT STDMETHODCALLTYPE CloseDW(DWORD reserved) noexcept override;
  HRESULT STDMETHODCALLTYPE ResizeBorderDW(LPCRECT border, IUnknown* site,
                                           BOOL reserved) noexcept override;
  // IDeskBand
  HRESULT STDMETHODCALLTYPE GetBandInfo(DWORD bandId, DWORD viewMode,
                                        DESKBANDINFO* info) noexcept override;

  // The browser's events, from the sink.
  void OnBeforeNavigate(const std::u16string& address);
  void OnDocumentComplete();

 private:
  ~ToolBand() override;  // the last Release deletes it
  bool CreateToolbarWindow();
  void ConnectEvents();
  void DisconnectEvents();
  void ActivateContext();
  void DeactivateContext();

  ModuleLock lock_;
  HANDLE activationContext_ = INVALID_HANDLE_VALUE;
  ULONG_PTR activationCookie_ = 0;
  bool contextActive_ = false;
  HWND parent_ = nullptr;
  ComPtr<IServiceProvider> serviceProvider_;
  ComPtr<IInputObjectSite> inputSite_;
  pagetools::win32::WebBrowser browser_;
  toolbar::win32::Win32ToolbarActions actions_{browser_};
  std::unique_ptr<toolbar::win32::Win32ToolbarWindow> window_;
  // While connected: the sink, the connection point it was advised on (so that it is unadvised
  // where it was advised, whatever browser the band holds by then) and the cookie.
  ComPtr<BrowserEventSink> sink_;
  ComPtr<IConnectionPoint> eventPoint_;
  DWORD eventCookie_ = 0;
  pagetools::PageLanguageWatcher page_{browser_};
};

}  // namespace norvex::band::win32
