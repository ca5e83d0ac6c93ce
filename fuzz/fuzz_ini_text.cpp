// INI files come from installers, other programs and users. Whatever their bytes: reading never
// fails, an edit leaves the file readable with the value just written, and a file that is not
// edited is written back byte for byte.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "platform/ini_text.h"

#include <optional>
#include <tuple>
#include <vector>

using norvex::platform::IniText;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniText ini = IniText::FromBytes(bytes);
  if (ini.ToBytes() != bytes) std::abort();

  // What every key reads before an edit...
  std::vector<std::tuple<std::u16string, std::u16string, std::optional<std::u16string>>> before;
  for (const auto& section : ini.SectionNames()) {
    for (const auto& key : ini.KeyNames(section)) {
      before.emplace_back(section, key, ini.Get(section, key));
    }
  }
  // ...it still reads after a key is added to an existing section, unless it is that key.
  if (!ini.SectionNames().empty()) {
    const std::u16string section = ini.SectionNames().front();
    IniText edited = ini;
    edited.Set(section, u"fuzz-added", u"added");
    IniText reread = IniText::FromBytes(edited.ToBytes());
    if (reread.Get(section, u"fuzz-added") != u"added") std::abort();
    for (const auto& [s, k, v] : before) {
      if (norvex::EqualsIgnoreCaseAscii(norvex::Trim(k), u"fuzz-added")) continue;
      if (k.find(u'=') != std::u16string::npos) continue;
      if (reread.Get(s, k) != v) std::abort();
    }
  }
  ini.Set(u"fuzz section", u"fuzz key", u"value 1");
  if (ini.Get(u"FUZZ SECTION", u"Fuzz Key") != u"value 1") std::abort();
  IniText again = IniText::FromBytes(ini.ToBytes());
  if (again.Get(u"fuzz section", u"fuzz key") != u"value 1") std::abort();
  again.Set(u"fuzz section", u"fuzz key", std::nullopt);
  again.Set(u"fuzz section", std::nullopt, std::nullopt);
  return 0;
}
