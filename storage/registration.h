// Registration and unregistration of the toolbar module as an in-process COM server: the
// registry scripts of the application identifier and of the class, the type library, the
// install and uninstall reports, and the per-user folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/registry_script.h"

namespace norvex::storage {

// Seam: registration of the module's type library (LoadTypeLib, RegisterTypeLib,
// UnRegisterTypeLib on Windows).
class TypeLibraryRegistrar {
 public:
  virtual ~TypeLibraryRegistrar() = default;
  virtual HResult Register(const std::u16string& modulePath) = 0;
  virtual HResult Unregister(const std::u16string& modulePath) = 0;
};

struct ServerRegistration {
  std::u16string modulePath;    // the full path of the module file
  std::u16string appIdScript;   // the application identifier's script
  std::u16string classScript;   // the class's script, with the browser's Toolbar value
  std::u16string appId;         // "{...}"
  std::u16string classId;       // "{...}": the name of the Toolbar value
  TypeLibraryRegistrar* typeLibrary = nullptr;
  // Sends the usage report of "install" or "uninstall" (the module passes the usage reports'
  // sender, which lies above this folder); none is sent without it.
  std::function<void(const std::u16string& key)> sendReport;
};

// The key under HKEY_LOCAL_MACHINE whose value named by the class identifier makes the browser
// offer the band as a toolbar.
inline constexpr char16_t kBrowserToolbarKey[] = u"Software\\Microsoft\\Internet Explorer\\Toolbar";

// The scripts' replaceable names: APPID, MODULE (the path with each ' doubled, for use inside
// a quoted word) and Module_Raw (the path as it is).
std::vector<Replacement> ServerReplacements(const ServerRegistration& server);

// Writes the Toolbar value as empty binary data first (failures ignored), then registers the
// application identifier's script, the class's script and the type library; the first failure
// ends that and is the result. Only when all succeeded is the install report sent. The per-user
// folder is made in either case.
HResult RegisterServer(const ServerRegistration& server);

// Sends the uninstall report first, then unregisters the class's script, the type library and
// the application identifier's script; the first failure ends that and is the result. When all
// succeeded, deletes "NorvexHistory.ini" and "UserConfig.ini" of the per-user folder, then the
// folder with whatever else it holds.
HResult UnregisterServer(const ServerRegistration& server);

}  // namespace norvex::storage
