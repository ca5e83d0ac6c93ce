// Changing one INI file the way every writer of our INI files does it, in both programs: under
// the folder's write lock, the file read whole, changed by the rules of IniText, and replaced
// whole (WriteFileAtomically). Readers in other processes see the file before the change or
// after it; writers in other processes lose none of each other's changes.
#pragma once

#include <functional>
#include <string>

#include "platform/ini_text.h"

namespace norvex::platform {

// `edit` changes the parsed file and returns true when it changed anything; only then is the
// file written. A missing file starts as an empty UTF-8 file without a byte-order mark when
// `create_missing`; otherwise nothing is done. True when the file holds the change afterwards
// (or nothing was to be done); false when it could not be locked, read or written.
bool EditIniFile(const std::u16string& path, bool create_missing,
                 const std::function<bool(IniText&)>& edit);

}  // namespace norvex::platform
