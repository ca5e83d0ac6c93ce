// The search box's window, class "AdvComboBoxCtrl": the combo window with its edit field (108)
// and drop-down button, and the drop-down window listing the history (list box 101, the
// "履歴の削除" button 1124). It shows the toolbar's SearchComboBox model and reports to it what
// the user does; every decision is the model's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "search/search_combo_box.h"
#include "toolbar/win32/window_base.h"

namespace norvex::toolbar::win32 {

class Win32ToolbarWindow;
class DropListWindow;

class SearchBoxWindow final : public BaseWindow<SearchBoxWindow>, public search::SearchComboHost {
 public:
  explicit SearchBoxWindow(Win32ToolbarWindow& toolbar);
  ~SearchBoxWindow() override;

  bool Create(HWND parent, const RECT& rect);
  // The model the window reports to; null disconnects it (before the window goes).
  void Connect(search::SearchComboBox* model);
  HWND edit() const { return edit_; }
  // The keyboard filter for a key message while the edit field has the focus: true when the
  // box consumed it.
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
  void ShowDropDown(const search::Rect& rect, const std::vector<search::ComboItem>& items,
                    int selected) override;
  void HideDropDown() override;
  void ReplaceDropDownItems(const std::vector<search::ComboItem>& items) override;
  void SelectDropDownItem(int index) override;
  void ScrollDropDown(int topIndex) override;
  void ReportFocusToBrowser(bool focused) override;

  search::SearchComboBox* model() const { return model_; }
  // True when `window` is the open drop-down or one of its children.
  bool HoldsDropDownWindow(HWND window) const;

 private:
  void CreateEditField();
  RECT EditRect() const;
  RECT ButtonRect() const;
  void OnPaint();
  void OnEditCommand(int code);
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR subclassId, DWORD_PTR self);

  Win32ToolbarWindow& toolbar_;
  search::SearchComboBox* model_ = nullptr;
  HWND edit_ = nullptr;
  platform::win32::ScopedFont font_;
  std::unique_ptr<DropListWindow> dropDown_;
  const MSG* filtered_ = nullptr;  // the key message being filtered, for PassKeyToEditField
  bool settingText_ = false;
};

}  // namespace norvex::toolbar::win32
