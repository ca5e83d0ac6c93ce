// norvex-bridge (NorvexBridge.exe): the native messaging host of the browser extension.
//
//   norvex-bridge chrome-extension://ID/ [--parent-window=N] [--install DIR] [--profile DIR]
//       serves the extension over standard input and output (docs/browsers.md); the browser
//       passes the caller's origin first, on Windows also the parent window
//   norvex-bridge --register [--user|--system|--profile DIR] [--install DIR]
//   norvex-bridge --unregister [--user|--system|--profile DIR]
//       writes or removes the host manifest "com.norvex.bridge" (on Windows also the registry
//       keys of the browsers: --user HKCU, --system HKLM)
//   norvex-bridge --where [--install DIR] [--profile DIR]
//       prints the installation folder and the per-user folder it serves
//
// Exit status: 0 at the end of input, 1 after a framing error or when standard output is gone,
// 2 for a bad command line or a registration that failed, 3 for a caller that is not allowed.

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_platform.h"
#include "bridge/bridge_session.h"
#include "bridge/framing.h"
#include "common/text.h"
#include "platform/command_line.h"
#include "platform/platform.h"
#include "storage/browser_host_registration.h"
#include "storage/data_folders.h"
#include "storage/extension_ids.h"
#include "tools/install_override.h"
#include "usage/usage_log.h"

namespace {

using namespace norvex;

enum class Mode { kServe, kRegister, kUnregister, kWhere };

struct Args {
  Mode mode = Mode::kServe;
  std::optional<std::string> origin;
  std::string install;
  std::string
      profile;  // serving: the per-user application data folder; registering: a browser profile
  bridge::Scope scope = bridge::Scope::kUser;
};

int Usage() {
  std::fprintf(stderr,
               "usage: norvex-bridge chrome-extension://ID/ [--install DIR] [--profile DIR]\n"
               "       norvex-bridge --register [--user|--system|--profile DIR] [--install DIR]\n"
               "       norvex-bridge --unregister [--user|--system|--profile DIR]\n"
               "       norvex-bridge --where [--install DIR] [--profile DIR]\n");
  return 2;
}

bool ParseArgs(const std::vector<std::string>& arguments, Args& args) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == "--register") {
      args.mode = Mode::kRegister;
    } else if (a == "--unregister") {
      args.mode = Mode::kUnregister;
    } else if (a == "--where") {
      args.mode = Mode::kWhere;
    } else if (a == "--user") {
      args.scope = bridge::Scope::kUser;
    } else if (a == "--system") {
      args.scope = bridge::Scope::kSystem;
    } else if (a == "--install" && hasValue) {
      args.install = arguments[++i];
    } else if (a == "--profile" && hasValue) {
      args.profile = arguments[++i];
      args.scope = bridge::Scope::kProfile;
    } else if (a.rfind("--parent-window=", 0) == 0) {
      // The browser's window on Windows: the bridge shows no window of its own.
    } else if (a.rfind("chrome-extension://", 0) == 0 && !args.origin) {
      args.origin = a;
    } else {
      return false;
    }
  }
  return true;
}

bool AllowedOrigin(const std::optional<std::string>& origin) {
  if (!origin) return false;
  for (const bridge::ExtensionId& extension : bridge::kExtensionIds) {
    if (*origin == bridge::ExtensionOrigin(extension.id)) return true;
  }
  return false;
}

bool Send(const std::string& message) { return bridge::WriteStdout(bridge::EncodeFrame(message)); }

std::u16string ProgramPath() { return platform::NativeSystemInfo().ModuleFileName().value_or(u""); }

int Register(const Args& args) {
  const std::u16string program = ProgramPath();
  const std::u16string install =
      args.install.empty() ? storage::RemoveFileSpec(program) : Utf8ToUtf16(args.install);
  if (program.empty()) {
    std::fprintf(stderr, "norvex-bridge: the program's own path is unknown\n");
    return 2;
  }
  if (std::strcmp(bridge::PlatformName(), "windows") == 0 &&
      args.scope != bridge::Scope::kProfile) {
    // The manifest lives in the installation folder and names the installation's program (the
    // installer may run a new one that waits for the restart under another name); the browsers
    // find the manifest through the registry.
    const std::u16string manifest = storage::JoinPath(install, bridge::kManifestFileName);
    std::vector<std::u16string> failed;
    bridge::WriteManifests({install}, storage::JoinPath(install, bridge::kWindowsProgramName), u"",
                           bridge::MakeExecutable, failed);
    const auto root = args.scope == bridge::Scope::kSystem ? platform::RegistryRoot::kLocalMachine
                                                           : platform::RegistryRoot::kCurrentUser;
    const bool keys = bridge::RegisterInRegistry(*platform::Current().registry, root, manifest);
    if (!failed.empty() || !keys) {
      std::fprintf(stderr, "norvex-bridge: could not register %s\n", Utf16ToUtf8(manifest).c_str());
      return 2;
    }
    std::printf("registered %s\n", Utf16ToUtf8(manifest).c_str());
    return 0;
  }
  const std::vector<std::u16string> folders =
      bridge::ManifestFolders(args.scope, bridge::ConfigHome(), Utf8ToUtf16(args.profile));
  std::vector<std::u16string> failed;
  bridge::WriteManifests(folders, program, install, bridge::MakeExecutable, failed);
  for (const std::u16string& folder : folders) {
    const bool bad = std::find(failed.begin(), failed.end(), folder) != failed.end();
    std::fprintf(bad ? stderr : stdout,
                 bad ? "norvex-bridge: could not write %s\n" : "registered %s\n",
                 Utf16ToUtf8(storage::JoinPath(folder, bridge::kManifestFileName)).c_str());
  }
  return failed.empty() ? 0 : 2;
}

