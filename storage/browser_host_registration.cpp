#include "storage/browser_host_registration.h"

#include <nlohmann/json.hpp>

#include "common/text.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "storage/data_folders.h"
#include "storage/extension_ids.h"

namespace norvex::bridge {

namespace {

// Single quotes keep every character of a path as it is, except a single quote itself.
std::string ShellQuoted(const std::u16string& text) {
  std::string quoted = "'";
  for (const char c : Utf16ToUtf8(text)) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool FileExists(const std::u16string& path) {
  const auto attributes = platform::Current().files->GetAttributes(path);
  return attributes && !(*attributes & platform::kAttributeDirectory);
}

}  // namespace

std::string ManifestJson(const std::u16string& program) {
  nlohmann::ordered_json origins = nlohmann::ordered_json::array();
  for (const ExtensionId& extension : kExtensionIds)
    origins.push_back(ExtensionOrigin(extension.id));
  const nlohmann::ordered_json manifest = {
      {"name", kHostName},
      {"description",
       "Norvex: the toolbar's catalogue, search and history for the browser extension"},
      {"path", Utf16ToUtf8(program)},
      {"type", "stdio"},
      {"allowed_origins", origins},
  };
  return manifest.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::vector<std::u16string> ManifestFolders(Scope scope, const std::u16string& configHome,
                                            const std::u16string& profile) {
  switch (scope) {
    case Scope::kProfile:
      return {storage::JoinPath(profile, u"NativeMessagingHosts", u'/')};
    case Scope::kSystem:
      return {u"/etc/chromium/native-messaging-hosts", u"/etc/opt/chrome/native-messaging-hosts",
              u"/etc/opt/edge/native-messaging-hosts"};
    case Scope::kUser:
    default:
      return {storage::JoinPath(configHome, u"chromium/NativeMessagingHosts", u'/'),
              storage::JoinPath(configHome, u"google-chrome/NativeMessagingHosts", u'/'),
              storage::JoinPath(configHome, u"microsoft-edge/NativeMessagingHosts", u'/')};
  }
}

std::string LauncherScript(const std::u16string& program, const std::u16string& install) {
  return "#!/bin/sh\n"
         "# Written by norvex-bridge --register: the browsers start the bridge through this file,\n"
         "# since a host manifest cannot give it the installation folder.\n"
         "exec " +
         ShellQuoted(program) + " --install " + ShellQuoted(install) + " \"$@\"\n";
}

bool WriteManifests(const std::vector<std::u16string>& folders, const std::u16string& program,
                    const std::u16string& install, MakeExecutableFunction makeExecutable,
                    std::vector<std::u16string>& failed) {
  const bool ownFolder = install.empty() || install == storage::RemoveFileSpec(program);
  for (const std::u16string& folder : folders) {
    storage::CreateFolderPath(folder);
    const std::u16string manifest = storage::JoinPath(folder, kManifestFileName);
    const std::u16string launcher = storage::JoinPath(folder, kLauncherFileName);
    bool written = true;
    if (ownFolder) {
      written = platform::WriteFileAtomically(manifest, ManifestJson(program));
      // A launcher of an earlier registration would name another installation.
      if (written && FileExists(launcher)) platform::Current().files->RemoveFile(launcher);
    } else {
      written = platform::WriteFileAtomically(launcher, LauncherScript(program, install)) &&
                makeExecutable(launcher) &&
                platform::WriteFileAtomically(manifest, ManifestJson(launcher));
    }
    if (!written) failed.push_back(folder);
  }
  return failed.empty();
}

bool RemoveManifests(const std::vector<std::u16string>& folders,
                     std::vector<std::u16string>& removed) {
  bool ok = true;
  for (const std::u16string& folder : folders) {
    for (const char16_t* name : {kManifestFileName, kLauncherFileName}) {
      const std::u16string path = storage::JoinPath(folder, name);
      if (!FileExists(path)) continue;
      if (platform::Current().files->RemoveFile(path)) {
        removed.push_back(path);
      } else {
        ok = false;
      }
    }
  }
  return ok;
}

std::vector<std::u16string> NativeHostKeys() {
  const std::u16string host = Utf8ToUtf16(kHostName);
  return {u"Software\\Google\\Chrome\\NativeMessagingHosts\\" + host,
          u"Software\\Chromium\\NativeMessagingHosts\\" + host,
          u"Software\\Microsoft\\Edge\\NativeMessagingHosts\\" + host};
}

std::vector<ExternalExtensionKey> ExternalExtensionKeys(platform::RegistryRoot root) {
  const std::u16string software =
      root == platform::RegistryRoot::kLocalMachine ? u"Software\\Wow6432Node\\" : u"Software\\";
  std::vector<ExternalExtensionKey> keys;
  for (const ExtensionId& extension : kExtensionIds) {
    const std::u16string id = Utf8ToUtf16(extension.id);
    if (!extension.chromeUpdateUrl.empty()) {
      keys.push_back({software + u"Google\\Chrome\\Extensions\\" + id,
                      Utf8ToUtf16(extension.chromeUpdateUrl)});
    }
    if (!extension.edgeUpdateUrl.empty()) {
      keys.push_back(
          {software + u"Microsoft\\Edge\\Extensions\\" + id, Utf8ToUtf16(extension.edgeUpdateUrl)});
    }
  }
  return keys;
}

bool RegisterInRegistry(platform::Registry& registry, platform::RegistryRoot root,
                        const std::u16string& manifestPath) {
  bool ok = true;
  for (const std::u16string& key : NativeHostKeys()) {
    ok &= registry.CreateKey(root, key) == platform::kRegistryOk &&
          registry.SetValue(root, key, u"", platform::RegistryValue::String(manifestPath)) ==
              platform::kRegistryOk;
  }
  for (const ExternalExtensionKey& key : ExternalExtensionKeys(root)) {
    ok &=
        registry.CreateKey(root, key.path) == platform::kRegistryOk &&
        registry.SetValue(root, key.path, u"update_url",
                          platform::RegistryValue::String(key.updateUrl)) == platform::kRegistryOk;
  }
  return ok;
}

bool UnregisterFromRegistry(platform::Registry& registry, platform::RegistryRoot root) {
  bool ok = true;
  std::vector<std::u16string> keys = NativeHostKeys();
  for (const ExternalExtensionKey& key : ExternalExtensionKeys(root)) keys.push_back(key.path);
  for (const std::u16string& key : keys) {
    const uint32_t result = registry.DeleteTree(root, key);
    ok &= result == platform::kRegistryOk || result == platform::kRegistryNotFound;
  }
  return ok;
}

}  // namespace norvex::bridge
