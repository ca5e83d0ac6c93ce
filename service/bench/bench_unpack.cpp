// Benchmark driver: unpacks every entry of an archive into a folder through the archive
// library's own interface, as an update pass does. Prints the entries and the seconds.
#include <chrono>
#include <cstdio>

#include "unzip32/unzip32.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_unpack ARCHIVE FOLDER\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const ArcHandle archive = ArcOpen(nullptr, argv[1], 0x2028002);
  if (archive == 0) return 1;
  ArcEntryInfo info;
  int entries = 0;
  for (int r = ArcFindFirst(archive, "*", &info); r == ARC_OK; r = ArcFindNext(archive, &info)) {
    if (ArcExtractFound(archive, "", argv[2], ARC_EXTRACT_FOUND) != ARC_OK) return 1;
    ++entries;
  }
  ArcClose(archive);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d %.3f\n", entries, seconds);
  return 0;
}
