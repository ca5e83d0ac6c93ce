#include "band/win32/tool_band_win.h"

#include <shlguid.h>

#include <type_traits>

#include "band/win32/browser_event_sink_win.h"
#include "band/win32/hook_table_win.h"
#include "band/win32/module_win.h"
#include "platform/win32/module_instance.h"
#include "resources/control_ids.h"
#include "toolbar/toolbar_window.h"

namespace norvex::band::win32 {

namespace {

// The band's sizes follow the toolbar's: at least as wide as the settings button's right edge
// lies, ideally with the margin the layout keeps free before it, and one row of buttons high.
constexpr LONG kMinWidth = toolbar::kSettingsMinRight;
constexpr LONG kActualWidth = toolbar::kSettingsMinRight + toolbar::kOverflowMargin;
constexpr LONG kBandHeight = toolbar::kButtonHeight;
static_assert(kMinWidth == 323 && kActualWidth == 373 && kBandHeight == 24,
              "the browser is asked for 323 x 24 at least and 373 x 24 ideally");

// The activation-context functions, looked up at run time: a system without them leaves the
// controls unthemed.
struct ActivationApi {
  HANDLE(WINAPI* create)(PCACTCTXW) = nullptr;
  BOOL(WINAPI* activate)(HANDLE, ULONG_PTR*) = nullptr;
  BOOL(WINAPI* deactivate)(DWORD, ULONG_PTR) = nullptr;
  BOOL(WINAPI* release)(HANDLE) = nullptr;
};

const ActivationApi& Activation() {
  static const ActivationApi api = [] {
    ActivationApi a;
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
      // Through a function type without parameters, which every function pointer converts from.
      const auto find = [kernel](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            reinterpret_cast<void (*)()>(::GetProcAddress(kernel, name)));
      };
      find(a.create, "CreateActCtxW");
      find(a.activate, "ActivateActCtx");
      find(a.deactivate, "DeactivateActCtx");
      find(a.release, "ReleaseActCtx");
    }
    return a;
  }();
  return api;
}

template <typename T>
void Hold(ComPtr<T>& holder, T* object) {
  holder = ComPtr<T>();
  if (object) {
    object->AddRef();
    *holder.Receive() = object;
  }
}

}  // namespace

ToolBand::ToolBand() = default;

ToolBand::~ToolBand() {
  CloseDW(0);
  DeactivateContext();
  if (activationContext_ != INVALID_HANDLE_VALUE && Activation().release) {
    Activation().release(activationContext_);
  }
}

// ---- IUnknown --------------------------------------------------------------------------------

std::span<const InterfaceEntry<ToolBand>> ToolBand::InterfaceTable() {
  using platform::win32::Entry;
  // IOleWindow and IDockingWindow are answered by IDeskBand, which derives from both.
  static const InterfaceEntry<ToolBand> table[] = {
      Entry<ToolBand, IObjectWithSite>(IID_IObjectWithSite),
      Entry<ToolBand, IInputObject>(IID_IInputObject), Entry<ToolBand, IDeskBand>(IID_IDeskBand),
      Entry<ToolBand, IDeskBand>(IID_IOleWindow), Entry<ToolBand, IDeskBand>(IID_IDockingWindow)};
  return table;
}

// ---- IObjectWithSite -------------------------------------------------------------------------

void ToolBand::ActivateContext() {
  const ActivationApi& api = Activation();
  if (!api.create || !api.activate || contextActive_) return;
  if (activationContext_ == INVALID_HANDLE_VALUE) {
    HMODULE module = platform::win32::ModuleInstance();
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    context.lpSource = path;
    context.lpResourceName = MAKEINTRESOURCEW(kManifestResourceId);
    context.hModule = module;
    activationContext_ = api.create(&context);
  }
  if (activationContext_ != INVALID_HANDLE_VALUE &&
      api.activate(activationContext_, &activationCookie_)) {
    contextActive_ = true;
  }
}

void ToolBand::DeactivateContext() {
  if (contextActive_ && Activation().deactivate) Activation().deactivate(0, activationCookie_);
  contextActive_ = false;
}

HRESULT ToolBand::SetSite(IUnknown* site) noexcept {
  if (site) {
    ActivateContext();
  } else {
    DeactivateContext();
  }
  inputSite_ = ComPtr<IInputObjectSite>();
  if (window_) window_->SetFocusSite(nullptr, nullptr);
  if (!site) return S_OK;

  ComPtr<IOleWindow> oleWindow;
  HWND parent = nullptr;
  if (FAILED(site->QueryInterface(IID_IOleWindow, oleWindow.ReceiveVoid())) || !oleWindow ||
      FAILED(oleWindow->GetWindow(&parent)) || !::IsWindow(parent)) {
    return E_FAIL;
  }
  parent_ = parent;
  if (FAILED(site->QueryInterface(IID_IServiceProvider, serviceProvider_.ReceiveVoid())) ||
      !serviceProvider_) {
    return E_FAIL;
  }
  // The browser of an earlier site hears from this band no more, whatever this site gives.
  DisconnectEvents();
  ComPtr<IWebBrowser2> browser;
  serviceProvider_->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid());
  browser_.SetBrowser(browser.get());

  if (!CreateToolbarWindow()) return E_FAIL;

  if (SUCCEEDED(site->QueryInterface(IID_IInputObjectSite, inputSite_.ReceiveVoid())) && inputSite_) {
    window_->SetFocusSite(inputSite_.get(), static_cast<IObjectWithSite*>(this));
  }
  return S_OK;
}

