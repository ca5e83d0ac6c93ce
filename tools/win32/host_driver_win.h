// The Windows host's side of the command language: every command acts on the band's real windows
// with the messages that a user's mouse and keyboard (or the browser) would send, and reads the
// answers back from the windows.
#pragma once

#include <string>
#include <vector>

#include "tools/host_commands.h"
#include "tools/win32/host_band_win.h"
#include "tools/win32/host_browser_win.h"
#include "tools/win32/host_frame_win.h"

namespace norvex::tools::win32 {

class Win32HostDriver final : public HostDriver {
 public:
  Win32HostDriver(HostFrame& frame, HostBand& band, HostBrowser& browser, HostOutput& output);
  ~Win32HostDriver() override;
  Win32HostDriver(const Win32HostDriver&) = delete;
  Win32HostDriver& operator=(const Win32HostDriver&) = delete;

  // Installs the thread's hooks that close the band's menus and run its dialogs (a message
  // filter for menus, a window-procedure hook for WM_INITDIALOG). False when either cannot be
  // installed. One driver per thread.
  bool InstallHooks();

  // HostDriver
  bool HasSearchBox() override;
  bool HasGrip() override;
  void Type(const std::u16string& text) override;
  void Key(int virtualKey) override;
  std::string Press(int commandId) override;
  std::string Menu(int commandId, int item) override;
  void SetWidth(int width) override;
  void DragGrip(int x) override;
  void ShowPage(const std::u16string& url, const std::u16string& charset,
                const std::u16string& language) override;
  std::string LoadPage(const std::string& path, const std::u16string& url) override;
  std::string ReadSelection() override;
  std::string SavePage(const std::string& folder) override;
  void Refresh() override;
  Layout ReadLayout() override;
  DropDown ReadDropDown() override;
  void Wait(int milliseconds) override;
  std::string Screenshot(const std::string& path, std::optional<int> menuOf) override;
  void Settle() override;

 private:
  // What to do with a menu that opens while a button is pressed.
  struct MenuVisit {
    enum class Goal { kClose, kChoose, kRead, kPicture };
    Goal goal = Goal::kClose;
    int item = 0;                       // kChoose: the command to choose
    HWND owner = nullptr;               // where the chosen command goes
    bool seen = false;                  // a menu opened
    bool found = false;                 // kChoose: the item is in the menu or its submenus
    std::vector<OverflowLine> entries;  // kRead: the menu's entries
    std::wstring picture;               // kPicture: the file to write
    std::string pictureError;           // kPicture: why there is none
    int ticks = 0;                      // kPicture: filter calls while the menu is drawn
  };

  HWND Toolbar() const { return band_.Window(); }
  HWND SearchBox() const;
  HWND EditField() const;
  HWND Grip() const;
  HWND VisibleButton(int commandId) const;
  // Presses `button` at (x, 1) with the left mouse button while the menu hook watches; the
  // messages that the press posted are run before it returns.
  MenuVisit PressButton(HWND button, int x, MenuVisit visit);
  void OnMenuLoop();
  // kPicture: true once the open menu `menuWindow` has been drawn and photographed.
  bool TakeMenuPicture(HWND menuWindow);
  void OnDialog(HWND dialog);
  // Runs the dialog that opened last, from its modal loop.
  void RunOpenDialog();

  static LRESULT CALLBACK MenuFilterHook(int code, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK DialogHook(int code, WPARAM wParam, LPARAM lParam) noexcept;
  static void CALLBACK DialogTimer(HWND, UINT, UINT_PTR timer, DWORD) noexcept;

  HostFrame& frame_;
  HostBand& band_;
  HostBrowser& browser_;
  HostOutput& output_;
  HHOOK menuHook_ = nullptr;
  HHOOK dialogHook_ = nullptr;
  MenuVisit* visit_ = nullptr;
  HWND openDialog_ = nullptr;
};

}  // namespace norvex::tools::win32
