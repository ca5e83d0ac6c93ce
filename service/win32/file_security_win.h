// What the service, running as LocalSystem, trusts of the files it touches: who owns them,
// who else may change them, and the update log opened so that no link or reparse point can
// send its writes elsewhere.
#pragma once

#include <string>

#include "platform/win32/scoped_handle.h"
#include "service/win32/windows_service_api.h"

namespace norvex::service::win32 {

// True for an owner the service may trust: LocalSystem, the Administrators group, or the
// account this process runs as (LocalSystem for the service itself; the administrator who
// installs it).
bool IsTrustedOwner(PSID owner);

// True when the access list lets Everyone, Authenticated Users, Users or INTERACTIVE write,
// append, delete, or change the access list or the owner (for a folder also: delete what is in
// it). A missing access list lets everyone do everything. Entries that only pass on to children
// are left to the children.
bool GrantsChangeToUsers(const ACL* dacl, bool folder);

// The first of folder, its files and its subfolders (all the way down) that someone other
// than an administrator can change: an owner that IsTrustedOwner refuses, an access list that
// GrantsChangeToUsers, a reparse point, or security that cannot be read. Empty when there is
// none.
std::string FindChangeableByUsers(const std::string& folder);

// Opens path for appending, creating it when missing (only LocalSystem, the administrators and
// this account may change a new file; users may read it). Refused (an empty holder) when
// the folder or the file is a reparse point, the file has more than one link, the file or its
// folder is reached under another final path than the one given, or the file's owner is not
// trusted. The file is opened inside the folder handle, so the folder cannot be swapped for a
// link between the checks and the open.
platform::win32::ScopedKernelHandle OpenLogForAppend(const std::string& path);

}  // namespace norvex::service::win32
