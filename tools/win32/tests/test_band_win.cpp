// A small band object for testing NorvexHost.exe without the toolbar module: it makes the windows
// that the host reads (buttons with their properties, a search box with its edit field, a grip,
// a chevron, a drop-down list) and, through them, calls everything of the host that the toolbar
// calls: navigation, the document and the two events, a new browser window, a dialog, a program
// start, the document's address, the refresh broadcast, a timer and popup menus.
//
// Buttons (command: what it does):
//   2024 "Go"       navigates to http://band.example/go?from=CURRENT-ADDRESS
//   2025 "Menu"     a menu: 8100 help window, 8101 about dialog, 8102 uninstall start,
//                   8103 navigates to http://band.example/document?URL (the document's
//                   get_URL), 8104 a timer that navigates 50 ms later,
//                   submenu 2030 "Sub" with 8200, which navigates to http://band.example/sub200
//   2026 "Hidden"   hidden; in the chevron's menu
//   2027 "設定"     the settings button at the right end: the options dialog
//   0               the chevron: 2026 "Hidden", and 2031 "Sub" with 8201 "Sub item", which
//                   navigates to http://band.example/sub
// The search box: Enter navigates to http://band.example/search?q=TEXT, F4 opens the drop-down
// (the text, then "first"), Down selects the next entry, Escape closes it. DocumentComplete sets
// Go's caption to "CHARSET LANG" (LANG "-" when the attribute is null). A BeforeNavigate2 to an
// address holding "cancel" is cancelled. The refresh broadcast turns Go's caption into
// "Go (refreshed)". Dragging the grip moves it to the toolbar x-coordinate under the mouse.

#include "platform/win32/windows_api.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <atomic>
#include <span>
#include <string>

#include "band/win32/module_win.h"
#include "platform/win32/com_object.h"
#include "platform/win32/com_text.h"
#include "resources/control_ids.h"

namespace {

using norvex::platform::win32::ComObject;
using norvex::platform::win32::ComPtr;
using norvex::platform::win32::Entry;
using norvex::platform::win32::FromW;
using norvex::platform::win32::InterfaceEntry;
using norvex::platform::win32::NewBstr;
using norvex::platform::win32::ScopedBstr;

// The band's class, the coclass ToolBand of the toolbar module.
const CLSID& kClsidToolBand = norvex::band::win32::ToolBandClsid();

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};

constexpr int kBandHeight = 24;
constexpr UINT kGripMoved = WM_APP + 1;
constexpr UINT_PTR kTimerId = 7;

std::wstring TextOf(HWND window) {
  wchar_t text[256];
  const int n = ::GetWindowTextW(window, text, 256);
  return std::wstring(text, n > 0 ? n : 0);
}

