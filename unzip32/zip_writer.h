// A small ZIP writer for tests and seeds: stored or deflated entries, and ways to build
// broken archives on purpose.
#pragma once

#include <string>
#include <vector>

namespace norvex::unzip {

struct ZipInput {
  std::string name;
  std::string data;
  bool deflate = true;
};

// The bytes of an archive holding the entries in order.
std::string MakeZip(const std::vector<ZipInput>& entries);

}  // namespace norvex::unzip
