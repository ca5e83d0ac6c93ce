// The band object under real windows: sizes for the browser, siting, showing, focus, the
// keyboard filter, the refresh hook across threads, and what is left after CloseDW.
#include "band/win32/tool_band_win.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <olectl.h>
#include <shlguid.h>

#include <atomic>
#include <cstdio>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "band/win32/class_factory_win.h"
#include "band/win32/hook_table_win.h"
#include "band/win32/module_win.h"
#include "pagetools/win32/refusing_web_browser_win.h"
#include "platform/win32/com_object.h"
#include "tests/http_test_server.h"
#include "tests/test_installation.h"

namespace norvex::band::win32 {
namespace {

using platform::win32::ComPtr;
using platform::win32::Entry;
using platform::win32::InterfaceEntry;
using platform::win32::QueryFromTable;

// A browser with a real connection point for DWebBrowserEvents2: it keeps every sink advised on
// it (a reference each) under the cookies it handed out, which start at 1 for every browser, as
// a browser's do. Everything else the browser offers is refused.
class FakeBrowser final : public pagetools::win32::RefusingWebBrowser,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
 public:
  // A browser that keeps a sink when asked to unadvise it (as one that is busy firing might).
  bool keepsSinks = false;

  size_t connections() const { return sinks_.size(); }
  bool Holds(DWORD cookie) const {
    for (const auto& [c, sink] : sinks_) {
      if (c == cookie) return true;
    }
    return false;
  }
  // Lets every sink go, as a browser does when it closes.
  void DropSinks() { sinks_.clear(); }
  ~FakeBrowser() { DropSinks(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    static const InterfaceEntry<FakeBrowser> table[] = {
        Entry<FakeBrowser, IWebBrowser2>(IID_IWebBrowser2),
        Entry<FakeBrowser, IWebBrowser2>(IID_IWebBrowserApp),
        Entry<FakeBrowser, IWebBrowser2>(IID_IWebBrowser),
        Entry<FakeBrowser, IWebBrowser2>(IID_IDispatch),
        Entry<FakeBrowser, IConnectionPointContainer>(IID_IConnectionPointContainer)};
    return QueryFromTable<FakeBrowser>(*this, table, iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return --references_; }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid,
                                                IConnectionPoint** point) noexcept override {
    *point = nullptr;
    if (!::IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
  }
  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override {
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE
  GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override {
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override {
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, dispatch.ReceiveVoid()))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, std::move(dispatch));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
      if (it->first != cookie) continue;
      if (!keepsSinks) sinks_.erase(it);
      return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) noexcept override {
    return E_NOTIMPL;
  }

 private:
  ULONG references_ = 1;
  DWORD nextCookie_ = 1;
  std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
};

// The band's site: a window of its own, the browser it gives (none by default), and a record of
// focus reports.
class FakeSite final : public IOleWindow, public IServiceProvider, public IInputObjectSite {
 public:
  explicit FakeSite(HWND window, bool serviceProvider = true, IWebBrowser2* browser = nullptr)
      : window_(window), serviceProvider_(serviceProvider), browser_(browser) {}
  std::vector<bool> focusReports;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    static const InterfaceEntry<FakeSite> table[] = {
        Entry<FakeSite, IOleWindow>(IID_IOleWindow),
        Entry<FakeSite, IInputObjectSite>(IID_IInputObjectSite),
        Entry<FakeSite, IServiceProvider>(IID_IServiceProvider)};
    // A site without services answers all but the last row.
    return QueryFromTable<FakeSite>(*this, std::span(table).first(serviceProvider_ ? 3 : 2), iid,
                                    object);
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override {
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid,
                                         void** object) noexcept override {
    *object = nullptr;
    if (!browser_ || !::IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
    return browser_->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL focused) noexcept override {
    focusReports.push_back(focused != FALSE);
    return S_OK;
  }
  ULONG references() const { return references_; }

 private:
  HWND window_;
  bool serviceProvider_;
  IWebBrowser2* browser_;
  ULONG references_ = 1;
};

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

HWND MakeParent(int width) {
  HWND frame = ::CreateWindowExW(0, L"Static", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 width + 40, 200, nullptr, nullptr, nullptr, nullptr);
  return ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                           width, 24, frame, nullptr, nullptr, nullptr);
}

void DestroyParent(HWND parent) { ::DestroyWindow(::GetParent(parent)); }

// A band made through the class factory, as the browser makes it.
HRESULT CreateBandForTest(ToolBand** band) {
  *band = nullptr;
  ClassFactory* factory = new ClassFactory();
  IObjectWithSite* object = nullptr;
  const HRESULT hr =
      factory->CreateInstance(nullptr, IID_IObjectWithSite, reinterpret_cast<void**>(&object));
  factory->Release();
  *band = static_cast<ToolBand*>(object);
  return hr;
}

// A band sited in a parent window of its own, made through the class factory, taken down again
// (CloseDW, SetSite(nullptr), Release) when the object goes.
struct SitedBand {
  explicit SitedBand(int width = 800) : parent(MakeParent(width)), site(parent) {
    if (CreateBandForTest(&band) == S_OK && band->SetSite(static_cast<IOleWindow*>(&site)) == S_OK) {
      band->GetWindow(&toolbar);
    }
  }
  ~SitedBand() {
    if (band) {
      band->CloseDW(0);
      band->SetSite(nullptr);
      band->Release();
    }
    DestroyParent(parent);
  }
  SitedBand(const SitedBand&) = delete;
  SitedBand& operator=(const SitedBand&) = delete;

