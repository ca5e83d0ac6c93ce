// norvex-host --install DIR [--profile DIR] [--width N]
//
// Hosts the toolbar where the browser is absent: a parent window of a given width (headless),
// a browser object with navigation, the current address and the two navigation events, and the
// toolbar loaded from an installation folder. Driven by commands on standard input, one per
// line (UTF-8); it prints one event per line. See the README for the command language. The exit
// status is 1 when any command was refused, 0 otherwise (2 for a bad command line).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "common/text.h"
#include "tools/host.h"
#include "tools/host_commands.h"
#include "tools/install_override.h"

namespace {

using namespace norvex;

int Usage() {
  std::fprintf(stderr, "usage: norvex-host --install DIR [--profile DIR] [--width N]\n");
  return 2;
}

struct Args {
  std::string install;
  int width = 800;
};

bool ParseArgs(int argc, char** argv, Args& args) {
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (!std::strcmp(argv[i], "--install") && hasValue) {
      args.install = argv[++i];
    } else if (!std::strcmp(argv[i], "--profile") && hasValue) {
      ::setenv("XDG_DATA_HOME", argv[++i], 1);
    } else if (!std::strcmp(argv[i], "--width") && hasValue) {
      args.width = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return !args.install.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!ParseArgs(argc, argv, args)) return Usage();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  tools::InstallOverride system(Utf8ToUtf16(args.install));
  platform::ScopedSeams seams({nullptr, nullptr, &system});

  tools::HostOutput output("norvex-host", stdout, stderr);
  tools::Host host(args.width, output);
  tools::CommandInterpreter interpreter(host, output);
  interpreter.RunAll(std::cin);
  return output.ExitStatus();
}