// A modal dialog with just a caption and a Cancel button, from a template built in memory.
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) noexcept {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    ::EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

void ShowDialog(HWND owner, const wchar_t* caption) {
  alignas(DWORD) WORD buffer[256] = {};
  auto* tmpl = reinterpret_cast<DLGTEMPLATE*>(buffer);
  tmpl->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  tmpl->cx = 120;
  tmpl->cy = 40;
  WORD* p = reinterpret_cast<WORD*>(tmpl + 1);
  *p++ = 0;  // no menu
  *p++ = 0;  // the dialog class
  for (const wchar_t* c = caption; *c; ++c) *p++ = static_cast<WORD>(*c);
  *p++ = 0;
  ::DialogBoxIndirectParamW(g_module, tmpl, owner, &DialogProc, 0);
}

class TestBand;

// The sink of DWebBrowserEvents2.
class EventSink final : public IDispatch {
 public:
  explicit EventSink(TestBand& band) : band_(band) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override;

 private:
  TestBand& band_;
};

class TestBand final : public ComObject<TestBand, IObjectWithSite, IDeskBand, IInputObject> {
 public:
  TestBand() { ++g_objects; }
  ~TestBand() override { --g_objects; }

  static std::span<const InterfaceEntry<TestBand>> InterfaceTable() {
    static const InterfaceEntry<TestBand> table[] = {
        Entry<TestBand, IObjectWithSite>(IID_IObjectWithSite),
        Entry<TestBand, IDeskBand>(IID_IDeskBand), Entry<TestBand, IDeskBand>(IID_IDockingWindow),
        Entry<TestBand, IDeskBand>(IID_IOleWindow),
        Entry<TestBand, IInputObject>(IID_IInputObject)};
    return table;
  }

  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID, void** out) override {
    *out = nullptr;
    return E_FAIL;
  }

  // IOleWindow, IDockingWindow, IDeskBand
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = toolbar_;
    return toolbar_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ShowDW(BOOL show) override {
    if (!toolbar_) return E_FAIL;
    ::ShowWindow(toolbar_, show ? SW_SHOW : SW_HIDE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CloseDW(DWORD) override;
  HRESULT STDMETHODCALLTYPE ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBandInfo(DWORD, DWORD, DESKBANDINFO*) override { return S_OK; }

  // IInputObject
  HRESULT STDMETHODCALLTYPE UIActivateIO(BOOL activate, MSG*) override {
    if (activate && edit_) ::SetFocus(edit_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE HasFocusIO() override {
    const HWND focus = ::GetFocus();
    return focus && (focus == toolbar_ || ::IsChild(toolbar_, focus)) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE TranslateAcceleratorIO(MSG* msg) override;

  // The events.
  void OnBeforeNavigate(const std::wstring& url, VARIANT_BOOL* cancel) {
    if (url.find(L"cancel") != std::wstring::npos) *cancel = VARIANT_TRUE;
  }
  void OnDocumentComplete();

  ULONG SinkAddRef() { return AddRef(); }
  ULONG SinkRelease() { return Release(); }

 private:
  static LRESULT CALLBACK ToolbarProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  static LRESULT CALLBACK MenuButtonProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  static LRESULT CALLBACK GripProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  static LRESULT CALLBACK RefreshHook(int code, WPARAM wParam, LPARAM lParam) noexcept;

  HWND MakeButton(int id, const wchar_t* text, int left, int width, int command);
  void Build();
  void PlaceRightEnd();
  void Run(int command);
  void Navigate(const std::wstring& url);
  void ShowDropDown();

  EventSink sink_{*this};
  ComPtr<IWebBrowser2> browser_;
  DWORD cookie_ = 0;
  HWND toolbar_ = nullptr;
  HWND edit_ = nullptr;
  HWND go_ = nullptr;
  HWND settings_ = nullptr;
  HWND chevron_ = nullptr;
  HWND dropList_ = nullptr;
  HHOOK hook_ = nullptr;
  WNDPROC buttonProc_ = nullptr;
};

thread_local TestBand* g_band = nullptr;

ULONG EventSink::AddRef() { return band_.SinkAddRef(); }
ULONG EventSink::Release() { return band_.SinkRelease(); }

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) {
  if (id == DISPID_BEFORENAVIGATE2 && params->cArgs == 7) {
    const VARIANT* url = &params->rgvarg[5];
    if (V_VT(url) != (VT_BYREF | VT_VARIANT) || V_VT(V_VARIANTREF(url)) != VT_BSTR ||
        V_VT(&params->rgvarg[0]) != (VT_BYREF | VT_BOOL) ||
        V_VT(&params->rgvarg[6]) != VT_DISPATCH) {
      return E_INVALIDARG;
    }
    band_.OnBeforeNavigate(V_BSTR(V_VARIANTREF(url)), V_BOOLREF(&params->rgvarg[0]));
  } else if (id == DISPID_DOCUMENTCOMPLETE && params->cArgs == 2) {
    band_.OnDocumentComplete();
  }
  return S_OK;
}

HRESULT TestBand::SetSite(IUnknown* site) {
  if (!site) return S_OK;
  ComPtr<IOleWindow> window;
  ComPtr<IServiceProvider> services;
  HWND parent = nullptr;
  if (FAILED(site->QueryInterface(IID_IOleWindow, window.ReceiveVoid())) ||
      FAILED(window->GetWindow(&parent)) ||
      FAILED(site->QueryInterface(IID_IServiceProvider, services.ReceiveVoid())) ||
      FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                    browser_.ReceiveVoid()))) {
    return E_FAIL;
  }

  WNDCLASSW wc = {};
  wc.lpfnWndProc = &ToolbarProc;
  wc.hInstance = g_module;
  wc.lpszClassName = L"NorvexTestToolbar";
  ::RegisterClassW(&wc);
  wc.lpfnWndProc = &GripProc;
  wc.lpszClassName = L"NorvexTestGrip";
  ::RegisterClassW(&wc);
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.lpszClassName = norvex::kSearchBoxClass;
  ::RegisterClassW(&wc);
  wc.lpszClassName = norvex::kDropListClass;
  ::RegisterClassW(&wc);

  RECT client;
  ::GetClientRect(parent, &client);
  g_band = this;
  toolbar_ = ::CreateWindowExW(0, L"NorvexTestToolbar", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                               client.right, kBandHeight, parent, nullptr, g_module, nullptr);
  if (!toolbar_) return E_FAIL;
  Build();
  hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &RefreshHook, nullptr, ::GetCurrentThreadId());

  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer,
                                         container.ReceiveVoid())) &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive()))) {
    point->Advise(&sink_, &cookie_);
  }
  return S_OK;
}

