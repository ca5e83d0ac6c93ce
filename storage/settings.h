// The toolbar's settings files: "UserConfig.ini" in the per-user data folder (agent visibility,
// the search box's drop-down size) and, in the installation folder, "strings.ini", "version.ini"
// and "norvexOEM.ini", which the toolbar only reads. Every call goes to the file anew, so a
// change made by another toolbar or by the update service is seen at the next read.
#pragma once

#include <optional>
#include <string>

namespace norvex::storage {

// The per-user folder joined with "UserConfig.ini"; nothing when the folder is unavailable.
std::optional<std::u16string> GetUserConfigPath();

// Whether the agent's button is shown: [user_settings] <id> is "1", and a missing key counts as
// "1". False when the per-user folder is unavailable.
bool IsAgentShown(const std::u16string& agentId);

// IsAgentShown for many agents in a row (a toolbar's load): the per-user folder is found (and
// made) once, when this is made; each answer still reads the file as it is then.
class AgentVisibility {
 public:
  AgentVisibility();
  bool IsShown(const std::u16string& agentId) const;

 private:
  std::optional<std::u16string> configPath_;
};

void SetAgentShown(const std::u16string& agentId, bool shown);

// [window_diams] <key> as an integer (lenient; 0 when missing or unavailable).
int ReadWindowDimension(const std::u16string& key);
void WriteWindowDimension(const std::u16string& key, int value);

// [data] <key> of "strings.ini", trimmed. True when non-empty; `out` is then the value. With the
// installation folder unknown, false and `out` unchanged.
bool ReadDataString(const std::u16string& key, std::u16string& out);

// [data] <key> of "strings.ini" as the profile functions give it, for a label that other text
// follows directly: blanks around an unquoted value are dropped, a value in quotes keeps the
// blanks inside them ("バージョン " in quotes ends in its blank). True when non-empty; with the
// installation folder unknown, false and `out` unchanged.
bool ReadDataLabel(const std::u16string& key, std::u16string& out);

// [COMMON] VERSION of "version.ini", untrimmed. True when non-empty.
bool ReadInstalledVersion(std::u16string& out);

// [product] <key> of "norvexOEM.ini" as read; empty when missing.
std::u16string ReadProductValue(const std::u16string& key);

}  // namespace norvex::storage
