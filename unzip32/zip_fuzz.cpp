// Fuzz target of the ZIP reader. Built with clang's -fsanitize=fuzzer it is a libFuzzer
// target; otherwise main() runs a bounded mutation loop over seed archives (argument: the
// number of mutated inputs), so CI runs it for a short, fixed amount of work.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/file_names.h"
#include "unzip32/zip_reader.h"
#include "unzip32/zip_writer.h"

using namespace norvex::unzip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto source = MemorySource(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<ZipEntry> entries;
  if (ReadDirectory(*source, &entries) != ZipStatus::kOk) return 0;
  WithinUnpackLimits(entries);
  for (const ZipEntry& entry : entries) {
    norvex::IsSafeRelativePath(entry.name);
    // The names read by characters of code page 932 as well.
    norvex::IsSafeRelativePath(entry.name, 932);
    norvex::FindLastSeparator(entry.name, 932);
    // Entries that announce more than a few MiB would only test the machine's patience.
    if (entry.size > (8u << 20)) continue;
    uint64_t total = 0;
    ExtractEntry(*source, entry, [&total](const char*, size_t n) {
      total += n;
      return true;
    });
  }
  return 0;
}

#ifndef NORVEX_LIBFUZZER
int main(int argc, char** argv) {
  const long runs = argc > 1 ? std::atol(argv[1]) : 2000;
  const std::vector<std::string> seeds = {
      MakeZip({}),
      MakeZip({{"a.txt", "hello world", false}}),
      MakeZip({{"x/y.xml", std::string(3000, 'y') + "<end/>", true}, {"b", "bb", true}}),
      MakeZip({{"../evil", "e", true}, {"C:\\w", "w", false}}),
  };
  std::mt19937 random(12345);  // fixed: every run does the same work
  for (long run = 0; run < runs; ++run) {
    std::string input = seeds[run % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !input.empty(); ++e) {
      const size_t at = random() % input.size();
      switch (random() % 5) {
        case 0: input[at] = static_cast<char>(random()); break;
        case 1: input[at] ^= static_cast<char>(1u << (random() % 8)); break;
        case 2: input.erase(at, 1 + random() % 16); break;
        case 3: input.insert(at, std::string(1 + random() % 8, static_cast<char>(random()))); break;
        case 4: input.resize(at); break;
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  std::printf("zip_fuzz: %ld inputs, no failure\n", runs);
  return 0;
}
#endif
