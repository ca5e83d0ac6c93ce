// The system's list of file operations for the next restart (tests only): the moves and removals
// that MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT recorded, read pair by pair so that a
// removal (an empty destination) keeps its place, also at the end of the list.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace norvex::helper::testing {

struct PendingOperation {
  std::filesystem::path source;  // without the "\??\" prefix
  std::filesystem::path destination;  // empty for a removal
};

// The operations whose source lies in `folder` (or is the folder), in order.
std::vector<PendingOperation> PendingOperations(const std::filesystem::path& folder);

// The removals among them, relative to `folder` ("." for the folder itself), lower-cased and
// sorted.
std::vector<std::string> PendingRemovals(const std::filesystem::path& folder);

// Takes those operations off the list again, so that a test leaves nothing for the restart.
void ForgetPendingOperations(const std::filesystem::path& folder);

}  // namespace norvex::helper::testing
