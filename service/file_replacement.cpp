#include "service/file_replacement.h"

namespace norvex::service {

std::pair<std::string, std::string> FileReplacer::ResolvedPaths(
    const std::string& source, const std::string& destination) const {
  return {CollapseDotSegments(files_.ResolveProgramPath(source)),
          CollapseDotSegments(files_.ResolveProgramPath(destination))};
}

bool FileReplacer::ReplaceFile(const std::string& source, const std::string& destination) {
  const auto [from, to] = ResolvedPaths(source, destination);
  FileMover& mover = *files_.platform().mover;
  // Only a platform that says it is of the older family takes the list file branch; one that
  // cannot tell (0) is an NT system, the only kind that still runs this service.
  if (mover.PlatformId() != kOlderFamily) return mover.MoveAtRestart(from, to);

  if (!mover.HasShortPath(from, 1000)) return false;
  if (!mover.HasShortPath(to, 260)) {
    files_.platform().files->RemoveFile(to);
    return false;
  }
  const std::string list = files_.ProgramFolder() + "\\" + kListFileName;
  if (!list_started_) {
    files_.platform().files->RemoveFile(list);
    files_.WriteIniString(list, "COMMON", "Enable", "1");
    list_started_ = true;
    // Quoted, so that a folder name with blanks ("C:\Program Files\...") cannot start a
    // shorter program name that someone else put there.
    mover.SetRunOnce(kRunOnceValue, "\"" + files_.ProgramFolder() + "\\" + kMoverProgram + "\"");
  }
  const std::string n = std::to_string(++entry_count_);
  files_.WriteIniString(list, n, "Source", from);
  files_.WriteIniString(list, n, "Destination", to);
  files_.WriteIniString(list, "COMMON", "COUNT", n);
  return true;
}

std::string JournalLine(const std::string& source, const std::string& destination) {
  return source + "\t" + destination + "\n";
}

namespace {

void CreateParentFolders(ServiceFileSystem& fs, const std::string& path) {
  const unsigned code_page = fs.NarrowCodePage();
  for (size_t at = FindSeparator(path, 1, code_page); at != std::string::npos;
       at = FindSeparator(path, at + 1, code_page)) {
    const std::string folder = path.substr(0, at);
    if (!fs.IsFolder(folder)) fs.CreateFolder(folder);
  }
}

}  // namespace

int ApplyMoveJournal(ServiceFileSystem& fs, const std::string& journal_path) {
  std::string journal;
  if (!fs.ReadWhole(journal_path, &journal)) return 0;
  int failed = 0;
  size_t begin = 0;
  while (begin < journal.size()) {
    const size_t end = journal.find('\n', begin);
    if (end == std::string::npos) {
      // A last line without its line end was cut off while being written: its destination may
      // be cut short too, so it is not applied.
      ++failed;
      break;
    }
    const std::string line = journal.substr(begin, end - begin);
    begin = end + 1;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) {
      ++failed;
      continue;
    }
    const std::string source = line.substr(0, tab);
    const std::string destination = line.substr(tab + 1);
    CreateParentFolders(fs, destination);
    if (!fs.RenameReplacing(source, destination)) ++failed;
  }
  fs.RemoveFile(journal_path);
  return failed;
}

}  // namespace norvex::service
