// What an installation of the product consists of, as the installer lays it out and the uninstall
// program takes it away again. The installer script (installer/NorvexSetup.nsi) writes the same
// names; the round-trip test under Wine checks that nothing is left between the two.
#pragma once

#include <string>
#include <vector>

namespace norvex::helper {

inline constexpr char16_t kServiceName[] = u"LiveUpdateService";
inline constexpr char16_t kToolbarModule[] = u"NorvexToolbar.dll";
inline constexpr char16_t kServiceProgram[] = u"Quorvel.exe";
inline constexpr char16_t kHelperProgram[] = u"NorvexHelper.exe";
inline constexpr char16_t kMoverProgram[] = u"ShuntFile.exe";
// The service's working folder, where updates wait for the next restart.
inline constexpr char16_t kWorkingFolder[] = u"Temp";

// The system's entry for the product among the installed programs (under HKEY_LOCAL_MACHINE).
inline constexpr char16_t kUninstallKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvex";
inline constexpr char16_t kInstallLocationValue[] = u"InstallLocation";

// Where the service registers its mover on the older Windows family (under HKEY_LOCAL_MACHINE).
inline constexpr char16_t kRunOnceKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";
inline constexpr char16_t kRunOnceValue[] = u"Driftcast";

// Files of the installation folder that belong to the product: those the installer copies and
// those the service writes beside them. The uninstall program itself is not among them.
const std::vector<std::u16string>& ProductFiles();
// Folders of the installation folder that belong to the product with everything in them.
const std::vector<std::u16string>& ProductFolders();

// `folder` and `name` joined by one backslash (a trailing backslash of `folder` is not doubled).
std::u16string JoinInstallPath(const std::u16string& folder, const std::u16string& name);

// Paths compared as the system compares file names: without regard to ASCII case, and with no
// weight on a trailing backslash.
bool SamePath(const std::u16string& a, const std::u16string& b);

// A registered command line without its enclosing double quotes (and anything after them).
std::u16string UnquotedProgram(const std::u16string& command);

}  // namespace norvex::helper
