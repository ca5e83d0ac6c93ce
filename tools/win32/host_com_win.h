// Small helpers for the host's COM objects: a reference count, handing out interface pointers,
// and reading text out of variants.
#pragma once

#include "platform/win32/com_ptr.h"

#include <atomic>
#include <string>

namespace norvex::tools::win32 {

// The reference count of a COM object that deletes itself at zero. Starts at 1: the creator holds
// the first reference.
class RefCounted {
 public:
  virtual ~RefCounted() = default;

 protected:
  ULONG AddReference() { return ++refs_; }
  ULONG ReleaseReference() {
    const ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// *out = p with one more reference; S_OK. E_POINTER for a null `out`.
template <typename T>
HRESULT HandOut(T* p, void** out) {
  if (!out) return E_POINTER;
  p->AddRef();
  *out = p;
  return S_OK;
}

// The text of a variant (a string, or anything that converts to one), looking through
// VT_BYREF|VT_VARIANT; empty for VT_EMPTY, VT_NULL and what does not convert.
std::u16string VariantText(const VARIANT* value);

// A new BSTR with `text`; null when out of memory.
BSTR NewBstr(const std::u16string& text);

}  // namespace norvex::tools::win32
