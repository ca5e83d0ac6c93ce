// The publisher's edit of a manifest: SHA256 and SIZE filled in each module section whose
// archive it has, every other byte of the file left as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace norvex::service {

struct ArchiveFacts {
  std::string sha256_hex;  // 64 lower-case hexadecimal digits
  uint64_t size = 0;
};

struct FilledSection {
  std::string section;
  std::string archive;  // the last segment of the section's URL
  bool found = false;   // false: the lookup knew no such archive; the section is unchanged
};

// The manifest (8-bit text, with or without a UTF-8 byte-order mark, or UTF-16LE with its
// byte-order mark) with "SHA256=" and "SIZE=" set in the first section of each name other than
// "COMMON" whose "URL" names an archive that lookup knows: an existing key's value is replaced,
// a missing key is added right after the URL line, with that line's line end. Everything else
// keeps its bytes. *sections lists every module section with a URL, in file order.
std::string FillModuleChecks(
    const std::string& manifest,
    const std::function<std::optional<ArchiveFacts>(const std::string& archive)>& lookup,
    std::vector<FilledSection>* sections);

// The value of key in the manifest's [COMMON] section (the first section of that name, case
// aside, as the service reads it; the first line of the key), blanks around it removed;
// nothing when the section or the key is missing. Text that is not ASCII reads as "\x80".
std::optional<std::string> CommonValue(const std::string& manifest, const std::string& key);

// The manifest (in any of the encodings above) with [COMMON] key=value set: an existing key's
// value replaced, a missing key added right after the section's header line with that line's
// line end; a manifest without the section gets one in front. Everything else keeps its bytes.
// value is ASCII.
std::string SetCommonValue(const std::string& manifest, const std::string& key,
                           const std::string& value);

}  // namespace norvex::service
