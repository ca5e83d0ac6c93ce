#include "platform/ini_file.h"

#include "platform/atomic_file.h"

namespace norvex::platform {

bool EditIniFile(const std::u16string& path, bool create_missing,
                 const std::function<bool(IniText&)>& edit) {
  FolderWriteLock lock(path);
  if (!lock.held()) return false;
  std::string bytes;
  const WholeFileRead read = ReadWholeFile(path, bytes);
  if (read == WholeFileRead::kFailed) return false;
  if (read == WholeFileRead::kMissing && !create_missing) return true;
  IniText ini = read == WholeFileRead::kRead ? IniText::FromBytes(bytes)
                                             : IniText::Empty(IniEncoding::kUtf8);
  if (!edit(ini)) return true;
  return WriteFileAtomically(path, ini.ToBytes());
}

}  // namespace norvex::platform