int Unregister(const Args& args) {
  bool ok = true;
  if (std::strcmp(bridge::PlatformName(), "windows") == 0 &&
      args.scope != bridge::Scope::kProfile) {
    const std::u16string install =
        args.install.empty() ? storage::RemoveFileSpec(ProgramPath()) : Utf8ToUtf16(args.install);
    const auto root = args.scope == bridge::Scope::kSystem ? platform::RegistryRoot::kLocalMachine
                                                           : platform::RegistryRoot::kCurrentUser;
    ok = bridge::UnregisterFromRegistry(*platform::Current().registry, root);
    std::vector<std::u16string> removed;
    ok &= bridge::RemoveManifests({install}, removed);
  } else {
    std::vector<std::u16string> removed;
    ok = bridge::RemoveManifests(
        bridge::ManifestFolders(args.scope, bridge::ConfigHome(), Utf8ToUtf16(args.profile)),
        removed);
    for (const std::u16string& path : removed)
      std::printf("removed %s\n", Utf16ToUtf8(path).c_str());
  }
  if (!ok) std::fprintf(stderr, "norvex-bridge: not everything could be removed\n");
  return ok ? 0 : 2;
}

int Serve(const Args& args) {
  if (!AllowedOrigin(args.origin)) {
    Send(bridge::ErrorMessage(bridge::error::kOrigin,
                              "this host serves only the Norvex extension, not " +
                                  args.origin.value_or("a caller without an origin")));
    return 3;
  }
  bridge::DetachedStarter starter;
  bridge::BridgeSession session(starter, bridge::PlatformName());
  bridge::FrameReader reader(bridge::ReadStdin);
  // The daily report goes out once the answer that woke the bridge has gone: no answer waits.
  std::thread report;
  int status = 0;
  for (;;) {
    std::string message;
    const bridge::FrameStatus frame = reader.Next(message);
    if (frame == bridge::FrameStatus::kEnd) break;
    if (frame == bridge::FrameStatus::kBadLength) {
      Send(bridge::ErrorMessage(bridge::error::kFrameLength,
                                "a message of " + std::to_string(reader.lastLength()) +
                                    " bytes: the length must be 1 to 1048576"));
      status = 1;
      break;
    }
    if (frame == bridge::FrameStatus::kTruncated) {
      Send(bridge::ErrorMessage(bridge::error::kTruncated, "the input ended inside a message"));
      status = 1;
      break;
    }
    std::vector<std::string> answers;
    session.Handle(message, answers);
    bool sent = true;
    for (const std::string& answer : answers) sent = sent && Send(answer);
    if (!sent) {
      status = 1;
      break;
    }
    if (!report.joinable()) report = std::thread([] { usage::DailyCheck(); });
  }
  if (report.joinable()) report.join();
  return status;
}

int Where() {
  std::printf("install %s\n", Utf16ToUtf8(storage::GetInstallFolder().value_or(u"")).c_str());
  std::printf("user %s\n", Utf16ToUtf8(storage::GetUserDataFolder().value_or(u"")).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bridge::PrepareStdio();
  Args args;
  if (!ParseArgs(platform::ProgramArguments(argc, argv), args)) return Usage();
  if (args.mode == Mode::kRegister) return Register(args);
  if (args.mode == Mode::kUnregister) return Unregister(args);

  // The installation: the folder named, else the bridge's own; the per-user folder under the
  // application data folder named, else the user's own.
  std::unique_ptr<tools::InstallOverride> system;
  if (!args.install.empty() || !args.profile.empty()) {
    const std::u16string install =
        args.install.empty() ? storage::RemoveFileSpec(ProgramPath()) : Utf8ToUtf16(args.install);
    system = std::make_unique<tools::InstallOverride>(install, Utf8ToUtf16(args.profile));
  }
  platform::ScopedSeams seams({nullptr, nullptr, system.get()});
  if (args.mode == Mode::kWhere) return Where();
  return Serve(args);
}
