// The search box's window, class "AdvComboBoxCtrl": the combo window with its edit field (108),
// its drop-down button at the right edge (hot while the pointer is over it), the drop-down
// (DropListWindow) and an OLE drop target for text. It answers the combo-box messages and the
// private messages, paints itself, and reports what the user does to the toolbar's
// SearchComboBox model; every decision is the model's.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/com_ptr.h"
#include "platform/win32/message_crackers.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/window_base.h"
#include "search/key_routing.h"
#include "search/search_combo_box.h"

#include <oleidl.h>

namespace norvex::toolbar::win32 {

using platform::win32::BaseWindow;
using platform::win32::ClassRegistrar;
using platform::win32::ModuleInstance;

class DropListWindow;
class SearchBoxDropTarget;

// The window class of the search box could not be registered. Raised while the box is
// constructed; the toolbar catches it where it creates the box.
class ResourceException : public std::runtime_error {
 public:
  ResourceException() : std::runtime_error("the search box's window class cannot be registered") {}
};

// The combo window's private messages: choose the item at an index of the drop-down's list
// (WM_USER + 1), close the drop-down (+ 2), submit after a click on an item (+ 5), open or close
// the drop-down with the whole list (+ 101).
inline constexpr UINT kChooseItemMessage = WM_USER + 1;
inline constexpr UINT kCloseDropDownMessage = WM_USER + 2;
inline constexpr UINT kSubmitItemMessage = WM_USER + 5;
inline constexpr UINT kToggleDropDownMessage = WM_USER + 101;

// The combo window's timer that watches the pointer leave the hot button.
inline constexpr UINT_PTR kHotButtonTimer = 1;
inline constexpr UINT kHotButtonTimerMs = 50;

class SearchBoxWindow final : public BaseWindow<SearchBoxWindow>,
                              public search::SearchComboHost,
                              private search::KeyRouting::EditField {
 public:
  using FocusReport = std::function<void(bool focused)>;

  // Registers "AdvComboBoxCtrl" when it is not registered yet (through `registrar`); throws
  // ResourceException when that fails. `reportFocus` tells the browser whether the band has the
  // focus.
  explicit SearchBoxWindow(FocusReport reportFocus, ClassRegistrar registrar = &::RegisterClassExW);
  ~SearchBoxWindow() override;

  // A visible child of `parent` at `rect`, in the drop-down style, control identifier 5025.
  bool Create(HWND parent, const RECT& rect);
  // The model the window reports to; null disconnects it (before the window goes).
  void Connect(search::SearchComboBox* model);
  search::SearchComboBox* model() const { return model_; }
  HWND edit() const { return edit_; }
  HFONT font() const { return font_.get(); }
  DropListWindow* dropDown() const { return dropDown_.get(); }
  IDropTarget* dropTarget() const;
  bool buttonHot() const { return hot_; }
  // True when `window` is the open drop-down or one of its children.
  bool HoldsDropDownWindow(HWND window) const;
  // The function that registers the drop-down's window class (tests give one that fails).
  void SetDropListRegistrar(ClassRegistrar registrar) { dropListRegistrar_ = registrar; }

  // The band's keyboard filter for a key message while the edit field has the focus: true when
  // the box consumed it (the browser leaves it alone).
  bool TranslateAccelerator(MSG& msg);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // SearchComboHost
  void SendNotification(int code) override;
  void PostNotification(int code) override;
  search::Rect ScreenRect() const override;
  void Repaint() override;
  void ShowEditText(const std::u16string& text) override;
  void SetEditSelection(size_t start, size_t end) override;
  void FocusEditField() override;
  void PassKeyToEditField(int virtualKey) override;
  bool ShowDropDown(const search::Rect& rect, const std::vector<search::ComboItem>& items,
                    int selected) override;
  void HideDropDown() override;
  void ReplaceDropDownItems(const std::vector<search::ComboItem>& items) override;
  void SelectDropDownItem(int index) override;
  void ScrollDropDown(int topIndex) override;
  void ReportFocusToBrowser(bool focused) override;

 private:
  LRESULT OnCreate();
  LRESULT OnDestroy();
  LRESULT OnPaint();
  LRESULT OnSize();
  LRESULT OnEnable(bool enabled);
  LRESULT OnCommand(const platform::win32::Command& command);
  LRESULT OnSetFocus();
  LRESULT OnKillFocus();
  LRESULT OnButtonDown(POINT point);
  LRESULT OnMouseMove(POINT point);
  LRESULT OnTimer(UINT_PTR id);
  LRESULT OnMouseWheel(int delta);
  LRESULT OnComboMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateEditField();
  RECT EditRect() const;
  RECT ButtonRect() const;
  // KeyRouting::EditField: the band's message dispatched as it came, a key-down sent, the
  // field's selection reported to the model.
  void Dispatch(const search::KeyMessage& key) override;
  void SendKeyDown(int virtualKey) override;
  void ReportSelection() override;
  // Where the focus went, for the model, when the edit field lost it to `window`.
  search::SearchComboBox::FocusTarget FocusTargetOf(HWND window) const;
  // The edit field's messages (the field is subclassed): focus, the field's own key filter, the
  // wheel.
  LRESULT OnEditMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT FilterEditKey(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  FocusReport reportFocus_;
  search::SearchComboBox* model_ = nullptr;
  HWND edit_ = nullptr;
  platform::win32::ScopedFont font_;
  std::unique_ptr<DropListWindow> dropDown_;
  ClassRegistrar dropListRegistrar_ = &::RegisterClassExW;
  platform::win32::ComPtr<SearchBoxDropTarget> dropTarget_;  // registered while the window lives
  bool hot_ = false;
  bool settingText_ = false;
  // Which filter a key goes through, and how it reaches the edit field.
  search::KeyRouting routing_{*this};
  // While the band's filter runs: its message, dispatched as it came when handed to the field.
  const MSG* bandMessage_ = nullptr;
};

}  // namespace norvex::toolbar::win32
