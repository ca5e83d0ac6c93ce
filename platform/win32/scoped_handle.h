// One owner for every kind of Windows handle: kernel objects, find handles, Internet and
// service-manager handles, event sources, registry keys, loaded modules, local memory, windows,
// menus and GDI objects. A ScopedHandle closes what it holds
// when it goes, moves but never copies, hands its handle over only through Take() and takes one
// from an out-parameter through Receive(). Closing
// in the destructor keeps the thread's last error, so a failure reported just before the handle
// goes out of scope is still there for the caller to read.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <wininet.h>
#include <winsvc.h>

#include <utility>

namespace norvex::platform::win32 {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() {
    const DWORD error = ::GetLastError();
    Close();
    ::SetLastError(error);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Take()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }

  bool valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return valid(); }
  Handle get() const { return handle_; }

  // Gives up ownership: the caller closes the handle.
  Handle Take() { return std::exchange(handle_, Traits::Null()); }
  // For an API's out-parameter: closes what is held and hands out the empty slot, which the
  // API fills (or leaves empty).
  Handle* Receive() {
    Close();
    return &handle_;
  }
  // Closes what is held and takes `handle`.
  void Reset(Handle handle = Traits::Null()) {
    Close();
    handle_ = handle;
  }
  // Closes the handle now; false (with the last error of the close) when the close failed.
  // Closing an empty holder succeeds.
  bool Close() {
    if (!valid()) return true;
    return Traits::Close(std::exchange(handle_, Traits::Null()));
  }

 private:
  Handle handle_ = Traits::Null();
};

// Kernel objects: files, processes, threads, events. Both null and INVALID_HANDLE_VALUE are
// "no handle", since the API uses one or the other depending on the function.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return ::CloseHandle(h) != FALSE; }
};

// FindFirstFileW's search handles.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return ::FindClose(h) != FALSE; }
};

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::InternetCloseHandle(h) != FALSE; }
};

struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::CloseServiceHandle(h) != FALSE; }
};

// An event log source from RegisterEventSource.
struct EventSourceTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::DeregisterEventSource(h) != FALSE; }
};

// A module from LoadLibrary or LoadLibraryEx.
struct LibraryTraits {
  using Handle = HMODULE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::FreeLibrary(h) != FALSE; }
};

// Memory that the system allocated for the caller to free with LocalFree (security
// descriptors, SID strings, CommandLineToArgvW's list).
template <typename T>
struct LocalMemoryTraits {
  using Handle = T;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::LocalFree(reinterpret_cast<HLOCAL>(h)) == nullptr; }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::RegCloseKey(h) == ERROR_SUCCESS; }
};

struct WindowTraits {
  using Handle = HWND;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::DestroyWindow(h) != FALSE; }
};

struct MenuTraits {
  using Handle = HMENU;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::DestroyMenu(h) != FALSE; }
};

// Pens, brushes, fonts, bitmaps and regions.
template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::DeleteObject(h) != FALSE; }
};

// An image list of the common controls (until a control takes it over).
struct ImageListTraits {
  using Handle = HIMAGELIST;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::ImageList_Destroy(h) != FALSE; }
};

// A memory device context from CreateCompatibleDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::DeleteDC(h) != FALSE; }
};

// The screen's device context from GetDC(nullptr).
struct ScreenDcTraits {
  using Handle = HDC;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::ReleaseDC(nullptr, h) != 0; }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedInternetHandle = ScopedHandle<InternetHandleTraits>;
using ScopedServiceHandle = ScopedHandle<ServiceHandleTraits>;
using ScopedEventSource = ScopedHandle<EventSourceTraits>;
using ScopedLibrary = ScopedHandle<LibraryTraits>;
template <typename T>
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits<T>>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedWindow = ScopedHandle<WindowTraits>;
using ScopedMenu = ScopedHandle<MenuTraits>;
using ScopedBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using ScopedFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using ScopedPen = ScopedHandle<GdiObjectTraits<HPEN>>;
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;
using ScopedImageList = ScopedHandle<ImageListTraits>;
using ScopedScreenDc = ScopedHandle<ScreenDcTraits>;

// Selects a GDI object into a device context for the life of the object, then restores the one
// that was selected before.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace norvex::platform::win32
