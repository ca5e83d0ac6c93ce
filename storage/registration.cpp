#include "storage/registration.h"

#include "platform/platform.h"
#include "storage/data_folders.h"

namespace norvex::storage {

namespace {

void Report(const ServerRegistration& server, const std::u16string& key) {
  if (server.sendReport) server.sendReport(key);
}

void DeleteUserFolder() {
  const auto folder = GetUserDataFolder();
  if (!folder) return;
  platform::FileSystem& files = *platform::Current().files;
  files.RemoveFile(JoinPath(*folder, u"NorvexHistory.ini"));
  files.RemoveFile(JoinPath(*folder, u"UserConfig.ini"));
  files.RemoveEmptyFolder(*folder);
  // Whatever else it held (the usage log, files of others) goes with it.
  files.DeleteFolderTree(*folder);
}

}  // namespace

std::vector<Replacement> ServerReplacements(const ServerRegistration& server) {
  std::u16string quoted;
  for (char16_t c : server.modulePath) {
    quoted += c;
    if (c == u'\'') quoted += c;
  }
  return {{u"APPID", server.appId}, {u"MODULE", quoted}, {u"Module_Raw", server.modulePath}};
}

HResult RegisterServer(const ServerRegistration& server) {
  platform::Registry& registry = *platform::Current().registry;
  if (registry.CreateKey(platform::RegistryRoot::kLocalMachine, kBrowserToolbarKey) ==
      platform::kRegistryOk) {
    registry.SetValue(platform::RegistryRoot::kLocalMachine, kBrowserToolbarKey, server.classId,
                      platform::RegistryValue::Binary({}));
  }
  const auto map = ServerReplacements(server);
  HResult hr = RegisterScript(server.appIdScript, map, registry);
  if (Succeeded(hr)) hr = RegisterScript(server.classScript, map, registry);
  if (Succeeded(hr)) hr = server.typeLibrary->Register(server.modulePath);
  if (Succeeded(hr)) Report(server, u"install");
  GetUserDataFolder();
  return hr;
}

HResult UnregisterServer(const ServerRegistration& server) {
  Report(server, u"uninstall");
  platform::Registry& registry = *platform::Current().registry;
  const auto map = ServerReplacements(server);
  HResult hr = UnregisterScript(server.classScript, map, registry);
  if (Succeeded(hr)) hr = server.typeLibrary->Unregister(server.modulePath);
  if (Succeeded(hr)) hr = UnregisterScript(server.appIdScript, map, registry);
  if (Succeeded(hr)) DeleteUserFolder();
  return hr;
}

}  // namespace norvex::storage
