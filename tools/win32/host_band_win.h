// The toolbar's band object as the host holds it: its module loaded from the installation folder,
// the band made through the module's class object, sited, shown, and at the end closed and
// unloaded again, in the order a browser does it.
#pragma once

#include <shobjidl.h>

#include <string>

#include "platform/win32/com_ptr.h"
#include "platform/win32/scoped_handle.h"

namespace norvex::tools::win32 {

using platform::win32::ComPtr;

class HostBand {
 public:
  HostBand() = default;
  ~HostBand();  // Close(), then the module is unloaded
  HostBand(const HostBand&) = delete;
  HostBand& operator=(const HostBand&) = delete;

  // Loads the module at `path`, looking for its own dependencies in its folder. False, with the
  // reason in `error`, when it cannot be loaded.
  bool Load(const std::wstring& path, std::string& error);
  HMODULE module() const { return module_.get(); }

  // The band object of class `classId` as the browser makes it: CoCreateInstance of the class
  // that the registry names (in process). The module that COM loaded for it becomes module().
  // False, with the reason in `error`, when the class is not registered or does not make a band.
  bool LoadRegistered(const CLSID& classId, std::string& error);

  // The band object of class `classId` through the module's DllGetClassObject (IClassFactory,
  // IObjectWithSite) unless LoadRegistered made it, then SetSite(site) and
  // IDeskBand::ShowDW(TRUE). False, with the reason in `error`, when any step fails.
  bool Create(const CLSID& classId, IUnknown* site, std::string& error);

  // The band's window (IOleWindow::GetWindow), or null.
  HWND Window() const;
  // IInputObject::TranslateAcceleratorIO; S_FALSE without a band.
  HRESULT TranslateAccelerator(MSG* msg) const;

  // CloseDW(0), SetSite(nullptr), and the band and its class object released. Does nothing the
  // second time.
  void Close();

 private:
  bool MakeThroughClassObject(const CLSID& classId, std::string& error);

  platform::win32::ScopedLibrary module_;  // unloaded after the band and its class object
  ComPtr<IClassFactory> factory_;
  ComPtr<IObjectWithSite> band_;
  ComPtr<IDeskBand> deskBand_;
  ComPtr<IInputObject> inputObject_;
};

}  // namespace norvex::tools::win32
