// The program's command-line arguments as UTF-8 text.
#pragma once

#include <string>
#include <vector>

namespace norvex::platform {

// The arguments after the program's name, UTF-8. Under Windows they are read from the process's
// UTF-16 command line: `argv` holds them in the ANSI code page, which loses every character it
// cannot represent (a folder named in another script, an accented letter under code page 932).
// Elsewhere `argv` already is the bytes the user gave.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace norvex::platform
