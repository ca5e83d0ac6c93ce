#include "tools/win32/host_band_win.h"

#include <cstdio>

namespace norvex::tools::win32 {

namespace {

std::string HresultText(const char* step, HRESULT hr) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (0x%08lX)", step, static_cast<unsigned long>(hr));
  return text;
}

}  // namespace

HostBand::~HostBand() { Close(); }

bool HostBand::Load(const std::wstring& path, std::string& error) {
  module_.Reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module_) {
    error = "cannot load the toolbar module (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  return true;
}

bool HostBand::LoadRegistered(const CLSID& classId, std::string& error) {
  HRESULT hr = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                  band_.ReceiveVoid());
  if (FAILED(hr) || !band_) {
    error = HresultText("CoCreateInstance of the registered band", hr);
    return false;
  }
  // The object's interface table lies in the module that made it; holding that module here
  // keeps the unloading order of Load().
  const void* table = *reinterpret_cast<void* const*>(band_.get());
  HMODULE holding = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            static_cast<const wchar_t*>(table), &holding)) {
    error = "cannot find the module that made the band";
    return false;
  }
  module_.Reset(holding);
  return true;
}

bool HostBand::Create(const CLSID& classId, IUnknown* site, std::string& error) {
  if (!band_ && !MakeThroughClassObject(classId, error)) return false;
  band_->QueryInterface(IID_IDeskBand, deskBand_.ReceiveVoid());
  band_->QueryInterface(IID_IInputObject, inputObject_.ReceiveVoid());
  HRESULT hr = band_->SetSite(site);
  if (FAILED(hr)) {
    error = HresultText("IObjectWithSite::SetSite", hr);
    return false;
  }
  if (!deskBand_) {
    error = "the band has no IDeskBand";
    return false;
  }
  hr = deskBand_->ShowDW(TRUE);
  if (FAILED(hr)) {
    error = HresultText("IDeskBand::ShowDW", hr);
    return false;
  }
  return true;
}

bool HostBand::MakeThroughClassObject(const CLSID& classId, std::string& error) {
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  // Through a function type without parameters, which any function pointer converts to quietly.
  const auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module_.get(), "DllGetClassObject")));
  if (!getClassObject) {
    error = "the toolbar module exports no DllGetClassObject";
    return false;
  }
  HRESULT hr = getClassObject(classId, IID_IClassFactory, factory_.ReceiveVoid());
  if (FAILED(hr) || !factory_) {
    error = HresultText("DllGetClassObject", hr);
    return false;
  }
  hr = factory_->CreateInstance(nullptr, IID_IObjectWithSite, band_.ReceiveVoid());
  if (FAILED(hr) || !band_) {
    error = HresultText("IClassFactory::CreateInstance(IObjectWithSite)", hr);
    return false;
  }
  return true;
}

HWND HostBand::Window() const {
  HWND window = nullptr;
  if (!deskBand_ || FAILED(deskBand_->GetWindow(&window))) return nullptr;
  return window;
}

HRESULT HostBand::TranslateAccelerator(MSG* msg) const {
  return inputObject_ ? inputObject_->TranslateAcceleratorIO(msg) : S_FALSE;
}

void HostBand::Close() {
  if (deskBand_) deskBand_->CloseDW(0);
  if (band_) band_->SetSite(nullptr);
  inputObject_.Reset();
  deskBand_.Reset();
  band_.Reset();
  factory_.Reset();
}

}  // namespace norvex::tools::win32
