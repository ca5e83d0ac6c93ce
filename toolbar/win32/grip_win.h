// The resize grip: a 15 x 24 window showing the grip bitmap (magenta transparent) over the band's
// background, with a toolbar button's hot face while the pointer is over it and its pressed face
// while it is dragged. While the left button is held on it (it captures the mouse), every move
// posts the toolbar the command 5024 with notification code 1 and the pointer's screen position.
#pragma once

#include "platform/win32/scoped_handle.h"
#include "platform/win32/window_base.h"

namespace norvex::toolbar::win32 {

using platform::win32::BaseWindow;
using platform::win32::ModuleInstance;

class GripWindow final : public BaseWindow<GripWindow> {
 public:
  GripWindow() = default;
  ~GripWindow();
  bool Create(HWND parent, const RECT& rect);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool hot() const { return hot_; }
  bool dragging() const { return dragging_; }

 private:
  LRESULT OnPaint();
  LRESULT OnButtonDown();
  LRESULT OnMouseMove(POINT point);
  LRESULT OnMouseLeave();
  LRESULT OnButtonUp(bool released);
  void SetHot(bool hot);
  platform::win32::ScopedBitmap bitmap_;
  bool dragging_ = false;
  bool hot_ = false;
};

}  // namespace norvex::toolbar::win32
