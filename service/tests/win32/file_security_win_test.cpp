// What the service trusts of a file on Windows: its owner and its access list.
#include <gtest/gtest.h>

#include "service/win32/windows_service_api.h"

#include <sddl.h>

#include <filesystem>
#include <fstream>

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

TEST(FileSecurity, TrustedOwners) {
  const struct {
    const char* sddl;
    bool trusted;
  } cases[] = {
      {"O:SY", true},  {"O:BA", true},  {"O:BU", false}, {"O:WD", false},
      {"O:AU", false}, {"O:IU", false}, {"O:S-1-5-21-1-2-3-1001", false},
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

TEST(FileSecurity, AccessListsThatLetUsersChangeAFileOrFolder) {
  const struct {
    const char* sddl;
    bool file, folder;  // the list lets users change a file / a folder
  } cases[] = {
      {"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)(A;;0x1200a9;;;WD)", false, false},
      {"D:(A;;FA;;;SY)(A;;FW;;;BU)", true, true},
      {"D:(A;;GA;;;WD)", true, true},
      {"D:(A;;GW;;;AU)", true, true},
      {"D:(A;;0x2;;;IU)", true, true},            // write data / add a file
      {"D:(A;;0x4;;;BU)", true, true},            // append data / add a folder
      {"D:(A;;SD;;;WD)", true, true},             // delete
      {"D:(A;;WD;;;BU)", true, true},             // change the access list
      {"D:(A;;WO;;;BU)", true, true},             // take ownership
      {"D:(A;;0x40;;;BU)", false, true},          // delete what is in a folder
      {"D:(A;OICIIO;FA;;;BU)(A;;FR;;;BU)", false, false},  // passed on to children only
      {"D:(D;;FA;;;WD)", false, false},
      {"D:(A;;FA;;;S-1-5-21-1-2-3-1001)", false, false},
      {"D:", false, false},
  };
  for (const auto& c : cases) {
    const Sddl sddl(c.sddl);
    ASSERT_NE(sddl.Dacl(), nullptr) << c.sddl;
    EXPECT_EQ(GrantsChangeToUsers(sddl.Dacl(), false), c.file) << c.sddl;
    EXPECT_EQ(GrantsChangeToUsers(sddl.Dacl(), true), c.folder) << c.sddl;
  }
  EXPECT_TRUE(GrantsChangeToUsers(nullptr, false));  // no list: everyone may do everything
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
