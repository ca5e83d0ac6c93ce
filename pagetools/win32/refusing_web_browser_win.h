// IWebBrowser2 whose every method, IDispatch's included, refuses with E_NOTIMPL: the base of the
// objects that stand in for the browser (the hosts' browser, the band tests' browser), each of
// which overrides what it serves. IUnknown is left to the object.
#pragma once

#include "platform/win32/windows_api.h"

#include <exdisp.h>

namespace norvex::pagetools::win32 {

class RefusingWebBrowser : public IWebBrowser2 {
 public:
#define NORVEX_REFUSED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) noexcept override { return E_NOTIMPL; }
  // IDispatch
  NORVEX_REFUSED(GetTypeInfoCount, UINT*)
  NORVEX_REFUSED(GetTypeInfo, UINT, LCID, ITypeInfo**)
  NORVEX_REFUSED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
  NORVEX_REFUSED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
  // IWebBrowser
  NORVEX_REFUSED(GoBack)
  NORVEX_REFUSED(GoForward)
  NORVEX_REFUSED(GoHome)
  NORVEX_REFUSED(GoSearch)
  NORVEX_REFUSED(Navigate, BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
  NORVEX_REFUSED(Refresh)
  NORVEX_REFUSED(Refresh2, VARIANT*)
  NORVEX_REFUSED(Stop)
  NORVEX_REFUSED(get_Application, IDispatch**)
  NORVEX_REFUSED(get_Parent, IDispatch**)
  NORVEX_REFUSED(get_Container, IDispatch**)
  NORVEX_REFUSED(get_Document, IDispatch**)
  NORVEX_REFUSED(get_TopLevelContainer, VARIANT_BOOL*)
  NORVEX_REFUSED(get_Type, BSTR*)
  NORVEX_REFUSED(get_Left, LONG*)
  NORVEX_REFUSED(put_Left, LONG)
  NORVEX_REFUSED(get_Top, LONG*)
  NORVEX_REFUSED(put_Top, LONG)
  NORVEX_REFUSED(get_Width, LONG*)
  NORVEX_REFUSED(put_Width, LONG)
  NORVEX_REFUSED(get_Height, LONG*)
  NORVEX_REFUSED(put_Height, LONG)
  NORVEX_REFUSED(get_LocationName, BSTR*)
  NORVEX_REFUSED(get_LocationURL, BSTR*)
  NORVEX_REFUSED(get_Busy, VARIANT_BOOL*)
  // IWebBrowserApp
  NORVEX_REFUSED(Quit)
  NORVEX_REFUSED(ClientToWindow, int*, int*)
  NORVEX_REFUSED(PutProperty, BSTR, VARIANT)
  NORVEX_REFUSED(GetProperty, BSTR, VARIANT*)
  NORVEX_REFUSED(get_Name, BSTR*)
  NORVEX_REFUSED(get_HWND, SHANDLE_PTR*)
  NORVEX_REFUSED(get_FullName, BSTR*)
  NORVEX_REFUSED(get_Path, BSTR*)
  NORVEX_REFUSED(get_Visible, VARIANT_BOOL*)
  NORVEX_REFUSED(put_Visible, VARIANT_BOOL)
  NORVEX_REFUSED(get_StatusBar, VARIANT_BOOL*)
  NORVEX_REFUSED(put_StatusBar, VARIANT_BOOL)
  NORVEX_REFUSED(get_StatusText, BSTR*)
  NORVEX_REFUSED(put_StatusText, BSTR)
  NORVEX_REFUSED(get_ToolBar, int*)
  NORVEX_REFUSED(put_ToolBar, int)
  NORVEX_REFUSED(get_MenuBar, VARIANT_BOOL*)
  NORVEX_REFUSED(put_MenuBar, VARIANT_BOOL)
  NORVEX_REFUSED(get_FullScreen, VARIANT_BOOL*)
  NORVEX_REFUSED(put_FullScreen, VARIANT_BOOL)
  // IWebBrowser2
  NORVEX_REFUSED(Navigate2, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
  NORVEX_REFUSED(QueryStatusWB, OLECMDID, OLECMDF*)
  NORVEX_REFUSED(ExecWB, OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*)
  NORVEX_REFUSED(ShowBrowserBar, VARIANT*, VARIANT*, VARIANT*)
  NORVEX_REFUSED(get_ReadyState, READYSTATE*)
  NORVEX_REFUSED(get_Offline, VARIANT_BOOL*)
  NORVEX_REFUSED(put_Offline, VARIANT_BOOL)
  NORVEX_REFUSED(get_Silent, VARIANT_BOOL*)
  NORVEX_REFUSED(put_Silent, VARIANT_BOOL)
  NORVEX_REFUSED(get_RegisterAsBrowser, VARIANT_BOOL*)
  NORVEX_REFUSED(put_RegisterAsBrowser, VARIANT_BOOL)
  NORVEX_REFUSED(get_RegisterAsDropTarget, VARIANT_BOOL*)
  NORVEX_REFUSED(put_RegisterAsDropTarget, VARIANT_BOOL)
  NORVEX_REFUSED(get_TheaterMode, VARIANT_BOOL*)
  NORVEX_REFUSED(put_TheaterMode, VARIANT_BOOL)
  NORVEX_REFUSED(get_AddressBar, VARIANT_BOOL*)
  NORVEX_REFUSED(put_AddressBar, VARIANT_BOOL)
  NORVEX_REFUSED(get_Resizable, VARIANT_BOOL*)
  NORVEX_REFUSED(put_Resizable, VARIANT_BOOL)
#undef NORVEX_REFUSED
};

}  // namespace norvex::pagetools::win32
