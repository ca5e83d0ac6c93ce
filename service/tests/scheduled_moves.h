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

namespace norvex::service::testing {

// The command line under which the control manager (or the stand-in, whose state folder is
// given) has the service registered; empty when it is not registered.
std::string RegisteredServiceCommand(const std::string& standin_folder);

}  // namespace norvex::service::testing
