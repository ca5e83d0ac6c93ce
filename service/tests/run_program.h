// Runs a program with arguments and collects its standard output (tests only).
#pragma once

#include <string>
#include <vector>

namespace norvex::service::testing {

struct ProgramRun {
  int exit_code = -1;
  std::string output;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace norvex::service::testing
