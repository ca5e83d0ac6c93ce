// What the service trusts of a file on Windows: its owner and its access list.
#include <gtest/gtest.h>

#include "platform/win32/windows_api.h"

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <vector>

#include "service/tests/file_access.h"
#include "service/win32/file_security_win.h"
#include "tests/test_support.h"

namespace norvex::service::win32 {
namespace {

// A security descriptor made from SDDL text.
struct Sddl {
  explicit Sddl(const char* text) {
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &descriptor,
                                                           nullptr);
  }
  ~Sddl() { ::LocalFree(descriptor); }
  PSID Owner() const {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    return owner;
  }
  PACL Dacl() const {
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    return dacl;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
};

constexpr char kTrustedInstaller[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

TEST(FileSecurity, TrustedOwners) {
  const std::string trusted_installer = std::string("O:") + kTrustedInstaller;
  const struct {
    const char* sddl;
    bool trusted;
  } cases[] = {
      {"O:SY", true},  {"O:BA", true},  {trusted_installer.c_str(), true},
      {"O:BU", false}, {"O:WD", false}, {"O:AU", false},
      {"O:IU", false}, {"O:PU", false}, {"O:S-1-5-21-1-2-3-1001", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTrustedOwner(Sddl(c.sddl).Owner()), c.trusted) << c.sddl;
  EXPECT_FALSE(IsTrustedOwner(nullptr));
  // The account this process runs as (LocalSystem for the service).
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE buffer[256];
  DWORD size = sizeof buffer;
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, buffer, size, &size));
  ::CloseHandle(token);
  EXPECT_TRUE(IsTrustedOwner(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid));
}

TEST(FileSecurity, AccessListsThatLetOthersChangeAFileAFolderOrWhatIsBelowAFolder) {
  const std::string trusted_installer = std::string("D:(A;OICI;FA;;;") + kTrustedInstaller + ")";
  const struct {
    std::string sddl;
    bool file, folder, parent;  // the list lets others change a file / a folder / replace below
  } cases[] = {
      {"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)(A;;0x1200a9;;;WD)", false, false, false},
      {trusted_installer, false, false, false},
      // Program Files as Windows sets it: only read and run for users and app packages.
      {"D:(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
       "(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)",
       false, false, false},
      // The root of a system volume: users may add folders, and own what they add.
      {"D:(A;OICIIO;GA;;;CO)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
       "(A;CI;LC;;;AU)(A;OICIIO;SDGXGWGR;;;AU)",
       true, true, false},
      {"D:(A;;FA;;;SY)(A;;FW;;;BU)", true, true, false},
      {"D:(A;;GA;;;WD)", true, true, true},
      {"D:(A;;GW;;;AU)", true, true, false},
      {"D:(A;;0x2;;;IU)", true, true, false},   // write data / add a file
      {"D:(A;;0x4;;;BU)", true, true, false},   // append data / add a folder
      {"D:(A;;SD;;;WD)", true, true, true},     // delete
      {"D:(A;;WD;;;BU)", true, true, true},     // change the access list
      {"D:(A;;WO;;;BU)", true, true, true},     // take ownership
      {"D:(A;;0x40;;;BU)", false, true, true},  // delete what is in a folder
      // Groups and accounts beyond the four well-known ones.
      {"D:(A;;0x1301bf;;;PU)", true, true, true},             // Power Users: modify
      {"D:(A;;FA;;;RD)", true, true, true},                   // Remote Desktop Users
      {"D:(A;;FA;;;NU)", true, true, true},                   // NETWORK
      {"D:(A;;FA;;;S-1-5-21-1-2-3-513)", true, true, true},   // Domain Users
      {"D:(A;;FA;;;S-1-5-21-1-2-3-1001)", true, true, true},  // a named account
      {"D:(A;;FA;;;CO)", true, true, true},                   // CREATOR OWNER as itself
      // Passed on to children only: counts for a folder, whose new files get it.
      {"D:(A;OICIIO;FA;;;BU)(A;;FR;;;BU)", false, true, false},
      {"D:(A;OICIIO;FA;;;CO)(A;;FA;;;SY)", false, false, false},
      {"D:(A;OICIIO;FA;;;SY)(A;NP;FR;;;BU)", false, false, false},
      {"D:(D;;FA;;;WD)", false, false, false},
      {"D:", false, false, false},
  };
  for (const auto& c : cases) {
    const Sddl sddl(c.sddl.c_str());
    ASSERT_NE(sddl.Dacl(), nullptr) << c.sddl;
    EXPECT_EQ(GrantsChangeToOthers(sddl.Dacl(), Guarded::kFile), c.file) << c.sddl;
    EXPECT_EQ(GrantsChangeToOthers(sddl.Dacl(), Guarded::kFolder), c.folder) << c.sddl;
    EXPECT_EQ(GrantsChangeToOthers(sddl.Dacl(), Guarded::kParent), c.parent) << c.sddl;
  }
  // No list: everyone may do everything.
  for (const Guarded what : {Guarded::kFile, Guarded::kFolder, Guarded::kParent}) {
    EXPECT_TRUE(GrantsChangeToOthers(nullptr, what));
  }
}

// Wine keeps no access list of a file or folder: it makes one from the Unix mode (LocalSystem,
// its one account, Everyone), so the rules are tested on lists made from SDDL, and the folders
// they are applied to on their own; the whole check under Wine sees Everyone's rights only.
TEST(FileSecurity, FoldersAboveUpToTheRootOfTheVolume) {
  const struct {
    const wchar_t* folder;
    std::vector<std::wstring> above;
  } cases[] = {
      {L"C:\\Program Files\\Norvex", {L"C:\\", L"C:\\Program Files"}},
      {L"C:\\Program Files\\Norvex\\", {L"C:\\", L"C:\\Program Files"}},
      {L"D:\\Apps\\Norvex\\Bin", {L"D:\\", L"D:\\Apps", L"D:\\Apps\\Norvex"}},
      {L"C:\\Norvex", {L"C:\\"}},
      {L"C:\\", {}},
      {L"Norvex", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FoldersAbove(c.folder), c.above)
        << std::string(c.folder, c.folder + wcslen(c.folder));
  }
}

TEST(FileSecurity, FolderChangeableByUsersIsFoundWhereverItIs) {
  namespace fs = std::filesystem;
  const char* places[] = {"", "UNZIP32.dll", "Agents", "Agents\\a.xml"};
  for (const char* place : places) {
    test::TempFolder temp;
    const fs::path folder = temp.path() / "Norvex";
    fs::create_directories(folder / "Agents");
    std::ofstream(folder / "UNZIP32.dll") << "library";
    std::ofstream(folder / "Agents" / "a.xml") << "<agent/>";
    EXPECT_EQ(FindChangeableByUsers(folder.string()), "") << place;
    const fs::path opened = *place ? folder / place : folder;
    ASSERT_TRUE(service::testing::OpenToEveryone(opened.string())) << place;
    EXPECT_EQ(FindChangeableByUsers(folder.string()), opened.string()) << place;
  }
}

}  // namespace
}  // namespace norvex::service::win32
