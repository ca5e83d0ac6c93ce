// Where the toolbar's files are: the installation folder (the folder of the toolbar's own module
// file, read only) and the per-user data folder ("Norvex" under the user's application data
// folder, created on demand). Paths use the platform's separator: '\' on Windows, '/' on POSIX.
#pragma once

#include <optional>
#include <string>

namespace norvex::storage {

// The separator of the platform's paths.
char16_t PathSeparator();

// `name` appended to `folder`, with one separator between them unless the folder already ends
// in one; the name alone when the folder is empty. The name is used as it is.
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name,
                        char16_t separator = PathSeparator());

// The folder of a file path, as PathRemoveFileSpec leaves it: no trailing separator except for
// a root ("C:\", "/").
std::u16string RemoveFileSpec(const std::u16string& path, char16_t separator = PathSeparator());

// The installation folder; nothing when the module's file name cannot be determined.
std::optional<std::u16string> GetInstallFolder();

// The installation folder joined with a file name; empty when the folder is unknown.
std::u16string GetInstallFilePath(const std::u16string& name);

// The installation folder joined with "AgentMaster.xml".
std::optional<std::u16string> GetAgentMasterPath();

// The installation folder joined with "Agents", then with the name; empty when unknown.
std::u16string GetAgentFilePath(const std::u16string& name);

// True when the system reports major version 6 exactly. Computed once per process.
bool IsVersionSix();

// The application data folder, ending in a separator; on a version-6 system every "Roaming" in
// it becomes "LocalLow", the folder that a browser at low integrity may write.
std::optional<std::u16string> GetAppDataFolder();

// The per-user data folder: the application data folder joined with "Norvex", created when
// missing. A folder that cannot be created is not an error here: the file operation that
// follows fails by itself.
std::optional<std::u16string> GetUserDataFolder();

// Creates every missing folder along the path. Drive ("X:") and UNC ("\\server\share") roots
// are taken as they are on Windows. Folders made before a failure stay.
bool CreateFolderPath(const std::u16string& path);

// Forgets the computed version flag (tests that switch the system seam call it).
void ResetVersionCacheForTesting();

}  // namespace norvex::storage
