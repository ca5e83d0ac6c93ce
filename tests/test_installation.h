// A test's own installation folder and per-user profile in a temporary folder, put in place of
// the toolbar's module folder and application data folder for the test's lifetime. The file
// system and the profile store stay the platform's own.
#pragma once

#include <filesystem>
#include <string>

#include "storage/data_folders.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::test {

class TestInstallation {
 public:
  TestInstallation() : seams_({nullptr, nullptr, &system_}) {
    std::filesystem::create_directories(temp_.path() / "install" / "Agents");
    system_.module = temp_.File("install/NorvexToolbar.dll");
    system_.appData = temp_.File("appdata");
    storage::ResetVersionCacheForTesting();
  }
  ~TestInstallation() { storage::ResetVersionCacheForTesting(); }

  // A file of the installation folder, of its "Agents" folder, of the per-user folder.
  std::u16string InstallFile(const std::string& name) const { return temp_.File("install/" + name); }
  std::u16string AgentFile(const std::string& name) const {
    return temp_.File("install/Agents/" + name);
  }
  std::u16string UserFile(const std::string& name) const {
    return temp_.File("appdata/Norvex/" + name);
  }

  // "AgentMaster.xml" with these agent entries; an agent file with this body.
  void WriteCatalogue(const std::string& entries) const {
    WriteBytes(InstallFile("AgentMaster.xml"), "<agents>" + entries + "</agents>");
  }
  void WriteAgent(const std::string& file, const std::string& body) const {
    WriteBytes(AgentFile(file), "<agent>" + body + "</agent>");
  }
  // Uses the repository's sample installation instead of the temporary one.
  void UseSampleInstallation() {
    const std::u16string sep(1, storage::PathSeparator());
    system_.module = SourceFolder() + sep + u"sample" + sep + u"install" + sep +
                     u"NorvexToolbar.dll";
  }

  TempFolder temp_;
  FakeSystemInfo system_;

 private:
  platform::ScopedSeams seams_;
};

}  // namespace norvex::test
