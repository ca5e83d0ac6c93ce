// Test set-up that only the platform can do: opening a file or folder to every user, symbolic
// links, and the host system's name of a path.
#pragma once

#include <string>

namespace norvex::service::testing {

// Lets every user of the machine change the file or folder (on Windows: an access list that
// gives Everyone full control; on POSIX: everyone may write it). False when refused.
bool OpenToEveryone(const std::string& path);

// A symbolic link at link that leads to target (both in the platform's form). Under Wine the
// link is made by the host system, since Wine makes none itself. False when none can be made.
bool MakeSymbolicLink(const std::string& target, const std::string& link);

// Removes a link that MakeSymbolicLink made (and not what it leads to).
bool RemoveSymbolicLink(const std::string& link);

// Under Wine: makes the program of that file name take library from its own folder before
// the system's (as Windows does for a library that is not one of its known ones); an empty
// order forgets the setting. False elsewhere.
bool PreferLibraryBesideProgram(const std::string& program_name, const std::string& library,
                                bool prefer);

// The host system's name of a path: under Wine the Linux path of a Windows one; empty on
// Windows itself; on POSIX the path unchanged.
std::string HostPath(const std::string& path);

}  // namespace norvex::service::testing
