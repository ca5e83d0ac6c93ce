// What the service, running as LocalSystem, trusts of the files it touches: who owns them,
// who else may change them, and the update log opened so that no link or reparse point can
// send its writes elsewhere.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "platform/win32/scoped_handle.h"

namespace norvex::service::win32 {

// True for a trustee that may change what the service runs: LocalSystem, the Administrators
// group, TrustedInstaller, or the account this process runs as (LocalSystem for the service
// itself; the administrator who installs it, who may change everything anyway).
bool IsTrustedTrustee(PSID sid);

// True for an owner the service may trust (an owner may always change the access list): one
// that IsTrustedTrustee.
bool IsTrustedOwner(PSID owner);

// What an access list guards.
enum class Guarded {
  kFile,    // a file: writing, appending, deleting, changing its access list or owner
  kFolder,  // a folder whose files matter: the same, and deleting what is in it, also through
            // entries that pass on to the files and folders made in it later
  kParent,  // a folder above: deleting or renaming it or what is in it (so that another folder
            // could take the place of the one below), or changing its access list or owner
};

// True when the access list lets a trustee that is not IsTrustedTrustee change what it guards.
// The one exception is CREATOR OWNER in an entry that only passes on to children (its owner, who
// must be trusted, then gets the rights). A missing access list lets everyone do everything; an
// allowing entry that cannot be read counts as letting anyone.
bool GrantsChangeToOthers(const ACL* dacl, Guarded what);

// The folders above folder, from the root of its volume down to its parent ("C:\\", "C:\\a" for
// "C:\\a\\b"); none for a root or a name without a folder.
std::vector<std::wstring> FoldersAbove(std::wstring folder);

// The first place from which someone other than an administrator can change what the service
// runs from folder: a folder above it up to the root of its volume (from the root down) whose
// owner is not trusted or whose access list GrantsChangeToOthers (kParent); then folder, its
// files and its subfolders (all the way down), with an owner that IsTrustedOwner refuses, an
// access list that GrantsChangeToOthers, a reparse point, or security that cannot be read.
// Empty when there is none.
std::string FindChangeableByUsers(const std::string& folder);

// Opens path for appending, creating it when missing (only LocalSystem, the administrators and
// this account may change a new file; users may read it). Refused (an empty holder, *refusal
// saying why) when the folder or the file is a reparse point, the file has more than one link,
// the file or its folder is reached under another final path than the one given, the file's
// owner is not trusted, or a file that is there cannot be opened. An empty holder with
// *refusal empty when the folder is missing or no file can be made in it. The file is opened
// inside the folder handle, so the folder cannot be swapped for a link between the checks and
// the open.
platform::win32::ScopedKernelHandle OpenLogForAppend(const std::string& path, std::string* refusal);

}  // namespace norvex::service::win32
