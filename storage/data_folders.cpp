#include "storage/data_folders.h"

#include <atomic>
#include <vector>

#include "platform/platform.h"

namespace norvex::storage {

namespace {

using platform::Current;
using platform::kAttributeDirectory;

// 0: not computed, 1: false, 2: true.
std::atomic<int> g_versionSix{0};

bool IsDirectoryOnly(const std::u16string& path) {
  const auto attributes = Current().files->GetAttributes(path);
  return attributes && *attributes == kAttributeDirectory;
}

bool IsDirectory(const std::u16string& path) {
  const auto attributes = Current().files->GetAttributes(path);
  return attributes && (*attributes & kAttributeDirectory);
}

// Makes `folder` exist: it is there already, or it can be created.
bool EnsureFolder(const std::u16string& folder) {
  return IsDirectory(folder) || Current().files->MakeFolder(folder);
}

std::vector<std::u16string> SplitComponents(const std::u16string& path, char16_t separator) {
  std::vector<std::u16string> parts;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t next = path.find(separator, pos);
    if (next == std::u16string::npos) next = path.size();
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  return parts;
}

}  // namespace

char16_t PathSeparator() { return Current().files->Separator(); }

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name,
                        char16_t separator) {
  if (folder.empty()) return name;
  std::u16string joined = folder;
  if (joined.back() != separator) joined += separator;
  joined += name;
  return joined;
}

std::u16string RemoveFileSpec(const std::u16string& path, char16_t separator) {
  const size_t last = path.rfind(separator);
  if (separator == u'\\') {
    // "C:\file" keeps "C:\"; "C:file" keeps "C:"; "\\server\share\file" keeps the share.
    if (last == std::u16string::npos) {
      return path.size() >= 2 && path[1] == u':' ? path.substr(0, 2) : std::u16string();
    }
    if (last == 2 && path[1] == u':') return path.substr(0, 3);
    if (last == 0) return path.substr(0, 1);
    if (last == 1 && path[0] == u'\\') return path.substr(0, 2);
    return path.substr(0, last);
  }
  if (last == std::u16string::npos) return std::u16string();
  if (last == 0) return path.substr(0, 1);
  return path.substr(0, last);
}

std::optional<std::u16string> GetInstallFolder() {
  const auto module = Current().system->ModuleFileName();
  if (!module || module->empty()) return std::nullopt;
  return RemoveFileSpec(*module);
}

std::u16string GetInstallFilePath(const std::u16string& name) {
  const auto folder = GetInstallFolder();
  return folder ? JoinPath(*folder, name) : std::u16string();
}

std::optional<std::u16string> GetAgentMasterPath() {
  const auto folder = GetInstallFolder();
  if (!folder) return std::nullopt;
  return JoinPath(*folder, u"AgentMaster.xml");
}

std::u16string GetAgentFilePath(const std::u16string& name) {
  const auto folder = GetInstallFolder();
  return folder ? JoinPath(JoinPath(*folder, u"Agents"), name) : std::u16string();
}

bool IsVersionSix() {
  int state = g_versionSix.load();
  if (state == 0) {
    state = Current().system->OsMajorVersion() == 6 ? 2 : 1;
    g_versionSix.store(state);
  }
  return state == 2;
}

void ResetVersionCacheForTesting() { g_versionSix.store(0); }

std::optional<std::u16string> GetAppDataFolder() {
  std::u16string folder;
  if (const auto shell = Current().system->AppDataFolder()) {
    folder = *shell;
    if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') {
      folder += PathSeparator();
    }
  }
  if (folder.empty()) return std::nullopt;
  if (IsVersionSix()) {
    static constexpr std::u16string_view kFrom = u"Roaming", kTo = u"LocalLow";
    for (size_t at = folder.find(kFrom); at != std::u16string::npos;
         at = folder.find(kFrom, at + kTo.size())) {
      folder.replace(at, kFrom.size(), kTo);
    }
  }
  return folder;
}

std::optional<std::u16string> GetUserDataFolder() {
  const auto appData = GetAppDataFolder();
  if (!appData) return std::nullopt;
  const std::u16string folder = *appData + u"Norvex";
  if (IsVersionSix()) {
    // The parent (LocalLow) always exists on such systems: one level suffices.
    const std::u16string withSeparator = folder + PathSeparator();
    if (!IsDirectoryOnly(withSeparator)) Current().files->MakeFolder(withSeparator);
  } else if (!IsDirectoryOnly(folder)) {
    CreateFolderPath(folder);
  }
  return folder;
}

// Walks the path from its root and creates each missing folder. The walk goes by whole
// prefixes rather than by changing the process's current folder, which other threads of the
// browser share.
bool CreateFolderPath(const std::u16string& path) {
  const char16_t sep = PathSeparator();
  std::u16string prefix;
  std::u16string rest = path;
  if (sep == u'\\' && path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    // UNC: the server and share form the root; a path with fewer than four backslashes is
    // one single component.
    size_t backslashes = 0, fourth = std::u16string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
      if (path[i] == u'\\' && ++backslashes == 4) {
        fourth = i;
        break;
      }
    }
    if (fourth == std::u16string::npos) return EnsureFolder(path);
    prefix = path.substr(0, fourth);
    rest = path.substr(fourth + 1);
    if (!IsDirectory(prefix)) return false;
  } else if (!path.empty() && path[0] == sep) {
    prefix = std::u16string(1, sep);
  }
  const std::vector<std::u16string> parts = SplitComponents(rest, sep);
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::u16string& part = parts[i];
    if (i == 0 && prefix.empty() && sep == u'\\' && part.size() == 2 && part[1] == u':') {
      prefix = part + u'\\';  // a drive: its root
      continue;
    }
    if (!prefix.empty() && prefix.back() != sep) prefix += sep;
    prefix += part;
    if (!EnsureFolder(prefix)) return false;
  }
  return true;
}

}  // namespace norvex::storage
