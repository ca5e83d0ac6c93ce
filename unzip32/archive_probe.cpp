// archive_probe ARCHIVE FOLDER: unpacks every file entry of ARCHIVE below FOLDER through the
// library's exported calls, as the service makes them, and says what happened, one line each:
//
//   open refused                 the library gave no handle
//   entry HEX RESULT             an entry found: its reported name (hex of the record's bytes)
//                                and the result of extracting it (0 when it was written)
//   close RESULT
//
// Unlike the service it goes on after an entry that failed, so that every entry is seen.
// unzip32/check_archives.py runs it over the archives of unzip32/testdata.
#include <cstdio>

#include "unzip32/unzip32.h"

namespace {

void PrintHex(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    std::printf("%02x", *p);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: archive_probe ARCHIVE FOLDER\n");
    return 2;
  }
  const ArcHandle archive = ArcOpen(nullptr, argv[1], 0x2028002);
  if (archive == 0) {
    std::printf("open refused\n");
    return 0;
  }
  ArcEntryInfo info;
  for (int found = ArcFindFirst(archive, "*", &info); found == ARC_OK;
       found = ArcFindNext(archive, &info)) {
    const int result = ArcExtractFound(archive, "", argv[2], ARC_EXTRACT_FOUND);
    std::printf("entry ");
    PrintHex(info.name);
    std::printf(" %d\n", result);
  }
  std::printf("close %d\n", ArcClose(archive));
  return 0;
}
