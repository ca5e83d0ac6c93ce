// The DLL's entry points: DllMain, DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer.
#include <new>

#include "band/win32/class_factory_win.h"
#include "band/win32/module_win.h"
#include "band/win32/registration_win.h"
#include "toolbar/win32/toolbar_window_win.h"

using namespace norvex::band::win32;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ::DisableThreadLibraryCalls(instance);
    // Every toolbar of every process gets the same two message numbers.
    norvex::toolbar::win32::RefreshMessage();
    norvex::toolbar::win32::InRefreshMessage();
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!::IsEqualCLSID(clsid, ToolBandClsid())) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return ModuleLocks() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer() { return RegisterModule(); }
extern "C" HRESULT __stdcall DllUnregisterServer() { return UnregisterModule(); }
