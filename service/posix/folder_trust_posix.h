// Who may change a file or folder on POSIX, as the service (running as root) must know before it
// runs, loads or reads anything from there: the rules for the program folder and its parents,
// and a folder held open so that every name in it is reached through the folder that was
// checked, never through a link put in its place.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

namespace norvex::service::posix {

// True for an owner the service may trust: root, or the user this process runs as.
bool IsTrustedOwner(uid_t owner);

// True when someone other than root and this user can change the file or folder: it is a
// symbolic link (it leads wherever its maker chose), it belongs to someone else, everyone may
// write it, or a group other than root's and this user's may.
bool IsChangeableByUsers(const struct stat& info);

// True when someone other than root and this user can rename or delete what the folder holds,
// and so put another folder in place of one of its entries: it is a link, it belongs to someone
// else, or others (or a group other than root's and this user's) may write it, unless its sticky
// bit keeps them to their own entries (as in /tmp).
bool LetsUsersReplaceEntries(const struct stat& info);

// The first folder above path, from "/" down to its parent, that LetsUsersReplaceEntries (or that
// cannot be examined); empty when there is none. path is absolute and without links (as the
// system gives a program's own path).
std::string FindReplaceableParent(const std::string& path);

// Why the service-manager stand-in refuses a folder for its state: it is not a folder, it
// belongs to someone other than root (or, for a caller that is not root, the caller), or its
// group or others may write it. Empty when it is taken.
std::string StateFolderRefusal(const struct stat& info);

// A folder of the stand-in's state, opened as itself (a link in its place is refused) and held,
// with StateFolderRefusal checked on the open folder. Files in it are read, written and removed
// by name through the held folder, and never through a link.
class StateFolder {
 public:
  // Opens (and, when create is true and nothing has that name, first makes) the folder name
  // below parent (null: name is an absolute path, whose parents must not LetUsersReplaceEntries
  // either). Null when the folder is missing (*refusal empty) or refused (*refusal says why).
  static std::unique_ptr<StateFolder> Open(const StateFolder* parent, const std::string& name,
                                           bool create, std::string* refusal);
  ~StateFolder();
  StateFolder(const StateFolder&) = delete;
  StateFolder& operator=(const StateFolder&) = delete;

  const std::string& path() const { return path_; }
  // The content of a plain file of that name; empty when there is none (or it is a link).
  std::string Read(const std::string& name) const;
  // The file's modification time in seconds; 0 when there is no plain file of that name.
  long long ModifiedAt(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Replaces the file in one step: the text goes to a new file of a unique name in this folder
  // (made with O_CREAT | O_EXCL | O_NOFOLLOW, so nothing already there is opened), which is then
  // renamed over the name.
  bool Write(const std::string& name, const std::string& text) const;
  bool Remove(const std::string& name) const;
  // Removes every file of the folder and then the folder itself.
  void RemoveWithFiles() const;

 private:
  StateFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

}  // namespace norvex::service::posix
