#include <fstream>
#include <sstream>

#include "service/tests/scheduled_moves.h"

namespace norvex::service::testing {

std::vector<std::pair<std::string, std::string>> ScheduledMoves(const std::string& folder) {
  std::ifstream in(folder + "/PendingMoves.journal");
  std::vector<std::pair<std::string, std::string>> moves;
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) moves.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return moves;
}

void ForgetScheduledMoves(const std::string& folder) {
  std::remove((folder + "/PendingMoves.journal").c_str());
}

}  // namespace norvex::service::testing

namespace norvex::service::testing {

std::string RegisteredServiceCommand(const std::string& standin_folder) {
  std::ifstream in(standin_folder + "/LiveUpdateService/config");
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace norvex::service::testing
