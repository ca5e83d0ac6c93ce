// The other processes of the INI sharing tests (ini_sharing_test.cpp).
//
//   ini_sharing_child read FILE SECTIONS FINAL READY DONE
//     Reads FILE through the toolbar's profile store until the file DONE exists, and once more
//     after that. Every read must find all SECTIONS sections and a [COMMON] VERSION of the form
//     1.0.N with N from 0 to FINAL and never smaller than the one before; the read after DONE
//     appeared must find 1.0.FINAL. Creates READY after its first read. Exit code 0 when every
//     read was right; otherwise 1, with the first wrong read on standard error.
//
//   ini_sharing_child write FILE WRITER COUNT
//     Writes [WRITER] K1=1 ... KCOUNT=COUNT into FILE through the service's profile writer, one
//     key at a time. Exit code 0 when every write succeeded.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "common/text.h"
#include "platform/platform.h"
#include "service/platform_factory.h"

namespace {

using norvex::Utf16ToUtf8;
using norvex::Utf8ToUtf16;

// Reading stops here at the latest, should the writer never finish.
constexpr long kMostReads = 2000000;

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::path(path), ignored);
}

// N of "1.0.N"; -1 for anything else.
long VersionNumber(const std::u16string& version) {
  const std::u16string prefix = u"1.0.";
  if (version.compare(0, prefix.size(), prefix) != 0 || version.size() == prefix.size()) return -1;
  long n = 0;
  for (size_t i = prefix.size(); i < version.size(); ++i) {
    if (version[i] < u'0' || version[i] > u'9' || n > 1000000) return -1;
    n = n * 10 + (version[i] - u'0');
  }
  return n;
}

int Read(const std::u16string& file, size_t sections, long final_number, const std::string& ready,
         const std::string& done) {
  norvex::platform::ProfileStore& store = norvex::platform::NativeProfileStore();
  long last = 0;
  for (long reads = 0; reads < kMostReads; ++reads) {
    const bool finished = Exists(done);
    const size_t found = store.GetSectionNames(file).size();
    const std::u16string version = store.GetString(file, u"COMMON", u"VERSION", u"(none)", 260);
    const long number = VersionNumber(version);
    if (found != sections || number < last || number > final_number ||
        (finished && number != final_number)) {
      std::fprintf(stderr,
                   "read %ld: %zu of %zu sections, VERSION=%s (the read before: 1.0.%ld)%s\n", reads,
                   found, sections, Utf16ToUtf8(version).c_str(), last,
                   finished ? ", after the last write" : "");
      return 1;
    }
    last = number;
    if (reads == 0) {
      if (std::FILE* marker = std::fopen(ready.c_str(), "wb")) std::fclose(marker);
    }
    if (finished) return 0;
    // A toolbar reads the file now and then, not without end: a moment between reads lets the
    // writer's move through (on Windows a file held open cannot be replaced).
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::fprintf(stderr, "the writer did not finish within %ld reads\n", kMostReads);
  return 1;
}

int Write(const std::string& file, const std::string& writer, int count) {
  const auto profiles = norvex::service::CreateNativeProfiles();
  bool written = true;
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    if (!profiles->WriteString(file, writer, "K" + n, n)) {
      std::fprintf(stderr, "%s: writing K%s failed\n", writer.c_str(), n.c_str());
      written = false;
    }
  }
  return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "read" && argc == 7) {
    return Read(Utf8ToUtf16(argv[2]), std::strtoul(argv[3], nullptr, 10),
                std::strtol(argv[4], nullptr, 10), argv[5], argv[6]);
  }
  if (mode == "write" && argc == 5) return Write(argv[2], argv[3], std::atoi(argv[4]));
  std::fprintf(stderr, "usage: ini_sharing_child read FILE SECTIONS FINAL READY DONE\n"
                       "       ini_sharing_child write FILE WRITER COUNT\n");
  return 2;
}
