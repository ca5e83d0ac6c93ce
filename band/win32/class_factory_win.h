// The class factory of the coclass ToolBand: makes band objects and holds the module's lock.
#pragma once

#include <atomic>

#include "platform/win32/windows_api.h"

#include <unknwn.h>

namespace norvex::band::win32 {

class ClassFactory final : public IClassFactory {
 public:
  ClassFactory();
  ~ClassFactory();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;
  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace norvex::band::win32
