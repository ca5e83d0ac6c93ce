#include "tools/win32/host_com_win.h"

namespace norvex::tools::win32 {

using platform::win32::FromW;

std::u16string VariantText(const VARIANT* value) {
  if (!value) return {};
  if (V_VT(value) == (VT_BYREF | VT_VARIANT)) value = V_VARIANTREF(value);
  if (!value || V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL) return {};
  if (V_VT(value) == VT_BSTR) return FromW(V_BSTR(value), ::SysStringLen(V_BSTR(value)));
  VARIANT text;
  ::VariantInit(&text);
  if (FAILED(::VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR))) return {};
  std::u16string result = FromW(V_BSTR(&text), ::SysStringLen(V_BSTR(&text)));
  ::VariantClear(&text);
  return result;
}

BSTR NewBstr(const std::u16string& text) {
  return ::SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()),
                             static_cast<UINT>(text.size()));
}

}  // namespace norvex::tools::win32
