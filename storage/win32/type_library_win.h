// The module's type library registered and unregistered through the system (oleaut32).
#pragma once

#include "storage/registration.h"

namespace norvex::storage::win32 {

class WinTypeLibrary final : public TypeLibraryRegistrar {
 public:
  // Loads the type library of the module file (resource "TYPELIB" 1) and registers it for that
  // file; the result of the first call that fails.
  HResult Register(const std::u16string& modulePath) override;
  // Loads it to learn its identifier, version, locale and system kind, and unregisters that.
  HResult Unregister(const std::u16string& modulePath) override;
};

}  // namespace norvex::storage::win32
