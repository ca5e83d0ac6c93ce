#include "band/win32/registration_win.h"

#include <optional>
#include <string>

#include "band/band_ids.h"
#include "common/text.h"
#include "platform/win32/module_instance.h"
#include "resources/control_ids.h"
#include "storage/registration.h"
#include "storage/win32/type_library_win.h"
#include "usage/usage_log.h"

namespace norvex::band::win32 {

namespace {

using platform::win32::FromW;

std::optional<std::u16string> ModulePath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(platform::win32::ModuleInstance(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return FromW(buffer, length);
}

// A registry script of the module: UTF-8 text, so that it reads the same under any code page.
std::optional<std::u16string> LoadScript(int id) {
  const HMODULE module = platform::win32::ModuleInstance();
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  if (!found) return std::nullopt;
  const HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return std::nullopt;
  std::string_view bytes(static_cast<const char*>(data), ::SizeofResource(module, found));
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return Utf8ToUtf16(bytes);
}

HRESULT Run(bool registering) {
  const auto path = ModulePath();
  if (!path) return HRESULT_FROM_WIN32(::GetLastError() ? ::GetLastError() : ERROR_INVALID_HANDLE);
  const auto appIdScript = LoadScript(kAppIdScriptId);
  const auto classScript = LoadScript(kClassScriptId);
  if (!appIdScript || !classScript) return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
  storage::win32::WinTypeLibrary typeLibrary;
  storage::ServerRegistration server;
  server.modulePath = *path;
  server.appIdScript = *appIdScript;
  server.classScript = *classScript;
  server.appId = kAppIdText;
  server.classId = kToolBandClassIdText;
  server.typeLibrary = &typeLibrary;
  server.sendReport = usage::SendReport;
  return registering ? storage::RegisterServer(server) : storage::UnregisterServer(server);
}

}  // namespace

HRESULT RegisterModule() { return Run(true); }
HRESULT UnregisterModule() { return Run(false); }

}  // namespace norvex::band::win32
