#include "tools/win32/screenshot_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/com_ptr.h"
#include "platform/win32/scoped_handle.h"

namespace norvex::tools::win32 {

using platform::win32::ComPtr;
using platform::win32::GdiObjectTraits;
using platform::win32::ScopedBitmap;
using platform::win32::ScopedHandle;
using platform::win32::ScopedMemoryDc;
using platform::win32::ScopedScreenDc;
using platform::win32::ScopedSelectObject;

namespace {

std::string Failed(const char* step, HRESULT hr) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (0x%08lX)", step, static_cast<unsigned long>(hr));
  return text;
}

std::string WritePng(HBITMAP bitmap, const std::wstring& path) {
  ComPtr<IWICImagingFactory> factory;
  HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.ReceiveVoid());
  if (FAILED(hr)) return Failed("creating the imaging factory", hr);
  ComPtr<IWICBitmap> source;
  hr = factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, source.Receive());
  if (FAILED(hr)) return Failed("reading the picture", hr);
  UINT width = 0, height = 0;
  source->GetSize(&width, &height);

  ComPtr<IWICStream> stream;
  hr = factory->CreateStream(stream.Receive());
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  if (FAILED(hr)) return Failed("creating the file", hr);
  ComPtr<IWICBitmapEncoder> encoder;
  hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Receive());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (FAILED(hr)) return Failed("creating the PNG encoder", hr);
  ComPtr<IWICBitmapFrameEncode> frame;
  hr = encoder->CreateNewFrame(frame.Receive(), nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr)) hr = frame->WriteSource(source.get(), nullptr);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (FAILED(hr)) return Failed("writing the PNG file", hr);
  return {};
}

// Adds the thread's visible top-level windows that reach below the toolbar's top.
struct PopupSearch {
  PictureArea* picture;
  HWND frame;  // the top-level window that holds the toolbar: not a popup of it

  static BOOL CALLBACK Add(HWND window, LPARAM param) noexcept {
    auto* search = reinterpret_cast<PopupSearch*>(param);
    if (window == search->frame || !::IsWindowVisible(window)) return TRUE;
    RECT rect;
    if (!::GetWindowRect(window, &rect) || ::IsRectEmpty(&rect)) return TRUE;
    if (rect.bottom <= search->picture->windows.front().top) return TRUE;
    search->picture->windows.push_back(rect);
    return TRUE;
  }
};

}  // namespace

PictureArea ToolbarPictureArea(HWND toolbar) {
  PictureArea picture;
  RECT rect{};
  ::GetWindowRect(toolbar, &rect);
  picture.windows.push_back(rect);
  PopupSearch search{&picture, ::GetAncestor(toolbar, GA_ROOT)};
  ::EnumThreadWindows(::GetCurrentThreadId(), &PopupSearch::Add,
                      reinterpret_cast<LPARAM>(&search));
  RECT bounds{};
  for (const RECT& window : picture.windows) ::UnionRect(&bounds, &bounds, &window);
  const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::IntersectRect(&picture.area, &bounds, &screen);
  return picture;
}

std::string SavePicture(const PictureArea& picture, const std::wstring& path) {
  const RECT& area = picture.area;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return "nothing of the toolbar is on the screen";
  ScopedScreenDc screen(::GetDC(nullptr));
  if (!screen.get()) return "cannot read the screen";
  ScopedMemoryDc memory(::CreateCompatibleDC(screen.get()));
  ScopedBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
  if (!memory || !bitmap) return "out of memory for the picture";
  {
    ScopedSelectObject select(memory.get(), bitmap.get());
    if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top,
                  SRCCOPY | CAPTUREBLT)) {
      return "cannot read the screen";
    }
    // Everything but the windows, in the picture's coordinates.
    ScopedHandle<GdiObjectTraits<HRGN>> outside(::CreateRectRgn(0, 0, width, height));
    for (const RECT& window : picture.windows) {
      ScopedHandle<GdiObjectTraits<HRGN>> part(::CreateRectRgn(
          window.left - area.left, window.top - area.top, window.right - area.left,
          window.bottom - area.top));
      ::CombineRgn(outside.get(), outside.get(), part.get(), RGN_DIFF);
    }
    ::FillRgn(memory.get(), outside.get(), ::GetSysColorBrush(COLOR_WINDOW));
  }
  return WritePng(bitmap.get(), path);
}

}  // namespace norvex::tools::win32
