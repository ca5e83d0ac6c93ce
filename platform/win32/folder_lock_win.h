// The Windows folder lock's mutex (FolderWriteLock, platform/atomic_file.h): its name, and the
// security it is made with. Beside the implementation for its test.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace norvex::platform::win32 {

// "Local\NorvexFolderWriteLock.<volume>.<file index>" of the folder that holds `file`, so that
// every path to one folder names one lock; empty when the folder cannot be opened.
std::wstring FolderLockName(const std::u16string& file);

// Security attributes for the mutex: the creator's default access list, and the low integrity
// label, so that the toolbar in a browser at low integrity can open and wait on a lock that a
// program at medium integrity made first (the browser extension's bridge, the options it
// writes). Null attributes where the system cannot make such a label.
class LowIntegrityAttributes {
 public:
  LowIntegrityAttributes();
  ~LowIntegrityAttributes();
  LowIntegrityAttributes(const LowIntegrityAttributes&) = delete;
  LowIntegrityAttributes& operator=(const LowIntegrityAttributes&) = delete;
  SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace norvex::platform::win32
