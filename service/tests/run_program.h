// Runs a program with arguments and collects its standard output (tests only).
#pragma once

#include <string>
#include <vector>

namespace norvex::service::testing {

struct ProgramRun {
  int exit_code = -1;
  std::string output;
};

// folder: the working folder of the program; empty for the caller's own.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& folder = {});

}  // namespace norvex::service::testing
