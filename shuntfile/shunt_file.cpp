#include "shuntfile/shunt_file.h"

#include <string_view>
#include <vector>

#include "common/file_names.h"

namespace norvex::shuntfile {

namespace {

std::string Read(service::ProfileFiles& profiles, const std::string& file,
                 const std::string& section, const std::string& key) {
  std::vector<char> buffer(1024);
  for (;;) {
    const size_t n =
        profiles.ReadString(file, section, key, "", buffer.data(), buffer.size());
    if (n != buffer.size() - 1) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

// Leading decimal digits; 0 when there are none.
long LeadingNumber(const std::string& text) {
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 1000000) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

// True when path names a file below folder: the folder itself, a separator, and a relative
// path that stays inside it.
bool IsInsideFolder(const std::string& path, const std::string& folder, unsigned code_page) {
  if (path.size() <= folder.size() + 1 || path.compare(0, folder.size(), folder) != 0) {
    return false;
  }
  const char separator = path[folder.size()];
  return (separator == '\\' || separator == '/') &&
         IsSafeRelativePath(std::string_view(path).substr(folder.size() + 1), code_page);
}

}  // namespace

ShuntResult RunShuntFile(service::ServiceFileSystem& files, service::ProfileFiles& profiles,
                         const std::string& folder) {
  ShuntResult result;
  // Without its own folder (the program's path was not known) the mover has no list to read:
  // the current folder is not its folder.
  if (folder.empty() || folder == ".") return result;
  const std::string list = folder + "\\livefile.ini";
  if (Read(profiles, list, "COMMON", "Enable") != "1") return result;
  result.list_found = true;
  const long count = LeadingNumber(Read(profiles, list, "COMMON", "COUNT"));
  for (long n = 1; n <= count; ++n) {
    const std::string section = std::to_string(n);
    const std::string source = Read(profiles, list, section, "Source");
    const std::string destination = Read(profiles, list, section, "Destination");
    // The list only ever moves files of this installation; an entry that would take a file
    // from or put one anywhere else is not carried out. One entry that cannot be carried out
    // does not hold up the others.
    if (IsInsideFolder(source, folder, files.NarrowCodePage()) &&
        IsInsideFolder(destination, folder, files.NarrowCodePage()) &&
        files.RenameReplacing(source, destination)) {
      ++result.moved;
    } else {
      ++result.failed;
    }
  }
  // The list is done with: a list left enabled would be carried out again at every logon.
  if (!files.RemoveFile(list)) profiles.WriteString(list, "COMMON", "Enable", "0");
  return result;
}

}  // namespace norvex::shuntfile
