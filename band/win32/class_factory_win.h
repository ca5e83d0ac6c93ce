// The class factory of the coclass ToolBand: makes band objects and holds the module's lock.
#pragma once

#include <span>

#include "band/win32/module_win.h"
#include "platform/win32/com_object.h"

namespace norvex::band::win32 {

using platform::win32::ComObject;
using platform::win32::InterfaceEntry;

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
 public:
  static std::span<const InterfaceEntry<ClassFactory>> InterfaceTable();

  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

 private:
  ModuleLock lock_;
};

}  // namespace norvex::band::win32
