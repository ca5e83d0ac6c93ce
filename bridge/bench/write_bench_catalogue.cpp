// write_bench_catalogue DIR: writes the benchmarks' 30-agent catalogue into DIR (AgentMaster.xml
// and Agents/), for the bridge's benchmark, which runs the bridge program on it.
#include <cstdio>

#include "toolbar/bench/bench_catalogue.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_bench_catalogue DIR\n");
    return 2;
  }
  norvex::test::WriteBenchCatalogue(argv[1]);
  return 0;
}
