#include "storage/browser_host_registration.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "common/text.h"
#include "platform/memory_registry.h"
#include "storage/data_folders.h"
#include "storage/extension_ids.h"
#include "tests/test_support.h"

namespace norvex::bridge {
namespace {

using json = nlohmann::json;
using platform::RegistryRoot;

std::vector<std::u16string> madeExecutable;
bool RecordExecutable(const std::u16string& path) {
  madeExecutable.push_back(path);
  return true;
}

json AllowedOrigins() {
  json origins = json::array();
  for (const ExtensionId& extension : kExtensionIds)
    origins.push_back(ExtensionOrigin(extension.id));
  return origins;
}

TEST(BrowserHostRegistration, ManifestNamesTheProgramAndOnlyTheExtension) {
  const std::string text = ManifestJson(u"/opt/Norvex \"x\"/norvex-bridge");
  ASSERT_NE(text.substr(0, 3), "\xEF\xBB\xBF");  // no byte-order mark
  const json manifest = json::parse(text);
  EXPECT_EQ(manifest["name"], "com.norvex.bridge");
  EXPECT_EQ(manifest["type"], "stdio");
  EXPECT_EQ(manifest["path"], "/opt/Norvex \"x\"/norvex-bridge");
  EXPECT_EQ(manifest["allowed_origins"], AllowedOrigins());
  for (const ExtensionId& extension : kExtensionIds) {
    ASSERT_EQ(extension.id.size(), 32u);
    for (const char c : extension.id) EXPECT_TRUE(c >= 'a' && c <= 'p') << extension.id;
  }
  EXPECT_EQ(json::parse(ManifestJson(u"C:\\Program Files\\Norvex\\NorvexBridge.exe"))["path"],
            "C:\\Program Files\\Norvex\\NorvexBridge.exe");
}

TEST(BrowserHostRegistration, FoldersOfEachScope) {
  EXPECT_EQ(ManifestFolders(Scope::kUser, u"/home/a/.config", u""),
            (std::vector<std::u16string>{u"/home/a/.config/chromium/NativeMessagingHosts",
                                         u"/home/a/.config/google-chrome/NativeMessagingHosts",
                                         u"/home/a/.config/microsoft-edge/NativeMessagingHosts"}));
  EXPECT_EQ(ManifestFolders(Scope::kSystem, u"/home/a/.config", u""),
            (std::vector<std::u16string>{u"/etc/chromium/native-messaging-hosts",
                                         u"/etc/opt/chrome/native-messaging-hosts",
                                         u"/etc/opt/edge/native-messaging-hosts"}));
  EXPECT_EQ(ManifestFolders(Scope::kProfile, u"", u"/tmp/p"),
            (std::vector<std::u16string>{u"/tmp/p/NativeMessagingHosts"}));
}

TEST(BrowserHostRegistration, LauncherQuotesItsPaths) {
  EXPECT_EQ(
      LauncherScript(u"/opt/it's/norvex-bridge", u"/srv/Norvex 1"),
      "#!/bin/sh\n"
      "# Written by norvex-bridge --register: the browsers start the bridge through this file,\n"
      "# since a host manifest cannot give it the installation folder.\n"
      "exec '/opt/it'\\''s/norvex-bridge' --install '/srv/Norvex 1' \"$@\"\n");
}

TEST(BrowserHostRegistration, ManifestsAreWrittenAndRemovedAgain) {
  test::TempFolder temp;
  const std::u16string program = temp.File("bin/norvex-bridge");
  const std::vector<std::u16string> folders = {temp.File("a/NativeMessagingHosts"),
                                               temp.File("b/c/NativeMessagingHosts")};
  auto manifest = [&](size_t i) {
    return json::parse(test::ReadBytes(storage::JoinPath(folders[i], kManifestFileName)));
  };
  auto launcher = [&](size_t i) { return storage::JoinPath(folders[i], kLauncherFileName); };

  // The program's own installation: the manifest names the program.
  std::vector<std::u16string> failed;
  madeExecutable.clear();
  EXPECT_TRUE(WriteManifests(folders, program, u"", RecordExecutable, failed));
  EXPECT_TRUE(failed.empty());
  for (size_t i = 0; i < folders.size(); ++i) {
    EXPECT_EQ(manifest(i)["path"], Utf16ToUtf8(program));
    EXPECT_EQ(manifest(i)["allowed_origins"], AllowedOrigins());
    EXPECT_FALSE(std::filesystem::exists(test::FsPath(launcher(i))));
  }
  EXPECT_TRUE(madeExecutable.empty());

  // Another installation: a launcher beside each manifest gives it to the program.
  const std::u16string other = temp.File("other install");
  EXPECT_TRUE(WriteManifests(folders, program, other, RecordExecutable, failed));
  for (size_t i = 0; i < folders.size(); ++i) {
    EXPECT_EQ(manifest(i)["path"], Utf16ToUtf8(launcher(i)));
    EXPECT_EQ(test::ReadBytes(launcher(i)), LauncherScript(program, other));
  }
  EXPECT_EQ(madeExecutable, (std::vector<std::u16string>{launcher(0), launcher(1)}));

  // Back to the program's own folder: the launcher of the other installation goes.
  EXPECT_TRUE(
      WriteManifests(folders, program, storage::RemoveFileSpec(program), RecordExecutable, failed));
  EXPECT_EQ(manifest(0)["path"], Utf16ToUtf8(program));
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(launcher(0))));