HRESULT TestBand::CloseDW(DWORD) {
  if (hook_) ::UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
  if (dropList_) ::DestroyWindow(dropList_);
  if (toolbar_) ::DestroyWindow(toolbar_);
  dropList_ = toolbar_ = nullptr;
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  if (browser_ &&
      SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer,
                                         container.ReceiveVoid())) &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive()))) {
    point->Unadvise(cookie_);
  }
  browser_.Reset();
  return S_OK;
}

HWND TestBand::MakeButton(int id, const wchar_t* text, int left, int width, int command) {
  const HWND button = ::CreateWindowExW(
      0, L"Button", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, left, 0, width, kBandHeight,
      toolbar_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_module, nullptr);
  ::SetPropW(button, norvex::kCommandIdProperty,
             reinterpret_cast<HANDLE>(static_cast<INT_PTR>(command)));
  return button;
}

void TestBand::Build() {
  const HWND box =
      ::CreateWindowExW(0, norvex::kSearchBoxClass, L"", WS_CHILD | WS_VISIBLE, 2, 0, 70, 22,
                        toolbar_, reinterpret_cast<HMENU>(5025), g_module, nullptr);
  edit_ = ::CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 70, 22,
                            box, reinterpret_cast<HMENU>(108), g_module, nullptr);
  ::SendMessageW(edit_, EM_LIMITTEXT, 50, 0);
  go_ = MakeButton(2024, L"Go", 74, 40, 2024);
  const HWND menu = MakeButton(2025, L"Menu", 116, 50, 2025);
  ::CreateWindowExW(0, L"NorvexTestGrip", L"", WS_CHILD | WS_VISIBLE, 169, 0, 15, kBandHeight,
                    toolbar_, reinterpret_cast<HMENU>(5024), g_module, nullptr);
  const HWND hidden = MakeButton(2026, L"Hidden", 186, 40, 2026);
  ::ShowWindow(hidden, SW_HIDE);
  settings_ = MakeButton(2027, L"設定", 0, 56, 2027);
  ::SetPropW(settings_, norvex::kSettingsProperty, reinterpret_cast<HANDLE>(1));
  chevron_ = MakeButton(0, L"", 0, 20, 0);
  buttonProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(menu, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuButtonProc)));
  ::SetWindowLongPtrW(chevron_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuButtonProc));
  PlaceRightEnd();
}

