#include "tools/win32/host_window_win.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "common/text.h"
#include "tools/win32/host_frame_win.h"

namespace norvex::tools::win32 {

using platform::win32::W;

namespace {

constexpr wchar_t kWindowClass[] = L"NorvexHostWindow";
// The frame's title while the band is being made, and once it is in place.
constexpr wchar_t kLoadingTitle[] = L"NorvexHost (読み込み中)";
constexpr wchar_t kReadyTitle[] = L"NorvexHost";
constexpr int kMargin = 4;
constexpr int kAddressHeight = 22;
constexpr int kLabelWidth = 56;
// The toolbar's band is as high as the browser's toolbar rows.
constexpr int kBandHeight = kSiteHeight;
// The log keeps this many characters; older lines go.
constexpr int kLogLimit = 200000;

}  // namespace

InteractiveWindow::~InteractiveWindow() { Destroy(); }

void InteractiveWindow::Destroy() {
  BaseWindow::Destroy();  // the children go with the frame
  label_ = address_ = site_ = log_ = nullptr;
}

bool InteractiveWindow::Create(int width, int height) {
  const platform::win32::WindowClassLook look{0, ::LoadCursorW(nullptr, IDC_ARROW),
                                              reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                              ::LoadIconW(nullptr, IDI_APPLICATION)};
  if (!RegisterClassOnce(kWindowClass, look) || !RegisterHostClass(kSiteClass, ::DefWindowProcW)) {
    return false;
  }
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // The system places the frame (CW_USEDEFAULT): the rectangle gives only its size.
  if (!CreateWindowOfClass(
          kWindowClass, 0, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
          RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + width, CW_USEDEFAULT + height},
          nullptr, 0, kLoadingTitle)) {
    return false;
  }
  label_ = ::CreateWindowExW(0, L"Static", L"アドレス", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0,
                             0, 0, 0, hwnd(), nullptr, instance, nullptr);
  address_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"about:blank",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
                               hwnd(), nullptr, instance, nullptr);
  site_ = ::CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                            hwnd(), nullptr, instance, nullptr);
  log_ = ::CreateWindowExW(
      WS_EX_CLIENTEDGE, L"Edit", L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 0, 0, 0, 0,
      hwnd(), nullptr, instance, nullptr);
  if (!label_ || !address_ || !site_ || !log_) return false;
  font_.Reset(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic"));
  const HGDIOBJ font = font_ ? static_cast<HGDIOBJ>(font_.get()) : ::GetStockObject(DEFAULT_GUI_FONT);
  for (HWND control : {label_, address_, log_}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ::SendMessageW(log_, EM_SETLIMITTEXT, kLogLimit * 2, 0);
  Layout();
  ::ShowWindow(hwnd(), SW_SHOW);
  ::SetForegroundWindow(hwnd());
  ::UpdateWindow(hwnd());
  return true;
}

void InteractiveWindow::Layout() {
  if (!hwnd() || !site_) return;
  RECT client;
  ::GetClientRect(hwnd(), &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  ::MoveWindow(label_, kMargin, kMargin, kLabelWidth, kAddressHeight, TRUE);
  ::MoveWindow(address_, kMargin + kLabelWidth, kMargin,
               std::max(width - 2 * kMargin - kLabelWidth, 0), kAddressHeight, TRUE);
  const int bandTop = 2 * kMargin + kAddressHeight;
  ::MoveWindow(site_, 0, bandTop, width, kBandHeight, TRUE);
  // What the browser's band container does when its window changes size: the band follows.
  if (HWND band = ::GetWindow(site_, GW_CHILD)) {
    ::SetWindowPos(band, nullptr, 0, 0, width, kBandHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const int logTop = bandTop + kBandHeight + kMargin;
  ::MoveWindow(log_, kMargin, logTop, std::max(width - 2 * kMargin, 0),
               std::max(height - logTop - kMargin, 0), TRUE);
}

LRESULT InteractiveWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      return OnSize();
    case WM_CLOSE:
      return OnClose();
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

LRESULT InteractiveWindow::OnSize() {
  Layout();
  return 0;
}

// The loop ends; the band is closed before its windows go with the frame. A close that comes
// while the band is still being made (its own message pumps would take the quit message) is
// remembered.
LRESULT InteractiveWindow::OnClose() {
  closed_ = true;
  ::PostQuitMessage(0);
  return 0;
}

void InteractiveWindow::BandReady() {
  Layout();
  if (hwnd()) ::SetWindowTextW(hwnd(), kReadyTitle);
}

void InteractiveWindow::ShowAddress(const std::u16string& url) {
  if (address_) ::SetWindowTextW(address_, W(url));
}

void InteractiveWindow::OnLine(const std::string& line) {
  if (!log_) return;
  const std::u16string text = Utf8ToUtf16(line) + u"\r\n";
  int length = ::GetWindowTextLengthW(log_);
  if (length > kLogLimit) {
    // The oldest half goes, up to a line's end.
    ::SendMessageW(log_, EM_SETSEL, 0, ::SendMessageW(log_, EM_LINEINDEX,
                                                      ::SendMessageW(log_, EM_LINEFROMCHAR,
                                                                     length / 2, 0) + 1, 0));
    ::SendMessageW(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    length = ::GetWindowTextLengthW(log_);
  }
  ::SendMessageW(log_, EM_SETSEL, length, length);
  ::SendMessageW(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(text)));
}

bool InteractiveWindow::IsBandWindow(const HostBand& band, HWND window) const {
  const HWND toolbar = band.Window();
  if (!toolbar || !window) return false;
  if (window == toolbar || ::IsChild(toolbar, window)) return true;
  // The search box's drop-down is a window of its own, outside the frame.
  wchar_t name[32];
  const HWND root = ::GetAncestor(window, GA_ROOT);
  return ::GetClassNameW(root, name, static_cast<int>(std::size(name))) > 0 &&
         ::wcscmp(name, kDropListClass) == 0;
}

void InteractiveWindow::Run(const HostBand& band) {
  MSG msg;
  while (!closed_ && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
      if (IsBandWindow(band, msg.hwnd) && band.TranslateAccelerator(&msg) == S_OK) continue;
      if (msg.message == WM_KEYDOWN && msg.hwnd == address_) {
        if (msg.wParam == VK_RETURN) {
          if (go_) go_(WindowText(address_));
          continue;
        }
        // Ctrl+A selects the whole address, as in a browser's address line.
        if (msg.wParam == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
          ::SendMessageW(address_, EM_SETSEL, 0, -1);
          continue;
        }
      }
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace norvex::tools::win32
