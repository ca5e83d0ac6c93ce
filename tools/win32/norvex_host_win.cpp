// NorvexHost.exe --install DIR [--width N] [--com] [--interactive]
//
// Hosts the toolbar module under Windows the way the browser does: a frame window with a site
// window for the band, a browser object with navigation, the current address, a document and the
// two navigation events, and the browser's application class for new windows. The band is made
// from DIR\NorvexToolbar.dll through its class object (with --com: through CoCreateInstance of
// the registered class, which must come from that module), sited and shown. Driven by the same
// commands on standard input as norvex-host (see the README); it prints the same event lines.
// The exit status is 1 when any command was refused, 0 otherwise, 2 when the host cannot start.
// With --interactive it reads no commands: a window like a small browser's shows the band under
// an address line, with a log of what the toolbar did, for a person to use; closing it ends the
// host.

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <iostream>
#include <optional>
#include <string>

#include "band/win32/module_win.h"
#include "common/text.h"
#include "platform/win32/windows_api.h"
#include "tools/host_commands.h"
#include "tools/host_page.h"
#include "tools/win32/host_band_win.h"
#include "tools/win32/host_browser_win.h"
#include "tools/win32/host_driver_win.h"
#include "tools/win32/host_frame_win.h"
#include "tools/win32/host_site_win.h"
#include "tools/win32/host_window_win.h"
#include "tools/win32/import_patch_win.h"