// The settings button ends at the client's right edge, but never left of 323; the chevron is
// 3 pixels left of it.
void TestBand::PlaceRightEnd() {
  RECT client;
  ::GetClientRect(toolbar_, &client);
  const int right = client.right > 323 ? client.right : 323;
  ::SetWindowPos(settings_, nullptr, right - 56, 0, 56, kBandHeight, SWP_NOZORDER);
  ::SetWindowPos(chevron_, nullptr, right - 56 - 23, 0, 20, kBandHeight, SWP_NOZORDER);
}

void TestBand::Navigate(const std::wstring& url) {
  VARIANT address, empty;
  ::VariantInit(&address);
  ::VariantInit(&empty);
  V_VT(&address) = VT_BSTR;
  V_BSTR(&address) = NewBstr(FromW(url.c_str(), url.size()));
  browser_->Navigate2(&address, &empty, &empty, &empty, &empty);
  ::VariantClear(&address);
}

void TestBand::Run(int command) {
  switch (command) {
    case 2024: {
      ScopedBstr location;
      browser_->get_LocationURL(location.Receive());
      Navigate(L"http://band.example/go?from=" +
               std::wstring(location.get() ? location.get() : L""));
      break;
    }
    case 2026:
      Navigate(L"http://band.example/hidden");
      break;
    case 8201:
      Navigate(L"http://band.example/sub");
      break;
    case 2027:
      ShowDialog(toolbar_, norvex::kOptionsCaption);
      break;
    case 8100: {
      ComPtr<IWebBrowser2> window;
      if (SUCCEEDED(::CoCreateInstance(
              CLSID_InternetExplorer, nullptr,
              CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER, IID_IWebBrowser2,
              window.ReceiveVoid()))) {
        window->put_Height(500);
        window->put_Width(450);
        VARIANT address, empty;
        ::VariantInit(&address);
        ::VariantInit(&empty);
        V_VT(&address) = VT_BSTR;
        V_BSTR(&address) = NewBstr(u"http://help.band.example/");
        window->Navigate2(&address, &empty, &empty, &empty, &empty);
        ::VariantClear(&address);
      }
      break;
    }
    case 8101:
      ShowDialog(toolbar_, norvex::kAboutCaption);
      break;
    case 8102: {
      wchar_t path[MAX_PATH];
      const DWORD n = ::GetModuleFileNameW(g_module, path, MAX_PATH);
      std::wstring folder(path, n);
      folder.resize(folder.find_last_of(L'\\'));
      const std::wstring program = folder + L"\\NorvexHelper.exe";
      ::ShellExecuteW(nullptr, L"open", program.c_str(), L"/uninstalltoolbar", folder.c_str(),
                      SW_SHOWNORMAL);
      break;
    }
    case 8103: {
      ComPtr<IDispatch> dispatch;
      ComPtr<IHTMLDocument2> document;
      ScopedBstr url;
      if (browser_ && SUCCEEDED(browser_->get_Document(dispatch.Receive())) && dispatch &&
          SUCCEEDED(dispatch->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid())) &&
          document) {
        document->get_URL(url.Receive());
      }
      Navigate(L"http://band.example/document?" + std::wstring(url.get() ? url.get() : L""));
      break;
    }
    case 8200:
      Navigate(L"http://band.example/sub200");
      break;
    case 8104:
      ::SetTimer(toolbar_, kTimerId, 50, nullptr);
      break;
  }
}

