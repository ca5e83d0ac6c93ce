#include "tools/win32/host_frame_win.h"

#include <algorithm>

namespace norvex::tools::win32 {

namespace {

constexpr wchar_t kFrameClass[] = L"NorvexHostFrame";

// A message loop that goes round for ever (a window that keeps posting to itself) must not hang
// the host: after this many messages in one go the loop gives up until the next command.
constexpr int kMaxMessagesPerPump = 100000;

}  // namespace

bool RegisterHostClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW wc = {sizeof wc};
  wc.lpfnWndProc = procedure;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return ::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::u16string WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  const int n = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return platform::win32::FromW(text.data(), static_cast<size_t>(std::max(n, 0)));
}

HostFrame::~HostFrame() { Destroy(); }

void HostFrame::Destroy() {
  if (frame_) ::DestroyWindow(frame_);  // the site window goes with it
  frame_ = site_ = nullptr;
}

bool HostFrame::Create(int width) {
  if (!RegisterHostClass(kFrameClass, ::DefWindowProcW) ||
      !RegisterHostClass(kSiteClass, ::DefWindowProcW)) {
    return false;
  }
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
