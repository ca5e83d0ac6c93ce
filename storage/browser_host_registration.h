// Registration of the bridge as the browsers' native messaging host "com.norvex.bridge": the
// host manifest (JSON, UTF-8 without a byte-order mark), where the browsers look for it, and on
// Windows the registry keys that name it and the external-extension keys that offer the store
// item. Portable: files through the platform's writer, keys through the registry seam.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace norvex::bridge {

inline constexpr char kHostName[] = "com.norvex.bridge";
inline constexpr char16_t kManifestFileName[] = u"com.norvex.bridge.json";
inline constexpr char16_t kLauncherFileName[] = u"com.norvex.bridge.sh";
// The program's name on Windows, where the installer puts it into the installation folder.
inline constexpr char16_t kWindowsProgramName[] = u"NorvexBridge.exe";

// The manifest naming `program` (an absolute path), allowed to the extension ids of
// extension_ids.h and nothing else.
std::string ManifestJson(const std::u16string& program);

// ---- Linux -----------------------------------------------------------------------------------

enum class Scope { kUser, kSystem, kProfile };

// Where Chromium, Chrome and Edge look for host manifests: per user under the configuration
// folder (`configHome`: $XDG_CONFIG_HOME, else ~/.config), for the system under /etc, or a
// profile's own folder (`profile`: a browser's user data folder).
std::vector<std::u16string> ManifestFolders(Scope scope, const std::u16string& configHome,
                                            const std::u16string& profile);

// A shell script that runs `program` on the installation `install` with the browser's arguments:
// a manifest cannot give arguments.
std::string LauncherScript(const std::u16string& program, const std::u16string& install);

// Makes a launcher executable; the platform's part of registration.
using MakeExecutableFunction = bool (*)(const std::u16string& path);

// Writes the manifest into every folder (made when missing). Without `install` (or with the
// program's own folder) the manifest names `program`; otherwise a launcher beside each manifest
// runs it with "--install", and the manifest names the launcher. A folder whose files could not
// be written is named in `failed`; true when none failed.
bool WriteManifests(const std::vector<std::u16string>& folders, const std::u16string& program,
                    const std::u16string& install, MakeExecutableFunction makeExecutable,
                    std::vector<std::u16string>& failed);

// Removes the manifest and the launcher from every folder where they are; `removed` names each
// file removed. True unless a file that is there could not be removed.
bool RemoveManifests(const std::vector<std::u16string>& folders,
                     std::vector<std::u16string>& removed);

// ---- Windows ---------------------------------------------------------------------------------

// The keys under HKCU or HKLM whose unnamed value is the manifest's path (Chrome, Chromium, Edge).
std::vector<std::u16string> NativeHostKeys();

// An external-extension key and its "update_url" value. Under HKLM the browsers read them from
// the 32-bit view of the registry (Wow6432Node on 64-bit Windows), under HKCU from Software.
struct ExternalExtensionKey {
  std::u16string path;
  std::u16string updateUrl;
};
std::vector<ExternalExtensionKey> ExternalExtensionKeys(platform::RegistryRoot root);

// Writes the host keys naming `manifestPath` and the external-extension keys; false when any
// write failed (what was written stays: the uninstall removes it).
bool RegisterInRegistry(platform::Registry& registry, platform::RegistryRoot root,
                        const std::u16string& manifestPath);
// Removes every key above; true when none is left.
bool UnregisterFromRegistry(platform::Registry& registry, platform::RegistryRoot root);

}  // namespace norvex::bridge