  std::vector<std::u16string> removed;
  EXPECT_TRUE(RemoveManifests(folders, removed));
  EXPECT_EQ(removed.size(), 2u);
  for (const auto& folder : folders) {
    EXPECT_TRUE(std::filesystem::is_empty(test::FsPath(folder)));
  }
  removed.clear();
  EXPECT_TRUE(RemoveManifests(folders, removed));
  EXPECT_TRUE(removed.empty());
}

TEST(BrowserHostRegistration, AFolderThatCannotBeWrittenIsNamed) {
  test::TempFolder temp;
  test::WriteBytes(temp.File("file"), "x");
  const std::vector<std::u16string> folders = {temp.File("file/NativeMessagingHosts"),
                                               temp.File("good")};
  std::vector<std::u16string> failed;
  EXPECT_FALSE(WriteManifests(folders, temp.File("norvex-bridge"), u"", RecordExecutable, failed));
  EXPECT_EQ(failed, (std::vector<std::u16string>{folders[0]}));
  EXPECT_TRUE(
      std::filesystem::exists(test::FsPath(storage::JoinPath(folders[1], kManifestFileName))));
}

TEST(BrowserHostRegistration, RegistryKeysForEachBrowserComeAndGo) {
  for (const RegistryRoot root : {RegistryRoot::kCurrentUser, RegistryRoot::kLocalMachine}) {
    platform::MemoryRegistry registry;
    const std::u16string manifest = u"C:\\Program Files\\Norvex\\com.norvex.bridge.json";
    ASSERT_TRUE(RegisterInRegistry(registry, root, manifest));
    for (const char16_t* key :
         {u"Software\\Google\\Chrome\\NativeMessagingHosts\\com.norvex.bridge",
          u"Software\\Chromium\\NativeMessagingHosts\\com.norvex.bridge",
          u"Software\\Microsoft\\Edge\\NativeMessagingHosts\\com.norvex.bridge"}) {
      EXPECT_EQ(registry.GetValue(root, key, u""), platform::RegistryValue::String(manifest))
          << Utf16ToUtf8(key);
    }
    const std::u16string software =
        root == RegistryRoot::kLocalMachine ? u"Software\\Wow6432Node\\" : u"Software\\";
    const std::u16string id = Utf8ToUtf16(kExtensionIds[0].id);
    EXPECT_EQ(
        registry.GetValue(root, software + u"Google\\Chrome\\Extensions\\" + id, u"update_url"),
        platform::RegistryValue::String(u"https://clients2.google.com/service/update2/crx"));
    EXPECT_EQ(
        registry.GetValue(root, software + u"Microsoft\\Edge\\Extensions\\" + id, u"update_url"),
        platform::RegistryValue::String(
            u"https://edge.microsoft.com/extensionwebstorebase/v1/crx"));
    // Nothing of the other root.
    const RegistryRoot other = root == RegistryRoot::kCurrentUser ? RegistryRoot::kLocalMachine
                                                                  : RegistryRoot::kCurrentUser;
    EXPECT_FALSE(registry.KeyExists(other, NativeHostKeys()[0]));

    ASSERT_TRUE(UnregisterFromRegistry(registry, root));
    for (const std::u16string& key : NativeHostKeys()) EXPECT_FALSE(registry.KeyExists(root, key));
    for (const auto& key : ExternalExtensionKeys(root))
      EXPECT_FALSE(registry.KeyExists(root, key.path));
    EXPECT_TRUE(UnregisterFromRegistry(registry, root));  // nothing left to remove is no failure
  }
}

}  // namespace
}  // namespace norvex::bridge
