// A WinINet handle, closed when the object goes. A close that fails adds the thread's error
// code to the list the handle was given, so that the request can report it.
#pragma once

#include <vector>

#include "service/win32/windows_service_api.h"
#include <wininet.h>

namespace norvex::service::win32 {

class InternetHandle {
 public:
  InternetHandle(HINTERNET h, std::vector<long>& close_errors) : h_(h), close_errors_(close_errors) {}
  ~InternetHandle() {
    if (h_ && !::InternetCloseHandle(h_)) close_errors_.push_back(static_cast<long>(::GetLastError()));
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HINTERNET h_;
  std::vector<long>& close_errors_;
};

}  // namespace norvex::service::win32
