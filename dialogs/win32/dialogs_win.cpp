#include "dialogs/win32/dialogs_win.h"

#include <commctrl.h>

#include "dialogs/about_model.h"
#include "dialogs/options_model.h"
#include "platform/win32/dialog_base.h"
#include "platform/win32/module_instance.h"
#include "platform/win32/scoped_handle.h"
#include "resources/control_ids.h"

namespace norvex::dialogs::win32 {

namespace {

using platform::win32::BaseDialog;
using platform::win32::ModuleInstance;
using platform::win32::ScopedBitmap;
using platform::win32::ScopedImageList;
using platform::win32::W;

// The one page of the options dialog: a check-box list of the custom agents of the model.
class AgentSelectPage final : public BaseDialog<AgentSelectPage> {
 public:
  explicit AgentSelectPage(OptionsModel& model) : model_(model) {}
  HWND Create(HWND parent) { return CreateModeless(kAgentSelectPageId, parent); }

  // Takes the ticks of the list into the model and writes them; nothing without a list.
  void Accept() {
    if (!list_) return;
    for (size_t row = 0; row < model_.rows().size(); ++row) {
      const UINT state = static_cast<UINT>(::SendMessageW(
          list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
      model_.SetTick(row, (state >> 12) == 2);
    }
    model_.Accept();
  }

  INT_PTR HandleMessage(UINT message, WPARAM, LPARAM) {
    switch (message) {
      case WM_INITDIALOG: return OnInitDialog();
      default: return FALSE;
    }
  }

 private:
  BOOL OnInitDialog() {
    list_ = ::GetDlgItem(hwnd(), kAgentListId);
    ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ScopedImageList images(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 0));
    for (size_t row = 0; row < model_.rows().size(); ++row) AddRow(row, images.get());
    // The list view owns its image list from here on.
    ::SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.Take()));
    ::SendMessageW(list_, LVM_REDRAWITEMS, 0, static_cast<LPARAM>(model_.rows().size()));
    return TRUE;
  }

  void AddRow(size_t row, HIMAGELIST images) {
    const AgentRow& agent = model_.rows()[row];
    int image = I_IMAGENONE;
    if (agent.image > 0 && images) {
      const ScopedBitmap bitmap = platform::win32::LoadModuleBitmap(agent.image, 16, 16);
      if (bitmap) {
        const int added = ::ImageList_AddMasked(images, bitmap.get(), agent.colorMask);
        if (added >= 0) image = added;
      }
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    item.pszText = const_cast<wchar_t*>(W(agent.caption));
    item.iImage = image;
    // The row's item data names its agent, for whoever drives the dialog in this process.
    item.lParam = reinterpret_cast<LPARAM>(W(agent.id));
    const int inserted = static_cast<int>(
        ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted >= 0 && agent.ticked) {
      LVITEMW state{};
      state.stateMask = LVIS_STATEIMAGEMASK;
      state.state = INDEXTOSTATEIMAGEMASK(2);
      ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(inserted),
                     reinterpret_cast<LPARAM>(&state));
    }
  }

  HWND list_ = nullptr;
  OptionsModel& model_;
};

class OptionsDialog final : public BaseDialog<OptionsDialog> {
 public:
  INT_PTR Run(HWND owner) { return RunModal(kOptionsDialogId, owner); }

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
      case WM_INITDIALOG: return OnInitDialog();
      case WM_COMMAND: return OnCommand(LOWORD(wParam));
      default: return FALSE;
    }
  }

 private:
  BOOL OnInitDialog() {
    tab_ = ::GetDlgItem(hwnd(), kOptionsTabId);
    model_.Load();
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(W(model_.tabLabel()));
    ::SendMessageW(tab_, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    RECT tabRect{};
    ::GetWindowRect(tab_, &tabRect);
    pageWidth_ = tabRect.right - tabRect.left;
    pageHeight_ = tabRect.bottom - tabRect.top;
    if (HWND page = page_.Create(hwnd())) {
      ::SetWindowPos(page, HWND_TOP, kPageLeft, kPageTop, pageWidth_, pageHeight_, SWP_SHOWWINDOW);
    }
    return TRUE;
  }

  BOOL OnCommand(int id) {
    switch (id) {
      case IDOK:
        page_.Accept();
        ::EndDialog(hwnd(), IDOK);
        return TRUE;
      case IDCANCEL:
        ::EndDialog(hwnd(), IDCANCEL);
        return TRUE;
      default:
        return FALSE;
    }
  }

  // Where the page sits in the dialog's client area; its size is the tab control's.
  static constexpr int kPageLeft = 33;
  static constexpr int kPageTop = 46;
  HWND tab_ = nullptr;
  OptionsModel model_;
  AgentSelectPage page_{model_};
  int pageWidth_ = 0;
  int pageHeight_ = 0;
};

class AboutDialog final : public BaseDialog<AboutDialog> {
 public:
  void Run(HWND owner) { RunModal(kAboutDialogId, owner); }

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
      case WM_INITDIALOG: return OnInitDialog();
      case WM_COMMAND: return OnCommand(LOWORD(wParam));
      default: return FALSE;
    }
  }

 private:
  BOOL OnInitDialog() {
    if (const auto version = AboutVersionLine()) {
      ::SetDlgItemTextW(hwnd(), kAboutVersionId, W(*version));
    }
    ::SetDlgItemTextW(hwnd(), kAboutCopyrightId, W(AboutCopyrightLine()));
    return TRUE;
  }

  BOOL OnCommand(int id) {
    if (id != IDOK && id != IDCANCEL) return FALSE;
    ::EndDialog(hwnd(), id);
    return TRUE;
  }
};

}  // namespace

INT_PTR ShowOptionsDialog(HWND owner) {
  OptionsDialog dialog;
  return dialog.Run(owner);
}

void ShowAboutDialog(HWND owner) {
  AboutDialog dialog;
  dialog.Run(owner);
}

}  // namespace norvex::dialogs::win32