namespace {

using namespace norvex;
using namespace norvex::tools;
using namespace norvex::tools::win32;
using platform::win32::FromW;

constexpr char kProgram[] = "NorvexHost";
constexpr int kInteractiveHeight = 480;

// The band's class, the coclass ToolBand of the toolbar module.
const CLSID& kClsidToolBand = norvex::band::win32::ToolBandClsid();

std::string U8(const std::wstring& text) { return Utf16ToUtf8(FromW(text.c_str())); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return 2;
}

int Usage() {
  std::fprintf(stderr, "usage: %s --install DIR [--width N] [--com] [--interactive]\n", kProgram);
  return 2;
}

struct Args {
  std::wstring install;
  int width = 800;
  bool com = false;  // the band through the registry, as the browser makes it
  bool interactive = false;  // a window for a person instead of commands
};

// The program starts of the toolbar module are seen, not carried out: its ShellExecuteW import
// leads here, which prints "start PROGRAM ARGUMENTS" with the installation folder named as on the
// command line.
struct StartWatch {
  HostOutput* output = nullptr;
  std::u16string installFolder;  // the toolbar module's folder, as the system names it
  std::u16string shownFolder;    // the same folder as --install gave it
} g_starts;

HINSTANCE WINAPI WatchShellExecute(HWND, LPCWSTR, LPCWSTR file, LPCWSTR parameters, LPCWSTR,
                                   INT) {
  if (g_starts.output) {
    g_starts.output->Start(ShownProgramPath(FromW(file), g_starts.installFolder, g_starts.shownFolder),
                           FromW(parameters));
  }
  return reinterpret_cast<HINSTANCE>(42);  // above 32: started
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::wstring(full, n) : path;
}

std::u16string FolderOf(HMODULE module) {
  wchar_t name[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(module, name, MAX_PATH);
  std::u16string path = FromW(name, n < MAX_PATH ? n : 0);
  const size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

int RunHost(const Args& args, const std::wstring& module) {
  HostOutput output(kProgram, stdout, stderr);
  // Commands from standard input drive a small frame; a person drives the interactive window.
  HostFrame frame;
  InteractiveWindow window;
  if (args.interactive ? !window.Create(args.width, kInteractiveHeight) : !frame.Create(args.width)) {
    return Fail("cannot make the host's windows");
  }
  const HWND frameWindow = args.interactive ? window.frame() : frame.frame();
  const HWND siteWindow = args.interactive ? window.site() : frame.site();
  if (args.interactive) output.SetListener(&window);

  ComPtr<HostBrowser> browser;
  *browser.Receive() = HostBrowser::Create(HostBrowser::Kind::kMain, output, frameWindow);
  ComPtr<HostBrowserFactory> windows;
  *windows.Receive() = new HostBrowserFactory(output);
  DWORD registration = 0;
  if (FAILED(::CoRegisterClassObject(CLSID_InternetExplorer, windows.get(), CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &registration))) {
    return Fail("cannot register the browser's application class");
  }
  ComPtr<HostSite> site;
  *site.Receive() = new HostSite(siteWindow, browser.get());

  int status = 0;
  {
    HostBand band;
    std::string error;
    if (args.com ? !band.LoadRegistered(kClsidToolBand, error) : !band.Load(module, error)) {
      return Fail(error);
    }
    const std::u16string folder = FolderOf(band.module());
    const std::wstring expected = FullPath(args.install);
    if (args.com && ::CompareStringOrdinal(reinterpret_cast<const wchar_t*>(folder.c_str()), -1,
                                           expected.c_str(), -1, TRUE) != CSTR_EQUAL) {
      return Fail("the registered band comes from " + Utf16ToUtf8(folder) + ", not from " +
                  U8(expected));
    }
    g_starts = {&output, folder, FromW(args.install.c_str())};
    ReplaceImport(band.module(), "shell32.dll", "ShellExecuteW",
                  reinterpret_cast<void*>(&WatchShellExecute));

    std::optional<Win32HostDriver> driver;
    if (!args.interactive) {
      driver.emplace(frame, band, *browser.get(), output);
      if (!driver->InstallHooks()) return Fail("cannot install the host's hooks");
    }
    if (!band.Create(kClsidToolBand, static_cast<IOleWindow*>(site.get()), error)) {
      band.Close();
      frame.Destroy();
      window.Destroy();
      return Fail(error);
    }
    HostFrame::PumpUntilIdle();

    if (args.interactive) {
      // Enter in the address line: an HTML file of that name, else a blank page at that address.
      window.BandReady();
      window.OnGo([&](const std::u16string& text) {
        std::string unused;
        auto page = LoadPageFile(Utf16ToUtf8(text), u"", unused);
        browser->ShowPage(page ? page : BlankPage(text, u"", u""));
        window.ShowAddress(browser->location());
        // The person's own navigation, in the log only: standard output has the toolbar's.
        window.OnLine("page " + Utf16ToUtf8(browser->location()));
      });
      window.Run(band);
    } else {
      CommandInterpreter interpreter(*driver, output);
      interpreter.RunAll(std::cin);
      status = output.ExitStatus();
    }

    band.Close();
    HostFrame::PumpUntilIdle();
    // Nothing of the module may be left to call once it is unloaded.
    output.SetListener(nullptr);
    frame.Destroy();
    window.Destroy();
    driver.reset();
    g_starts = {};
  }
  ::CoRevokeClassObject(registration);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Lines are UTF-8 bytes both ways, without carriage returns added.
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);

  Args args;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (!std::wcscmp(argv[i], L"--install") && hasValue) {
      args.install = argv[++i];
    } else if (!std::wcscmp(argv[i], L"--width") && hasValue) {
      args.width = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
    } else if (!std::wcscmp(argv[i], L"--com")) {
      args.com = true;
    } else if (!std::wcscmp(argv[i], L"--interactive")) {
      args.interactive = true;
    } else if (!std::wcscmp(argv[i], L"--profile")) {
      return Fail(
          "--profile is not supported: under Windows the per-user folder is the user's "
          "application data folder (in the Wine prefix)");
    } else {
      return Usage();
    }
  }
  if (args.install.empty()) return Usage();

  const std::wstring module = FullPath(args.install) + L"\\NorvexToolbar.dll";
  if (::GetFileAttributesW(module.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Fail("no NorvexToolbar.dll in " + U8(args.install));
  }
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return Fail("cannot initialise COM");
  }
  const int status = RunHost(args, module);
  ::CoUninitialize();
  return status;
}
