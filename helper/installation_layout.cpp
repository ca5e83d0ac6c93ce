#include "helper/installation_layout.h"

namespace norvex::helper {

const std::vector<std::u16string>& ProductFiles() {
  static const std::vector<std::u16string> files = {
      kToolbarModule,
      kServiceProgram,
      u"UNZIP32.dll",
      kMoverProgram,
      // A new module that waits for the restart, when a browser held the old one at an upgrade.
      u"NorvexToolbar.dll.new",
      // The catalogue and the settings of the installation.
      u"AgentMaster.xml",
      u"strings.ini",
      u"version.ini",
      u"norvexOEM.ini",
      u"LogUrls.ini",
      // Written by the service.
      u"product.ini",
      u"livefile.ini",
      // The browsers' native messaging host, a new one waiting for the restart when a browser
      // ran the old one at an upgrade, and the host manifest it wrote.
      u"NorvexBridge.exe",
      u"NorvexBridge.exe.new",
      u"com.norvex.bridge.json",
  };
  return files;
}

const std::vector<std::u16string>& ProductFolders() {
  static const std::vector<std::u16string> folders = {u"Agents", kWorkingFolder};
  return folders;
}

std::u16string JoinInstallPath(const std::u16string& folder, const std::u16string& name) {
  if (folder.empty()) return name;
  if (folder.back() == u'\\' || folder.back() == u'/') return folder + name;
  return folder + u'\\' + name;
}

namespace {

std::u16string Comparable(const std::u16string& path) {
  std::u16string out = path;
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  while (out.size() > 1 && out.back() == u'\\') out.pop_back();
  return out;
}

}  // namespace

bool SamePath(const std::u16string& a, const std::u16string& b) {
  return Comparable(a) == Comparable(b);
}

std::u16string UnquotedProgram(const std::u16string& command) {
  if (command.empty() || command.front() != u'"') return command;
  const size_t close = command.find(u'"', 1);
  return command.substr(1, close == std::u16string::npos ? std::u16string::npos : close - 1);
}

}  // namespace norvex::helper
