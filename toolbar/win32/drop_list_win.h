// The search box's drop-down: a window of its own below the box ("NorvexDropList", a child of
// the desktop with a thin border, control identifier 6, a topmost tool window) with the owner-
// drawn list of history entries (DropListBox, 101), a scroll bar (100), the "履歴の削除" button
// (1124) and a size grip. It holds the mouse capture while it is open: the pointer over the list
// selects the entry under it, a release there chooses it, a press in the grip resizes the
// drop-down, a press outside closes it. Whatever would close it is posted to the combo window,
// so that the drop-down is never destroyed inside one of its own handlers.
#pragma once

#include <memory>
#include <vector>

#include "platform/win32/message_crackers.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/window_base.h"
#include "search/drop_down_layout.h"
#include "search/search_combo_box.h"

namespace norvex::toolbar::win32 {

using platform::win32::BaseWindow;
using platform::win32::ClassRegistrar;
using platform::win32::ModuleInstance;

class SearchBoxWindow;

// The list box of the drop-down, subclassed: hot tracking and choosing while it holds the
// capture. Each entry's text is the list box string and a copy of the entry its item data.
class DropListBox {
 public:
  DropListBox() = default;
  ~DropListBox();
  DropListBox(const DropListBox&) = delete;
  DropListBox& operator=(const DropListBox&) = delete;

  bool Create(HWND parent, const RECT& rect, HFONT font, SearchBoxWindow& box);
  HWND hwnd() const { return hwnd_; }
  void SetItems(const std::vector<search::ComboItem>& items);
  // The entry's copy; null when out of range.
  const search::ComboItem* Item(int index) const;

 private:
  // The list box's messages (it is subclassed).
  LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMouseMove(POINT point);
  LRESULT OnButtonUp(POINT point);
  int IndexAt(POINT point) const;

  HWND hwnd_ = nullptr;
  SearchBoxWindow* box_ = nullptr;
  std::vector<std::unique_ptr<search::ComboItem>> copies_;
};

class DropListWindow final : public BaseWindow<DropListWindow> {
 public:
  // `registrar` registers the window class when it is not registered yet (tests give one that
  // fails).
  explicit DropListWindow(SearchBoxWindow& box, ClassRegistrar registrar = &::RegisterClassExW);
  ~DropListWindow();

  // Creates the window at `rect` (screen coordinates), shows it topmost without activating it
  // and takes the mouse capture; `font` is the search box's (the list uses it).
  bool Create(const search::Rect& rect, HFONT font);
  void SetItems(const std::vector<search::ComboItem>& items);
  void Select(int index);
  void Scroll(int top);

  HWND list() const { return list_.hwnd(); }
  HWND scrollBar() const { return scrollBar_; }
  HWND deleteButton() const { return deleteButton_; }
  // The layout of the current client area.
  search::DropDownLayout Layout() const;
  bool resizing() const { return resizing_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // The list box's top entry changed: the scroll bar and the model follow.
  void SyncScrollBar();
  // Gives the capture back to this window (from the list box).
  void TakeCapture();

 private:
  LRESULT PlaceChildren();
  LRESULT OnPaint();
  LRESULT OnSetFont(HFONT font);
  LRESULT OnMouseMove(POINT point);
  LRESULT OnButtonDown(WPARAM keys, POINT point);
  LRESULT OnButtonUp();
  LRESULT OnCaptureChanged(HWND capture);
  LRESULT OnVerticalScroll(int request, HWND bar);
  LRESULT OnCommand(const platform::win32::Command& command);
  LRESULT OnMeasureItem(MEASUREITEMSTRUCT& measure);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnActivateApp(bool active);
  void PostToBox(UINT message, WPARAM wParam = 0);
  int VisibleItems() const;

  SearchBoxWindow& box_;
  ClassRegistrar registrar_;
  HFONT font_ = nullptr;  // the search box's, not owned
  platform::win32::ScopedFont buttonFont_;
  DropListBox list_;
  HWND scrollBar_ = nullptr;
  HWND deleteButton_ = nullptr;
  bool resizing_ = false;
  POINT resizeOrigin_{};  // the pointer's offset from the window's bottom-right corner
  int itemHeight_ = 16;
  // False once the object is gone: a handler that ran a modal loop checks it before going on.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace norvex::toolbar::win32