void TestBand::OnDocumentComplete() {
  std::wstring caption = L"? ?";
  ComPtr<IDispatch> dispatch;
  ComPtr<IHTMLDocument2> document2;
  ComPtr<IHTMLDocument3> document3;
  ComPtr<IHTMLElementCollection> elements;
  ComPtr<IDispatch> item;
  ComPtr<IHTMLElement> html;
  ScopedBstr charset;
  long length = 0;
  VARIANT index;
  ::VariantInit(&index);
  V_VT(&index) = VT_I4;
  V_I4(&index) = 0;
  ScopedBstr tag(u"html");
  if (SUCCEEDED(browser_->get_Document(dispatch.Receive())) && dispatch &&
      SUCCEEDED(dispatch->QueryInterface(IID_IHTMLDocument2, document2.ReceiveVoid())) &&
      SUCCEEDED(document2->get_charset(charset.Receive())) &&
      SUCCEEDED(dispatch->QueryInterface(IID_IHTMLDocument3, document3.ReceiveVoid())) &&
      SUCCEEDED(document3->getElementsByTagName(tag.get(), elements.Receive())) &&
      SUCCEEDED(elements->get_length(&length)) && length == 1 &&
      SUCCEEDED(elements->item(index, index, item.Receive())) && item &&
      SUCCEEDED(item->QueryInterface(IID_IHTMLElement, html.ReceiveVoid()))) {
    VARIANT lang, xmlLang;
    ::VariantInit(&lang);
    ::VariantInit(&xmlLang);
    ScopedBstr langName(u"lang"), xmlLangName(u"xml:lang");
    html->getAttribute(langName.get(), 0, &lang);
    html->getAttribute(xmlLangName.get(), 0, &xmlLang);
    caption = std::wstring(charset.get() ? charset.get() : L"") + L" " +
              (V_VT(&lang) == VT_BSTR ? std::wstring(V_BSTR(&lang)) : L"-") +
              (V_VT(&xmlLang) == VT_NULL ? L"" : L" xml:lang?");
    ::VariantClear(&lang);
    ::VariantClear(&xmlLang);
  }
  ::SetWindowTextW(go_, caption.c_str());
}

void TestBand::ShowDropDown() {
  if (!dropList_) {
    dropList_ =
        ::CreateWindowExW(WS_EX_TOOLWINDOW, norvex::kDropListClass, L"", WS_POPUP | WS_BORDER, 0, 0,
                          100, 60, toolbar_, nullptr, g_module, nullptr);
    ::CreateWindowExW(0, L"ListBox", L"", WS_CHILD | WS_VISIBLE | LBS_HASSTRINGS | LBS_NOTIFY, 0,
                      0, 100, 60, dropList_, reinterpret_cast<HMENU>(101), g_module, nullptr);
  }
  const HWND list = ::GetDlgItem(dropList_, 101);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TextOf(edit_).c_str()));
  ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"first"));
  ::SendMessageW(list, LB_SETCURSEL, 0, 0);
  ::ShowWindow(dropList_, SW_SHOWNOACTIVATE);
}

HRESULT TestBand::TranslateAcceleratorIO(MSG* msg) {
  if (msg->message != WM_KEYDOWN || ::GetFocus() != edit_) return S_FALSE;
  const HWND list = dropList_ ? ::GetDlgItem(dropList_, 101) : nullptr;
  switch (msg->wParam) {
    case VK_RETURN:
      Navigate(L"http://band.example/search?q=" + TextOf(edit_));
      return S_OK;
    case VK_F4:
      ShowDropDown();
      return S_OK;
    case VK_DOWN:
      if (list) {
        ::SendMessageW(list, LB_SETCURSEL, ::SendMessageW(list, LB_GETCURSEL, 0, 0) + 1, 0);
      }
      return S_OK;
    case VK_ESCAPE:
      if (dropList_) ::ShowWindow(dropList_, SW_HIDE);
      return S_OK;
    default:
      return S_FALSE;
  }
}