  HWND parent;
  FakeSite site;
  ToolBand* band = nullptr;
  HWND toolbar = nullptr;  // null when siting failed
};

class Band : public ::testing::Test, protected test::TestInstallation {
 protected:
  Band() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    UseSampleInstallation();
  }
  ~Band() override { ::CoUninitialize(); }
};

TEST(BandInfo, FillsOnlyWhatTheMaskAsks) {
  struct Case {
    DWORD mask;
    POINTL min, max, integral, actual;
    DWORD modeFlags;
  };
  const POINTL untouched{-7, -7};
  const LONG screen = ::GetSystemMetrics(SM_CXSCREEN);
  const Case cases[] = {
      {DBIM_MINSIZE | DBIM_ACTUAL, {323, 24}, untouched, untouched, {373, 24}, 99},
      {DBIM_MAXSIZE, untouched, {screen, 24}, untouched, untouched, 99},
      {DBIM_INTEGRAL | DBIM_MODEFLAGS, untouched, untouched, {1, 1}, untouched, DBIMF_VARIABLEHEIGHT},
      {DBIM_TITLE, untouched, untouched, untouched, untouched, 99},
  };
  ToolBand* band = nullptr;
  ASSERT_EQ(CreateBandForTest(&band), S_OK);
  for (const Case& c : cases) {
    DESKBANDINFO info{};
    info.dwMask = c.mask | DBIM_BKCOLOR;
    info.ptMinSize = info.ptMaxSize = info.ptIntegral = info.ptActual = untouched;
    info.dwModeFlags = 99;
    info.wszTitle[0] = L'x';
    ASSERT_EQ(band->GetBandInfo(0, 0, &info), S_OK);
    EXPECT_EQ(info.ptMinSize.x, c.min.x);
    EXPECT_EQ(info.ptMinSize.y, c.min.y);
    EXPECT_EQ(info.ptMaxSize.x, c.max.x);
    EXPECT_EQ(info.ptMaxSize.y, c.max.y);
    EXPECT_EQ(info.ptIntegral.x, c.integral.x);
    EXPECT_EQ(info.ptActual.x, c.actual.x);
    EXPECT_EQ(info.ptActual.y, c.actual.y);
    EXPECT_EQ(info.dwModeFlags, c.modeFlags);
    EXPECT_EQ(info.dwMask & DBIM_BKCOLOR, 0u) << "the default background is used";
    EXPECT_EQ(info.wszTitle[0], L'x') << "no title";
  }
  EXPECT_EQ(band->GetBandInfo(0, 0, nullptr), E_INVALIDARG);
  band->Release();
}

TEST_F(Band, InterfaceMapAndIdentity) {
  ToolBand* band = nullptr;
  ASSERT_EQ(CreateBandForTest(&band), S_OK);
  const IID* interfaces[] = {&IID_IObjectWithSite, &IID_IInputObject, &IID_IDeskBand,
                             &IID_IOleWindow, &IID_IDockingWindow};
  IUnknown* identity = nullptr;
  ASSERT_EQ(band->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  for (const IID* iid : interfaces) {
    IUnknown* object = nullptr;
    ASSERT_EQ(band->QueryInterface(*iid, reinterpret_cast<void**>(&object)), S_OK);
    IUnknown* back = nullptr;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
    EXPECT_EQ(back, identity) << "one identity for every interface";
    back->Release();
    object->Release();
  }
  void* none = nullptr;
  EXPECT_EQ(band->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
  identity->Release();
  EXPECT_GT(ModuleLocks(), 0) << "a living band holds the module";
  band->Release();
  EXPECT_EQ(ModuleLocks(), 0);
}

// The usage timer's message is the daily check: the report goes to the installation's "daily"
// address and the time is recorded, once.
TEST_F(Band, TheUsageTimerSendsTheDailyReport) {
  test::TestHttpServer server;
  server.Set("/daily", {200, ""});
  system_.module = temp_.File("install/NorvexToolbar.dll");
  WriteCatalogue("");
  test::WriteBytes(InstallFile("LogUrls.ini"),
                   "[Agent_Urls]\r\ndaily=" + server.Url("/daily?oem=nvx0001") + "\r\n");
  SitedBand sited;
  ASSERT_NE(sited.toolbar, nullptr);
  ToolBand* band = sited.band;
  HWND toolbar = nullptr;
  band->GetWindow(&toolbar);
  ::SendMessageW(toolbar, WM_TIMER, 3010, 0);
  ::SendMessageW(toolbar, WM_TIMER, 3011, 0);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].rfind("GET /daily?oem=nvx0001 HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(test::ReadBytes(UserFile("AgentLog.ini")).find("logtime="), std::string::npos);
  ::SendMessageW(toolbar, WM_TIMER, 3010, 0);
  EXPECT_EQ(server.Requests().size(), 1u) << "not again within a day";
}

TEST_F(Band, SiteWithoutWindowOrServicesFails) {
  ToolBand* band = nullptr;
  ASSERT_EQ(CreateBandForTest(&band), S_OK);
  FakeSite noWindow(nullptr);
  EXPECT_EQ(band->SetSite(static_cast<IOleWindow*>(&noWindow)), E_FAIL);
  HWND parent = MakeParent(800);
  FakeSite noServices(parent, false);
  EXPECT_EQ(band->SetSite(static_cast<IOleWindow*>(&noServices)), E_FAIL);
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(band->GetWindow(&window), E_FAIL);
  EXPECT_EQ(band->ShowDW(TRUE), E_FAIL);
  EXPECT_EQ(band->CloseDW(0), S_OK);
  band->Release();
  DestroyParent(parent);
}

// The band listens to the browser of its site, and only to that one: re-sited with another
// browser (or none) it leaves the old one first, where it advised, and CloseDW leaves the last.
// Each browser's cookies start at 1, so a cookie given back to the wrong browser would take away
// another client's connection there.
TEST_F(Band, TheBrowserConnectionFollowsTheSite) {
  HWND parent = MakeParent(800);
  FakeBrowser first, second;
  // Another client of the second browser.
  struct : IDispatch {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) noexcept override {
      *object = this;
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override {
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                            DISPID*) noexcept override {
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
      return S_OK;
    }
  } otherSink;
  DWORD otherCookie = 0;
  ASSERT_EQ(second.Advise(&otherSink, &otherCookie), S_OK);
  ASSERT_EQ(otherCookie, 1u);

  FakeSite firstSite(parent, true, &first), secondSite(parent, true, &second), noBrowser(parent);
  ToolBand* band = nullptr;
  ASSERT_EQ(CreateBandForTest(&band), S_OK);
  ASSERT_EQ(band->SetSite(static_cast<IOleWindow*>(&firstSite)), S_OK);
  EXPECT_EQ(first.connections(), 1u) << "the band advised the browser of its site";
  EXPECT_TRUE(first.Holds(1));

  struct Step {
    FakeSite* site;
    size_t first, second;
  } const steps[] = {
      {&secondSite, 0, 2},  // the other client's connection stays
      {&firstSite, 1, 1},
      {&noBrowser, 0, 1},  // a site without a browser: connected to none
      {&secondSite, 0, 2},
  };
  for (const Step& step : steps) {
    ASSERT_EQ(band->SetSite(static_cast<IOleWindow*>(step.site)), S_OK);
    EXPECT_EQ(first.connections(), step.first);
    EXPECT_EQ(second.connections(), step.second);
    EXPECT_TRUE(second.Holds(otherCookie)) << "another client's connection is not the band's";
  }
  EXPECT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(second.connections(), 1u) << "CloseDW unadvised the band's connection";
  EXPECT_TRUE(second.Holds(otherCookie));
  band->SetSite(nullptr);
  band->Release();
  EXPECT_EQ(ModuleLocks(), 0);

  // A browser that still holds the band's sink after the band has gone keeps the module loaded
  // (its next event calls into it) until it lets the sink go.
  FakeBrowser holding;
  holding.keepsSinks = true;
  FakeSite holdingSite(parent, true, &holding);
  ASSERT_EQ(CreateBandForTest(&band), S_OK);
  ASSERT_EQ(band->SetSite(static_cast<IOleWindow*>(&holdingSite)), S_OK);
  band->CloseDW(0);
  band->SetSite(nullptr);
  band->Release();
  ASSERT_EQ(holding.connections(), 1u);
  EXPECT_GT(ModuleLocks(), 0) << "DllCanUnloadNow answers S_FALSE";
  holding.DropSinks();
  EXPECT_EQ(ModuleLocks(), 0);
  DestroyParent(parent);
}

TEST_F(Band, SitedBandShowsTheToolbarAndLeavesNothingBehind) {
  HWND parent = MakeParent(800);
  auto countWindows = [] {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL {
      ++*reinterpret_cast<int*>(p);
      ::EnumChildWindows(w, [](HWND, LPARAM q) -> BOOL { ++*reinterpret_cast<int*>(q); return TRUE; }, p);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&count));
    return count;
  };
  const int windowsBefore = countWindows();
  const size_t hooksBefore = HookEntries().size();
  const DWORD gdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD userBefore = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);

  {
    FakeSite site(parent);
    ToolBand* band = nullptr;
      ASSERT_EQ(CreateBandForTest(&band), S_OK);
    ASSERT_EQ(band->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND toolbar = nullptr;
    ASSERT_EQ(band->GetWindow(&toolbar), S_OK);
    EXPECT_EQ(::GetParent(toolbar), parent);
    EXPECT_EQ(HookEntries().size(), hooksBefore + 1);
    Pump();
    EXPECT_NE(::GetDlgItem(toolbar, kSearchBoxId), nullptr);
    EXPECT_GT(countWindows(), windowsBefore + 5) << "buttons, grip, search box are windows";

    EXPECT_EQ(band->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(::IsWindowVisible(toolbar));
    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(::IsWindowVisible(toolbar));

    ComPtr<IInputObjectSite> got;
    EXPECT_EQ(band->GetSite(IID_IInputObjectSite, got.ReceiveVoid()), S_OK);
    got = ComPtr<IInputObjectSite>();

    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_FALSE(::IsWindow(toolbar));
    EXPECT_EQ(HookEntries().size(), hooksBefore);
    EXPECT_EQ(band->SetSite(nullptr), S_OK);
    band->Release();
    EXPECT_EQ(site.references(), 1u) << "every reference to the site was given back";
  }
  Pump();
  EXPECT_EQ(countWindows(), windowsBefore);
  // Windows counts a process's GDI and USER objects; Wine answers 0 for both, and there the
  // windows counted above and the hook table stand for them.
  if (gdiBefore != 0) {
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), userBefore);
  }
  DestroyParent(parent);
}

TEST_F(Band, FocusIsInTheToolbarWhileInTheSearchBoxOrItsDropDown) {
  SitedBand sited;
  ASSERT_NE(sited.toolbar, nullptr);
  ToolBand* band = sited.band;
  FakeSite& site = sited.site;
  HWND parent = sited.parent;
  Pump();
  HWND toolbar = nullptr;
  band->GetWindow(&toolbar);
  HWND box = ::GetDlgItem(toolbar, kSearchBoxId);
  HWND edit = ::GetDlgItem(box, kEditFieldId);
  ASSERT_NE(edit, nullptr) << "the edit field is made at the first paint";

  ::SetFocus(parent);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
  EXPECT_EQ(band->UIActivateIO(TRUE, nullptr), S_OK);
  EXPECT_EQ(::GetFocus(), edit);
  EXPECT_EQ(band->HasFocusIO(), S_OK);
  ASSERT_FALSE(site.focusReports.empty());
  EXPECT_TRUE(site.focusReports.back()) << "the browser hears that the band has the focus";

  // The drop-down's list, owned by the search box, counts as the toolbar's.
  ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"abc"));
  ::SendMessageW(box, WM_USER + 101, 0, 0);
  HWND dropDown = ::FindWindowW(L"NorvexDropList", nullptr);
  ASSERT_NE(dropDown, nullptr);
  HWND list = ::GetDlgItem(dropDown, kDropListBoxId);
  ::SetFocus(list);
  EXPECT_EQ(band->HasFocusIO(), S_OK);

  ::SetFocus(parent);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
}

