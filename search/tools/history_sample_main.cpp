// Writes the sample history file of this build to the path given (see history_sample.h). The
// Windows build run under Wine writes search/testdata/history_wine.ini, the native build
// search/testdata/history_posix.ini; search/tools/refresh_history_samples.sh runs both.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "search/tools/history_sample.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: history_sample OUTPUT\n");
    return 2;
  }
  namespace fs = std::filesystem;
  std::random_device random;
  const fs::path folder = fs::temp_directory_path() / ("norvex-history-" + std::to_string(random()));
  const std::string bytes = norvex::search::tools::WriteHistorySample(folder);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  if (bytes.empty()) return 1;
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}
