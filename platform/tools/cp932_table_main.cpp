// Writes the code page 932 table of this build's encoder to standard output (or to the file
// named by the first argument). Run under Wine, the Windows build gives the table of the system's
// own WideCharToMultiByte: scripts in platform/tools use that to refresh
// platform/testdata/cp932_table.txt.

#include <cstdio>
#include <fstream>
#include <iostream>

#include "platform/tools/cp932_table.h"

int main(int argc, char** argv) {
  using namespace norvex::platform::tools;
#ifdef _WIN32
  const char* origin = "WideCharToMultiByte(932, 0) of each UTF-16 code unit alone";
#else
  const char* origin = "POSIX code page 932 encoder, each UTF-16 code unit alone";
#endif
  const std::string text = FormatCp932Table(BuildCp932TableFromSeam(), origin);
  if (argc > 1) {
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    return out ? 0 : 1;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
