#include "service/update_files.h"

#include <cstdio>

#include "service/service_identity.h"

namespace norvex::service {

std::string FormatLogLine(const LocalTime& t, const std::string& message) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d ", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return stamp + message + "\r\n";
}

std::string FormatUpdateTime(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  return text;
}

std::string CollapseDotSegments(std::string path) {
  for (size_t at = path.find("\\.\\"); at != std::string::npos; at = path.find("\\.\\")) {
    path.replace(at, 3, "\\");
  }
  return path;
}

std::string ProgramFolderOf(const std::string& program_path, unsigned code_page) {
  const size_t cut = FindLastSeparator(program_path, code_page);
  if (cut == std::string::npos) return ".";
  return program_path.substr(0, cut);
}

std::string ProgramSiblingPath(const std::string& program_path, const std::string& file_name,
                               unsigned code_page) {
  const size_t cut = FindLastSeparator(program_path, code_page);
  if (cut == std::string::npos) return "";
  return program_path.substr(0, cut + 1) + file_name;
}

UpdateFiles::UpdateFiles(const ServicePlatform& platform, std::string log_path)
    : platform_(platform), log_path_(std::move(log_path)) {
  program_folder_ =
      ProgramFolderOf(platform_.files->ProgramPath(), platform_.files->NarrowCodePage());
}

std::string UpdateFiles::ResolveProgramPath(const std::string& path) const {
  const size_t drive = path.find(":\\");
  if (drive != std::string::npos && drive > 0) return path;
  if (!path.empty() && path[0] == '/') return path;
  return program_folder_ + "\\" + path;
}

bool UpdateFiles::CreateFolderChain(const std::string& path) const {
  const unsigned code_page = platform_.files->NarrowCodePage();
  std::string folder = program_folder_;
  size_t begin = 0;
  for (size_t end = FindSeparator(path, 0, code_page); end != std::string::npos;
       begin = end + 1, end = FindSeparator(path, begin, code_page)) {
    folder += "\\" + path.substr(begin, end - begin);
    if (platform_.files->IsFolder(folder)) continue;
    if (!platform_.files->CreateFolder(folder)) return false;
  }
  return true;
}

std::string UpdateFiles::ReadIniString(const std::string& file, const std::string& section,
                                       const std::string& key,
                                       const std::string& fallback) const {
  const std::string path = ResolveProgramPath(file);
  std::vector<char> buffer(100);
  for (;;) {
    const size_t length = platform_.profiles->ReadString(path, section, key, fallback,
                                                         buffer.data(), buffer.size());
    // A value that filled the buffer may have been cut: read it again with twice the room.
    if (length != buffer.size() - 1) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::vector<std::string> UpdateFiles::ReadIniSectionNames(const std::string& file) const {
  const std::string path = ResolveProgramPath(file);
  std::vector<char> buffer(10000);
  size_t length = 0;
  for (;;) {
    length = platform_.profiles->ReadSectionNames(path, buffer.data(), buffer.size());
    if (length != buffer.size() - 2) break;
    buffer.resize(buffer.size() * 2);
  }
  std::vector<std::string> names;
  for (size_t at = 0; at < length && buffer[at] != '\0';) {
    std::string name(buffer.data() + at);
    at += name.size() + 1;
    names.push_back(std::move(name));
  }
  return names;
}

bool UpdateFiles::WriteIniString(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& value) const {
  return platform_.profiles->WriteString(ResolveProgramPath(file), section, key, value);
}

void UpdateFiles::WriteUpdateLog(const std::string& message) const {
  std::string refusal;
  if (platform_.files->AppendLogLine(log_path_, FormatLogLine(platform_.clock->Now(), message),
                                     &refusal) ||
      refusal.empty() || log_refusal_reported_.exchange(true) || !platform_.host) {
    return;
  }
  platform_.host->ReportErrorEvent(
      kServiceName, kErrorEventId,
      {kServiceName, "The update log " + log_path_ + " is not written: " + refusal +
                         ". Remove it; the service makes its own."});
}

}  // namespace norvex::service
