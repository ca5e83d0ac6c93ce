#include "toolbar/win32/search_box_drop_target_win.h"

#include "toolbar/win32/search_box_win.h"

namespace norvex::toolbar::win32 {

namespace {

FORMATETC UnicodeTextFormat() {
  return FORMATETC{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool HoldsUnicodeText(IDataObject* data) {
  FORMATETC format = UnicodeTextFormat();
  return data && data->QueryGetData(&format) == S_OK;
}

// The Unicode text of the data, up to its terminator; nothing when it has none.
std::optional<std::u16string> UnicodeText(IDataObject* data) {
  FORMATETC format = UnicodeTextFormat();
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) return std::nullopt;
  std::optional<std::u16string> text;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    const SIZE_T bytes = ::GlobalSize(medium.hGlobal);
    if (const auto* chars = static_cast<const char16_t*>(::GlobalLock(medium.hGlobal))) {
      const size_t capacity = bytes / sizeof(char16_t);
      size_t length = 0;
      while (length < capacity && chars[length] != u'\0') ++length;
      text = std::u16string(chars, length);
      ::GlobalUnlock(medium.hGlobal);
    }
  }
  ::ReleaseStgMedium(&medium);
  return text;
}

}  // namespace

std::span<const platform::win32::InterfaceEntry<SearchBoxDropTarget>>
SearchBoxDropTarget::InterfaceTable() {
  using platform::win32::Entry;
  static const platform::win32::InterfaceEntry<SearchBoxDropTarget> table[] = {
      Entry<SearchBoxDropTarget, IDropTarget>(IID_IDropTarget)};
  return table;
}

DWORD SearchBoxDropTarget::Effect(DWORD keys) const {
  if (!text_) return DROPEFFECT_NONE;
  return search::SearchComboBox::DragEffect((keys & MK_CONTROL) != 0) == search::DropEffect::kCopy
             ? DROPEFFECT_COPY
             : DROPEFFECT_MOVE;
}

HRESULT SearchBoxDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL, DWORD* effect) noexcept {
  if (!effect) return E_INVALIDARG;
  text_ = HoldsUnicodeText(data);
  *effect = Effect(keys);
  return S_OK;
}

HRESULT SearchBoxDropTarget::DragOver(DWORD keys, POINTL, DWORD* effect) noexcept {
  if (!effect) return E_INVALIDARG;
  *effect = Effect(keys);
  return S_OK;
}

HRESULT SearchBoxDropTarget::DragLeave() noexcept {
  text_ = false;
  return S_OK;
}

HRESULT SearchBoxDropTarget::Drop(IDataObject* data, DWORD keys, POINTL, DWORD* effect) noexcept {
  if (!effect) return E_INVALIDARG;
  text_ = HoldsUnicodeText(data);
  *effect = Effect(keys);
  const std::optional<std::u16string> text = text_ ? UnicodeText(data) : std::nullopt;
  text_ = false;
  if (!text) {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  if (box_.model()) box_.model()->OnDropText(*text, true);
  return S_OK;
}

}  // namespace norvex::toolbar::win32
