// INI files come from installers, other programs and users. Whatever their bytes: reading never
// fails, an edit leaves the file readable with the value just written, and a file that is not
// edited is written back byte for byte.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/ini_text.h"

using norvex::platform::posix::IniText;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniText ini = IniText::FromBytes(bytes);
  if (ini.ToBytes() != bytes) {
    // Only an odd trailing byte of a UTF-16 file may be lost.
    if (ini.encoding() != norvex::platform::posix::IniEncoding::kUtf16LeBom || size % 2 == 0) {
      std::abort();
    }
  }
  for (const auto& section : ini.SectionNames()) {
    for (const auto& key : ini.KeyNames(section)) (void)ini.Get(section, key);
  }
  ini.Set(u"fuzz section", u"fuzz key", u"value 1");
  if (ini.Get(u"FUZZ SECTION", u"Fuzz Key") != u"value 1") std::abort();
  IniText again = IniText::FromBytes(ini.ToBytes());
  if (again.Get(u"fuzz section", u"fuzz key") != u"value 1") std::abort();
  again.Set(u"fuzz section", u"fuzz key", std::nullopt);
  again.Set(u"fuzz section", std::nullopt, std::nullopt);
  return 0;
}
