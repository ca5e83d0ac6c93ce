// The toolbar's window on Windows: a child of the band site's window that shows what the
// portable ToolbarWindow decides. It makes the agent buttons, the chevron, the grip and the
// search box as real child windows, measures text with its font, runs timers, and turns window
// messages into calls of the portable toolbar. It decides nothing about layout or commands.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/win32/com_ptr.h"
#include "platform/win32/message_crackers.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/window_base.h"
#include "toolbar/toolbar_window.h"

#include <shobjidl.h>

namespace norvex::toolbar::win32 {

using platform::win32::BaseWindow;
using platform::win32::ClassRegistrar;
using platform::win32::ComPtr;
using platform::win32::ModuleInstance;

class SearchBoxWindow;
class GripWindow;

// The two registered messages: the broadcast that every toolbar of the desktop receives, and
// the one a toolbar window rebuilds on.
UINT RefreshMessage();
UINT InRefreshMessage();

class Win32ToolbarWindow final : public BaseWindow<Win32ToolbarWindow>, public ToolbarSurface {
 public:
  // `actions` runs what the toolbar's commands lead to; it must outlive the window.
  explicit Win32ToolbarWindow(ToolbarActions& actions);
  ~Win32ToolbarWindow() override;

  // Creates the window as a visible child of `parent` filling its client area; false on failure.
  bool Create(HWND parent);

  // For focus reports of the search box (IInputObjectSite::OnFocusChangeIS with the band).
  void SetFocusSite(IInputObjectSite* site, IUnknown* band);

  ToolbarWindow& toolbar() { return toolbar_; }
  // The function that registers the search box's window class (tests give one that fails).
  void SetSearchBoxRegistrar(ClassRegistrar registrar) { searchBoxRegistrar_ = registrar; }
  // The search box's edit field, or null.
  HWND EditField() const;
  // The keyboard filter the band calls: S_OK when the search box consumed the key, S_FALSE when
  // the browser should process it as usual.
  HRESULT TranslateAccelerator(MSG* msg);
  // Gives the search box's edit field the focus; false without one.
  bool FocusSearchBox();
  // True when the focus is in the toolbar window, one of its descendants or a window they own.
  bool HasFocus() const;
  void ReportFocus(bool focused);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // ToolbarSurface
  int ClientWidth() override;
  int ParentClientWidth() override;
  void CreateButton(const AgentButton& button) override;
  void UpdateButton(const AgentButton& button) override;
  void DestroyButton(int id) override;
  search::SearchComboHost* CreateSearchBox(const Rect& rect) override;
  void ConnectSearchBox(search::SearchComboBox& model) override;
  void MoveSearchBox(const Rect& rect) override;
  void DestroySearchBox() override;
  void CreateGrip(const Rect& rect) override;
  void MoveGrip(const Rect& rect) override;
  void DestroyGrip() override;
  int TextWidth(const std::u16string& text) override;
  int BitmapWidth(int bitmapId) override;
  void StartTimer(int id, int milliseconds) override;
  void StopTimer(int id) override;
  void Repaint(bool erase) override;
  int ScreenToClientX(int screenX, int screenY) override;

 private:
  struct ButtonWindow {
    HWND hwnd = nullptr;
    platform::win32::ScopedWindow tooltip;
    platform::win32::ScopedBitmap normal, disabled, pressed;
    bool hover = false;        // the pointer is over the button
    bool menuShowing = false;  // its menu is open now
  };

  LRESULT OnCreate();
  LRESULT OnDestroy();
  LRESULT OnSize(SIZE size);
  LRESULT OnTimer(UINT_PTR id);
  LRESULT OnCommand(const platform::win32::Command& command, LPARAM lParam);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnMeasureItem(MEASUREITEMSTRUCT& item);
  LRESULT OnInRefresh();
  // The pointer entered or left a button: its face changes.
  void SetHover(ButtonWindow& window, bool hover);
  // The identifier a button window was built with; -1 for a window that is not a button.
  int BuiltId(HWND button) const;
  void ShowButtonState(ButtonWindow& window, const AgentButton& button);
  void SetTooltip(ButtonWindow& window, const AgentButton& button);
  void OpenButtonMenu(int id);
  // The agent buttons' messages (the buttons are subclassed): hover, and presses that open menus.
  LRESULT OnButtonMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  ToolbarWindow toolbar_;
  std::map<int, ButtonWindow> buttonWindows_;
  std::unique_ptr<SearchBoxWindow> searchBox_;
  std::unique_ptr<GripWindow> grip_;
  platform::win32::ScopedFont font_;
  std::map<int, SIZE> bitmapSizes_;
  ComPtr<IInputObjectSite> focusSite_;
  IUnknown* band_ = nullptr;  // not held: the band owns this window
  ClassRegistrar searchBoxRegistrar_ = &::RegisterClassExW;
};

}  // namespace norvex::toolbar::win32
