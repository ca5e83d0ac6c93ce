// The search box's OLE drop target: text dragged over the box is copied with Ctrl held and
// moved otherwise; dropped Unicode text becomes the box's text. Other formats are refused.
#pragma once

#include <span>

#include "platform/win32/com_object.h"
#include "search/search_combo_box.h"

#include <oleidl.h>

namespace norvex::toolbar::win32 {

class SearchBoxWindow;

class SearchBoxDropTarget final
    : public platform::win32::ComObject<SearchBoxDropTarget, IDropTarget> {
 public:
  // Starts with one reference, the creator's.
  explicit SearchBoxDropTarget(SearchBoxWindow& box) : box_(box) {}

  static std::span<const platform::win32::InterfaceEntry<SearchBoxDropTarget>> InterfaceTable();

  // IDropTarget
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                      DWORD* effect) noexcept override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) noexcept override;
  HRESULT STDMETHODCALLTYPE DragLeave() noexcept override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                 DWORD* effect) noexcept override;

 private:
  DWORD Effect(DWORD keys) const;

  SearchBoxWindow& box_;
  bool text_ = false;  // what is dragged over the box holds Unicode text
};

}  // namespace norvex::toolbar::win32
