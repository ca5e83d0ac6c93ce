#include "storage/settings.h"

#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"

namespace norvex::storage {

namespace {

constexpr size_t kValueCapacity = 260;
constexpr size_t kDataStringCapacity = 2083;

std::u16string ReadProfile(const std::u16string& file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           size_t capacity) {
  return platform::Current().profile->GetString(file, section, key, defaultValue, capacity);
}

}  // namespace

std::optional<std::u16string> GetUserConfigPath() {
  const auto folder = GetUserDataFolder();
  if (!folder) return std::nullopt;
  return JoinPath(*folder, u"UserConfig.ini");
}

bool IsAgentShown(const std::u16string& agentId) { return AgentVisibility().IsShown(agentId); }

AgentVisibility::AgentVisibility() : configPath_(GetUserConfigPath()) {}

bool AgentVisibility::IsShown(const std::u16string& agentId) const {
  if (!configPath_) return false;
  return ReadProfile(*configPath_, u"user_settings", agentId, u"1", kValueCapacity) == u"1";
}

void SetAgentShown(const std::u16string& agentId, bool shown) {
  const auto path = GetUserConfigPath();
  if (!path) return;
  platform::Current().profile->WriteString(*path, u"user_settings", agentId,
                                           shown ? u"1" : u"0");
}

int ReadWindowDimension(const std::u16string& key) {
  const auto path = GetUserConfigPath();
  if (!path) return 0;
  return ParseLenientInt(ReadProfile(*path, u"window_diams", key, u"0", kValueCapacity));
}

void WriteWindowDimension(const std::u16string& key, int value) {
  const auto path = GetUserConfigPath();
  if (!path) return;
  platform::Current().profile->WriteString(*path, u"window_diams", key, FormatInt(value));
}

bool ReadDataString(const std::u16string& key, std::u16string& out) {
  const auto folder = GetInstallFolder();
  if (!folder) return false;
  out = Trim(ReadProfile(JoinPath(*folder, u"strings.ini"), u"data", key, u"",
                         kDataStringCapacity));
  return !out.empty();
}

bool ReadDataLabel(const std::u16string& key, std::u16string& out) {
  const auto folder = GetInstallFolder();
  if (!folder) return false;
  out = ReadProfile(JoinPath(*folder, u"strings.ini"), u"data", key, u"", kDataStringCapacity);
  return !out.empty();
}

bool ReadInstalledVersion(std::u16string& out) {
  const auto folder = GetInstallFolder();
  if (!folder) return false;
  out = ReadProfile(JoinPath(*folder, u"version.ini"), u"COMMON", u"VERSION", u"", kValueCapacity);
  return !out.empty();
}

std::u16string ReadProductValue(const std::u16string& key) {
  const auto folder = GetInstallFolder();
  if (!folder) return {};
  return ReadProfile(JoinPath(*folder, u"norvexOEM.ini"), u"product", key, u"", kValueCapacity);
}

}  // namespace norvex::storage
