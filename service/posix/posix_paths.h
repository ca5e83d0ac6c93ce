// The service's backslash paths in POSIX form.
#pragma once

#include <string>

namespace norvex::service::posix {

inline std::string NativePath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

}  // namespace norvex::service::posix