HRESULT ToolBand::GetSite(REFIID iid, void** site) noexcept {
  if (!site) return E_POINTER;
  *site = nullptr;
  if (!inputSite_) return E_FAIL;
  return inputSite_->QueryInterface(iid, site);
}

bool ToolBand::CreateToolbarWindow() {
  if (!window_) {
    if (!parent_) return false;
    auto window = std::make_unique<toolbar::win32::Win32ToolbarWindow>(actions_);
    actions_.SetWindow(window.get());
    if (!window->Create(parent_)) {
      actions_.SetWindow(nullptr);
      return false;
    }
    window_ = std::move(window);
    InstallToolbarHook(window_->hwnd());
  }
  ConnectEvents();
  return true;
}

void ToolBand::ConnectEvents() {
  DisconnectEvents();
  IWebBrowser2* browser = browser_.browser();
  if (!browser) return;
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid())) ||
      !container || FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())) ||
      !point) {
    return;
  }
  ComPtr<BrowserEventSink> sink = platform::win32::MakeComObject<BrowserEventSink>(this);
  if (!sink) return;
  if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(sink.get()), &eventCookie_))) {
    sink_ = std::move(sink);
    eventPoint_ = std::move(point);
  } else {
    sink->Detach();
  }
}

void ToolBand::DisconnectEvents() {
  if (!sink_) return;
  if (eventPoint_) eventPoint_->Unadvise(eventCookie_);
  eventPoint_.Reset();
  // A browser that still holds the sink may call it: it reaches nobody now.
  sink_->Detach();
  sink_.Reset();
  eventCookie_ = 0;
}

// ---- IOleWindow, IDockingWindow, IDeskBand ---------------------------------------------------

HRESULT ToolBand::GetWindow(HWND* window) noexcept {
  if (!window) return E_POINTER;
  *window = window_ ? window_->hwnd() : nullptr;
  return window_ ? S_OK : E_FAIL;
}

HRESULT ToolBand::ContextSensitiveHelp(BOOL) noexcept { return E_NOTIMPL; }

HRESULT ToolBand::ShowDW(BOOL show) noexcept {
  if (!window_) return E_FAIL;
  ::ShowWindow(window_->hwnd(), show ? SW_SHOW : SW_HIDE);
  return S_OK;
}

HRESULT ToolBand::CloseDW(DWORD) noexcept {
  if (window_) {
    ::ShowWindow(window_->hwnd(), SW_HIDE);
    RemoveToolbarHook(window_->hwnd());
    window_->Destroy();
    window_.reset();
    actions_.SetWindow(nullptr);
  }
  DisconnectEvents();
  browser_.SetBrowser(nullptr);
  serviceProvider_ = ComPtr<IServiceProvider>();
  return S_OK;
}

HRESULT ToolBand::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) noexcept { return E_NOTIMPL; }

HRESULT ToolBand::GetBandInfo(DWORD, DWORD, DESKBANDINFO* info) noexcept {
  if (!info) return E_INVALIDARG;
  if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {kMinWidth, kBandHeight};
  if (info->dwMask & DBIM_MAXSIZE) info->ptMaxSize = {::GetSystemMetrics(SM_CXSCREEN), kBandHeight};
  if (info->dwMask & DBIM_INTEGRAL) info->ptIntegral = {1, 1};
  if (info->dwMask & DBIM_ACTUAL) info->ptActual = {kActualWidth, kBandHeight};
  if (info->dwMask & DBIM_MODEFLAGS) info->dwModeFlags = DBIMF_VARIABLEHEIGHT;
  // The band takes the browser's default background; it has no title.
  info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
  return S_OK;
}

// ---- IInputObject ----------------------------------------------------------------------------

HRESULT ToolBand::UIActivateIO(BOOL activate, MSG*) noexcept {
  if (activate && window_) window_->FocusSearchBox();
  return S_OK;
}

HRESULT ToolBand::HasFocusIO() noexcept {
  return window_ && window_->HasFocus() ? S_OK : S_FALSE;
}

HRESULT ToolBand::TranslateAcceleratorIO(MSG* msg) noexcept {
  return window_ ? window_->TranslateAccelerator(msg) : S_FALSE;
}

// ---- Browser events --------------------------------------------------------------------------

void ToolBand::OnBeforeNavigate(const std::u16string& address) { page_.OnBeforeNavigate(address); }

void ToolBand::OnDocumentComplete() {
  const std::optional<int> item = page_.OnDocumentComplete();
  if (!item || !window_) return;
  toolbar::ToolbarWindow& toolbar = window_->toolbar();
  toolbar.AdoptWebTranslationItem(*item);
  toolbar.RelayoutAgents();
  toolbar.RepaintWithoutErasing();
}

}  // namespace norvex::band::win32
