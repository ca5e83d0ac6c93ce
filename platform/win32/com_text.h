// Text in and out of COM's strings: a BSTR's text (it may hold NULs, and null is empty), a
// variant's text, new BSTRs and a BSTR owned for a scope.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/windows_api.h"

#include <oleauto.h>

namespace norvex::platform::win32 {

// The text of a BSTR, all SysStringLen characters of it; empty for null.
inline std::u16string BstrText(BSTR text) {
  return text ? FromW(text, ::SysStringLen(text)) : std::u16string();
}

// The text of a variant: a string, a reference to one, or anything that converts to one,
// looking through VT_BYREF | VT_VARIANT; empty for VT_EMPTY, VT_NULL and what does not convert.
inline std::u16string VariantText(const VARIANT* value) {
  if (value && V_VT(value) == (VT_BYREF | VT_VARIANT)) value = V_VARIANTREF(value);
  if (!value || V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL) return {};
  if (V_VT(value) == VT_BSTR) return BstrText(V_BSTR(value));
  if (V_VT(value) == (VT_BYREF | VT_BSTR))
    return V_BSTRREF(value) ? BstrText(*V_BSTRREF(value)) : u"";
  VARIANT text;
  ::VariantInit(&text);
  if (FAILED(::VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR))) return {};
  std::u16string result = BstrText(V_BSTR(&text));
  ::VariantClear(&text);
  return result;
}

// A new BSTR holding `text`; null when out of memory. The caller frees it (or hands it over).
inline BSTR NewBstr(std::u16string_view text) {
  return ::SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()),
                             static_cast<UINT>(text.size()));
}

// A BSTR, freed when the object goes: text handed to a call, or received through Receive().
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(std::u16string_view text) : s_(NewBstr(text)) {}
  ~ScopedBstr() { ::SysFreeString(s_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return s_; }
  BSTR* Receive() {
    ::SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  std::u16string Text() const { return BstrText(s_); }

 private:
  BSTR s_ = nullptr;
};

}  // namespace norvex::platform::win32