LRESULT CALLBACK TestBand::ToolbarProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept {
  static const UINT inRefresh = ::RegisterWindowMessageW(norvex::kInRefreshMessageName);
  TestBand* band = g_band;
  if (message == inRefresh && band) {
    ::SetWindowTextW(band->go_, L"Go (refreshed)");
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      if (band && (HIWORD(wParam) == BN_CLICKED || lParam == 0)) {
        const HWND from = reinterpret_cast<HWND>(lParam);
        band->Run(from ? static_cast<int>(reinterpret_cast<INT_PTR>(
                             ::GetPropW(from, norvex::kCommandIdProperty)))
                       : LOWORD(wParam));
      }
      return 0;
    case WM_SIZE:
      if (band && band->settings_) band->PlaceRightEnd();
      return 0;
    case WM_TIMER:
      if (band && wParam == kTimerId) {
        ::KillTimer(window, kTimerId);
        band->Navigate(L"http://band.example/timer");
      }
      return 0;
    case kGripMoved: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ::ScreenToClient(window, &point);
      ::SetWindowPos(::GetDlgItem(window, 5024), nullptr, point.x, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
      return 0;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// Menu buttons open their menu when the left button goes down.
LRESULT CALLBACK TestBand::MenuButtonProc(HWND button, UINT message, WPARAM wParam,
                                          LPARAM lParam) noexcept {
  TestBand* band = g_band;
  if (message == WM_LBUTTONDOWN && band) {
    const HMENU menu = ::CreatePopupMenu();
    const HMENU sub = ::CreatePopupMenu();
    MENUITEMINFOW info = {sizeof info};
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.hSubMenu = sub;
    if (::GetDlgCtrlID(button) == 0) {
      ::AppendMenuW(menu, MF_STRING, 2026, L"Hidden");
      ::AppendMenuW(sub, MF_STRING, 8201, L"Sub item");
      info.wID = 2031;
    } else {
      ::AppendMenuW(menu, MF_STRING, 8100, L"Help");
      ::AppendMenuW(menu, MF_STRING, 8101, L"About");
      ::AppendMenuW(menu, MF_STRING, 8102, L"Uninstall");
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, 8103, L"Highlight");
      ::AppendMenuW(menu, MF_STRING, 8104, L"Timer");
      ::AppendMenuW(sub, MF_STRING, 8200, L"Search in page");
      info.wID = 2030;
    }
    info.dwTypeData = const_cast<wchar_t*>(L"Sub");
    ::InsertMenuItemW(menu, ::GetMenuItemCount(menu), TRUE, &info);
    RECT r;
    ::GetWindowRect(button, &r);
    ::TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, band->toolbar_,
                       nullptr);
    ::DestroyMenu(menu);
    return 0;
  }
  return ::CallWindowProcW(band ? band->buttonProc_ : ::DefWindowProcW, button, message, wParam,
                           lParam);
}

// While the left button is down on the grip, each mouse move tells the toolbar the screen
// position.
LRESULT CALLBACK TestBand::GripProc(HWND grip, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept {
  static bool dragging = false;
  switch (message) {
    case WM_LBUTTONDOWN:
      dragging = true;
      return 0;
    case WM_LBUTTONUP:
      dragging = false;
      return 0;
    case WM_MOUSEMOVE:
      if (dragging) {
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(grip, &point);
        ::SendMessageW(::GetParent(grip), kGripMoved, 0, MAKELPARAM(point.x, point.y));
      }
      return 0;
  }
  return ::DefWindowProcW(grip, message, wParam, lParam);
}

LRESULT CALLBACK TestBand::RefreshHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  static const UINT refresh = ::RegisterWindowMessageW(norvex::kRefreshMessageName);
  static const UINT inRefresh = ::RegisterWindowMessageW(norvex::kInRefreshMessageName);
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == refresh && g_band) {
    ::PostMessageW(g_band->toolbar_, inRefresh, 0, 0);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* band = new TestBand;
    const HRESULT hr = band->QueryInterface(riid, out);
    band->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

ClassFactory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kClsidToolBand) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
