// Seam: what the bridge program needs of its platform beyond the toolbar's seams: standard
// streams that carry bytes as they are, programs started so that they outlive the bridge, and
// the executable bit of a launcher.
#pragma once

#include <cstdio>
#include <string>

#include "storage/uninstall.h"

namespace norvex::bridge {

// "linux" or "windows", as `hello` reports it.
const char* PlatformName();

// Standard input and output in binary mode: no CR LF translation, no end at a Ctrl+Z byte (a
// frame's length bytes may be 10, 13 or 26). On POSIX a write to a closed pipe becomes an error
// to handle rather than a signal that ends the program.
void PrepareStdio();

// Reads up to `size` bytes of standard input, going on after interruptions; 0 at its end or on
// an error. Writes all bytes to standard output and flushes; false when they did not all go.
size_t ReadStdin(char* buffer, size_t size);
bool WriteStdout(const std::string& bytes);

// Starts a program detached from the bridge: its own session or process group, none of the
// bridge's handles or pipes, so that it goes on when the browser ends the bridge.
class DetachedStarter final : public storage::ProgramStarter {
 public:
  bool Start(const std::u16string& program, const std::u16string& arguments) override;
};

// Sets the executable bits of a file (POSIX); true where the platform has none.
bool MakeExecutable(const std::u16string& path);

// The user's configuration folder of the XDG base directories ($XDG_CONFIG_HOME, else
// ~/.config); empty when neither is known, and on Windows.
std::u16string ConfigHome();

}  // namespace norvex::bridge
