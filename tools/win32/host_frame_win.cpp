#include "tools/win32/host_frame_win.h"

namespace norvex::tools::win32 {

namespace {

constexpr wchar_t kFrameClass[] = L"NorvexHostFrame";
constexpr wchar_t kSiteClass[] = L"NorvexHostSite";

bool RegisterClassOnce(const wchar_t* name, UINT style) {
  WNDCLASSEXW wc = {sizeof wc};
  wc.style = style;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return ::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A message loop that goes round for ever (a window that keeps posting to itself) must not hang
// the host: after this many messages in one go the loop gives up until the next command.
constexpr int kMaxMessagesPerPump = 100000;

}  // namespace

HostFrame::~HostFrame() { Destroy(); }

void HostFrame::Destroy() {
  if (frame_) ::DestroyWindow(frame_);  // the site window goes with it
  frame_ = site_ = nullptr;
}

bool HostFrame::Create(int width) {
  if (!RegisterClassOnce(kFrameClass, 0) || !RegisterClassOnce(kSiteClass, 0)) return false;
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  frame_ = ::CreateWindowExW(0, kFrameClass, L"NorvexHost", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                             width, kSiteHeight, nullptr, nullptr, instance, nullptr);
  if (!frame_) return false;
  site_ = ::CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                            width, kSiteHeight, frame_, nullptr, instance, nullptr);
  if (!site_) return false;
  // The toolbar's windows count as visible only inside a shown frame.
  ::ShowWindow(frame_, SW_SHOW);
  ::SetForegroundWindow(frame_);
  PumpUntilIdle();
  return true;
}

void HostFrame::SetSiteWidth(int width) {
  // The site has no border: its client area is its window.
  ::SetWindowPos(frame_, nullptr, 0, 0, width, kSiteHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(site_, nullptr, 0, 0, width, kSiteHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HostFrame::PumpUntilIdle() {
  MSG msg;
  for (int n = 0; n < kMaxMessagesPerPump && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void HostFrame::RunFor(int milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    PumpUntilIdle();
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) break;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }
  PumpUntilIdle();
}

}  // namespace norvex::tools::win32
