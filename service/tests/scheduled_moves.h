// What the platform holds of the moves scheduled for the next restart, for the files below a
// folder: the journal on POSIX, the pending-rename list of the registry on Windows.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace norvex::service::testing {

std::vector<std::pair<std::string, std::string>> ScheduledMoves(const std::string& folder);
// Removes those moves again, so that a test leaves nothing for the next restart.
void ForgetScheduledMoves(const std::string& folder);

}  // namespace norvex::service::testing
