// A WinINet handle, closed when the object goes. A close that fails adds the thread's error
// code to the list the handle was given, so that the request can report it.
#pragma once

#include <vector>

#include "platform/win32/scoped_handle.h"

namespace norvex::service::win32 {

class InternetHandle {
 public:
  InternetHandle(HINTERNET h, std::vector<long>& close_errors) : handle_(h), close_errors_(close_errors) {}
  ~InternetHandle() {
    if (!handle_.Close()) close_errors_.push_back(static_cast<long>(::GetLastError()));
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_.get(); }
  explicit operator bool() const { return handle_.valid(); }

 private:
  platform::win32::ScopedInternetHandle handle_;
  std::vector<long>& close_errors_;
};

}  // namespace norvex::service::win32
