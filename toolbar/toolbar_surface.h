// Seam: the windows of a toolbar. The portable toolbar keeps all state and geometry and tells the
// surface what to show; the Win32 surface makes real child windows of it, the headless surface
// (Linux hosts and tests) keeps only what a test or host asks back.
#pragma once

#include <string>

#include "catalogue/agent_types.h"
#include "search/search_combo_box.h"

namespace norvex::toolbar {

using catalogue::Rect;

// One agent button (or the chevron) as the toolbar holds it.
struct AgentButton {
  int id = 0;         // the identifier it was built with: 2024 + catalogue position, 0 chevron
  int commandId = 0;  // the command its face sends; the Web Page Translation button takes an
                      // item's identifier after a page has loaded
  std::u16string name, text, tooltip;
  int image = 0, offImage = 0, pressedImage = 0;
  uint32_t transparent = 0;
  catalogue::MenuStyle style = catalogue::MenuStyle::kPlain;
  std::vector<catalogue::OverflowEntry> menu;
  Rect rect;
  bool visible = true;
  bool enabled = true;
  bool menuOpen = false;
};

class ToolbarSurface {
 public:
  virtual ~ToolbarSurface() = default;

  // Client widths of the toolbar window and of the window that holds it.
  virtual int ClientWidth() = 0;
  virtual int ParentClientWidth() = 0;

  // Agent buttons and the chevron: create, show the current state, destroy.
  virtual void CreateButton(const AgentButton& button) = 0;
  virtual void UpdateButton(const AgentButton& button) = 0;
  virtual void DestroyButton(int id) = 0;

  // The search box's window at `rect`, which hosts the box's model; null when it cannot be
  // created. The toolbar builds the model over it and connects it: from then on the window
  // reports what the user does to that model, and the box's notifications reach the toolbar as
  // commands 5025, until DestroySearchBox.
  virtual search::SearchComboHost* CreateSearchBox(const Rect& rect) = 0;
  virtual void ConnectSearchBox(search::SearchComboBox& model) = 0;
  virtual void MoveSearchBox(const Rect& rect) = 0;
  // Destroys the window; the model is not called any more.
  virtual void DestroySearchBox() = 0;

  // The resize grip.
  virtual void CreateGrip(const Rect& rect) = 0;
  virtual void MoveGrip(const Rect& rect) = 0;
  virtual void DestroyGrip() = 0;

  // Width in pixels of a single line of text in the toolbar's font, and of a bitmap of the
  // module (0 when there is none).
  virtual int TextWidth(const std::u16string& text) = 0;
  virtual int BitmapWidth(int bitmapId) = 0;

  virtual void StartTimer(int id, int milliseconds) = 0;
  virtual void StopTimer(int id) = 0;
  virtual void Repaint(bool erase) = 0;

  // A screen position's x-coordinate in the toolbar's client coordinates.
  virtual int ScreenToClientX(int screenX, int screenY) = 0;
};

// What the toolbar's commands lead to outside it: the browser, the page tools, the dialogs.
class ToolbarActions {
 public:
  virtual ~ToolbarActions() = default;
  // Fills the template from the toolbar's search box, the page address and the partner
  // identifier; navigates the browser window that hosts the toolbar.
  virtual void OpenTemplateUrl(const std::u16string& urlTemplate,
                               const std::u16string& encoding) = 0;
  virtual void Highlight() = 0;
  virtual void FindInPage() = 0;
  // Shows the options dialog; true when it was closed with OK.
  virtual bool ShowOptions() = 0;
  virtual void ShowAbout() = 0;
  virtual void StartUninstall() = 0;
  virtual void OpenWindow(const std::u16string& url, int width, int height) = 0;
  // Tells every toolbar of every browser window to rebuild.
  virtual void BroadcastRefresh() = 0;
  virtual void DailyUsageCheck() = 0;
};

}  // namespace norvex::toolbar
