// A history file written the way the toolbar writes one, in a folder of its own: an installation
// folder with a "strings.ini" whose caption is Japanese, and a per-user folder where the searches
// of kSampleQueries create "NorvexHistory.ini". The file that Wine's profile functions write and
// the one that ours write are kept in search/testdata, and each platform must read the other's.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace norvex::search::tools {

// The queries, in the order they are searched for.
const std::vector<std::u16string>& SampleQueries();

// The caption of the sample "strings.ini".
const std::u16string& SampleCaption();

// Writes the sample under `folder` ("install/strings.ini", "appdata/Norvex/NorvexHistory.ini")
// with the seams of this build, and returns the bytes of the history file.
std::string WriteHistorySample(const std::filesystem::path& folder);

}  // namespace norvex::search::tools