TEST_F(Band, KeysReachTheSearchBoxOnlyWhileItHasTheFocus) {
  SitedBand sited;
  ASSERT_NE(sited.toolbar, nullptr);
  ToolBand* band = sited.band;
  HWND parent = sited.parent;
  Pump();
  HWND toolbar = nullptr;
  band->GetWindow(&toolbar);
  HWND edit = ::GetDlgItem(::GetDlgItem(toolbar, kSearchBoxId), kEditFieldId);
  ASSERT_NE(edit, nullptr);

  MSG key{edit, WM_KEYDOWN, VK_DELETE, 1};
  ::SetFocus(parent);
  EXPECT_EQ(band->TranslateAcceleratorIO(&key), S_FALSE) << "not focused: the browser's";
  ::SetFocus(edit);
  EXPECT_EQ(band->TranslateAcceleratorIO(&key), S_OK) << "Delete belongs to the edit field";
  MSG letter{edit, WM_KEYDOWN, 'Q', 1};
  EXPECT_EQ(band->TranslateAcceleratorIO(&letter), S_FALSE) << "letters go through as usual";
}

// Counts the rebuild messages a toolbar window receives.
LRESULT CALLBACK CountInRefresh(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR counter) {
  if (message == toolbar::win32::InRefreshMessage()) ++*reinterpret_cast<std::atomic<int>*>(counter);
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

TEST_F(Band, EveryToolbarThreadRebuildsOncePerBroadcastAndCloseKeepsTheOthersHooks) {
  constexpr int kThreads = 2;
  std::atomic<int> counts[kThreads] = {0, 0};
  std::atomic<int> ready{0};
  std::atomic<bool> closeFirst{false}, stop{false};
  std::atomic<bool> firstClosed{false};
  std::atomic<DWORD> threadIds[kThreads] = {0, 0};
  auto run = [&](int n) {
    threadIds[n] = ::GetCurrentThreadId();
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND parent = MakeParent(800);
    FakeSite site(parent);
    ToolBand* band = nullptr;
      CreateBandForTest(&band);
    band->SetSite(static_cast<IOleWindow*>(&site));
    HWND toolbar = nullptr;
    band->GetWindow(&toolbar);
    ::SetWindowSubclass(toolbar, &CountInRefresh, 1, reinterpret_cast<DWORD_PTR>(&counts[n]));
    ++ready;
    bool closed = false;
    while (!stop) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      if (n == 0 && closeFirst && !closed) {
        ::RemoveWindowSubclass(toolbar, &CountInRefresh, 1);
        band->CloseDW(0);
        closed = true;
        firstClosed = true;
      }
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    if (!closed) band->CloseDW(0);
    band->SetSite(nullptr);
    band->Release();
    DestroyParent(parent);
    ::CoUninitialize();
  };
  std::thread first(run, 0), second(run, 1);
  while (ready < kThreads) ::Sleep(5);
  EXPECT_EQ(HookEntries().size(), 2u);

  auto broadcastAndWait = [&](int expectFirst, int expectSecond) {
    ::PostMessageW(HWND_BROADCAST, toolbar::win32::RefreshMessage(), 0, 0);
    for (int i = 0; i < 300 && (counts[0] < expectFirst || counts[1] < expectSecond); ++i) ::Sleep(10);
    ::Sleep(100);  // a second, wrong delivery would arrive in this time
    EXPECT_EQ(counts[0].load(), expectFirst);
    EXPECT_EQ(counts[1].load(), expectSecond);
  };
  broadcastAndWait(1, 1);

  closeFirst = true;
  while (!firstClosed) ::Sleep(5);
  const auto entries = HookEntries();
  ASSERT_EQ(entries.size(), 1u) << "closing one band removes only its own hook";
  EXPECT_EQ(entries[0].thread, threadIds[1].load());
  broadcastAndWait(1, 2);

  stop = true;
  first.join();
  second.join();
  EXPECT_TRUE(HookEntries().empty());
}

// Pumps this thread's messages until `done` holds, for at most `milliseconds`.
template <typename Done>
bool PumpUntil(Done done, int milliseconds = 3000) {
  for (int i = 0; i < milliseconds / 10 && !done(); ++i) {
    Pump();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  Pump();
  return done();
}

// A band whose site window belongs to another thread (here: this test's thread) sees the
// broadcast's copy for its top-level window only through that thread's queue; that thread's own
// band shares the thread's hook. Each toolbar still rebuilds once per broadcast.
TEST_F(Band, ASiteWindowOfAnotherThreadRebuildsOncePerBroadcast) {
  HWND foreignParent = MakeParent(800);
  SitedBand own;
  ASSERT_NE(own.toolbar, nullptr);
  std::atomic<int> ownCount{0}, foreignCount{0};
  ::SetWindowSubclass(own.toolbar, &CountInRefresh, 1, reinterpret_cast<DWORD_PTR>(&ownCount));

  std::atomic<bool> ready{false}, stop{false}, done{false};
  std::atomic<HWND> foreignToolbar{nullptr};
  std::thread bandThread([&] {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    FakeSite site(foreignParent);
    ToolBand* band = nullptr;
    CreateBandForTest(&band);
    if (band->SetSite(static_cast<IOleWindow*>(&site)) == S_OK) {
      HWND toolbar = nullptr;
      band->GetWindow(&toolbar);
      ::SetWindowSubclass(toolbar, &CountInRefresh, 1, reinterpret_cast<DWORD_PTR>(&foreignCount));
      foreignToolbar = toolbar;
    }
    ready = true;
    while (!stop) {
      Pump();
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    if (HWND toolbar = foreignToolbar) ::RemoveWindowSubclass(toolbar, &CountInRefresh, 1);
    band->CloseDW(0);
    band->SetSite(nullptr);
    band->Release();
    ::CoUninitialize();
    done = true;
  });
  // Making a child of this thread's window waits for this thread to answer.
  ASSERT_TRUE(PumpUntil([&] { return ready.load(); }));
  ASSERT_NE(foreignToolbar.load(), nullptr);
  EXPECT_NE(::GetWindowThreadProcessId(foreignToolbar, nullptr), ::GetCurrentThreadId());
  EXPECT_EQ(HookEntries().size(), 2u);

  for (int broadcast = 1; broadcast <= 2; ++broadcast) {
    ::PostMessageW(HWND_BROADCAST, toolbar::win32::RefreshMessage(), 0, 0);
    PumpUntil([&] { return ownCount >= broadcast && foreignCount >= broadcast; });
    PumpUntil([] { return false; }, 150);  // a second, wrong delivery would arrive in this time
    EXPECT_EQ(ownCount.load(), broadcast) << "the toolbar of this thread";
    EXPECT_EQ(foreignCount.load(), broadcast) << "the toolbar of the other thread";
  }

  stop = true;
  EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
  bandThread.join();
  EXPECT_EQ(HookEntries().size(), 1u) << "the other band's entry went; this thread's stays";
  ::RemoveWindowSubclass(own.toolbar, &CountInRefresh, 1);
  DestroyParent(foreignParent);
}

TEST_F(Band, ARebuildKeepsTheTypedText) {
  SitedBand sited;
  ASSERT_NE(sited.toolbar, nullptr);
  ToolBand* band = sited.band;
  Pump();
  HWND toolbar = nullptr;
  band->GetWindow(&toolbar);
  HWND box = ::GetDlgItem(toolbar, kSearchBoxId);
  HWND edit = ::GetDlgItem(box, kEditFieldId);
  ASSERT_NE(edit, nullptr);
  ::SetFocus(edit);
  for (wchar_t c : std::wstring(L"abc")) ::SendMessageW(edit, WM_CHAR, c, 1);
  Pump();
  ::PostMessageW(HWND_BROADCAST, toolbar::win32::RefreshMessage(), 0, 0);
  for (int i = 0; i < 20; ++i) {
    Pump();
    ::Sleep(10);
  }
  HWND newBox = ::GetDlgItem(toolbar, kSearchBoxId);
  HWND newEdit = ::GetDlgItem(newBox, kEditFieldId);
  ASSERT_NE(newEdit, nullptr);
  wchar_t text[64] = {};
  ::GetWindowTextW(newEdit, text, 64);
  EXPECT_STREQ(text, L"abc");
}

}  // namespace

}  // namespace norvex::band::win32
