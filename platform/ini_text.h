// The text of one INI file and the rules of the Windows profile functions over it: sections and
// keys found without regard to ASCII case, blanks around names and values ignored, a value in
// matching quotes given without them. Edits change only the lines they concern, so the rest of
// the file keeps its bytes. Files are UTF-16LE with a byte-order mark, or UTF-8 with or without
// one; an edited file keeps its own encoding.
#pragma once

#include <optional>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_store.h"

namespace norvex::platform {

enum class IniEncoding { kUtf8, kUtf8Bom, kUtf16LeBom };

class IniText {
 public:
  IniText() = default;
  // Lines refer into the text, so a copy or move parses its own text again.
  IniText(const IniText& other) { *this = other; }
  IniText(IniText&& other) { *this = std::move(other); }
  IniText& operator=(const IniText& other) {
    text_ = other.text_, encoding_ = other.encoding_, oddByte_ = other.oddByte_;
    Parse();
    return *this;
  }
  IniText& operator=(IniText&& other) {
    text_ = std::move(other.text_), encoding_ = other.encoding_, oddByte_ = other.oddByte_;
    Parse();
    other.text_.clear();
    other.Parse();  // the moved-from object must not keep views into our text
    return *this;
  }

  // Decodes file bytes; invalid UTF-8 is kept losslessly (see Utf8ToUtf16).
  static IniText FromBytes(std::string_view bytes);
  // A new, empty file in the given encoding.
  static IniText Empty(IniEncoding encoding);

  // The file bytes in the file's own encoding.
  std::string ToBytes() const;

  IniEncoding encoding() const { return encoding_; }
  const std::u16string& text() const { return text_; }

  // The value of a key, quotes and blanks removed; nothing when section or key is missing.
  std::optional<std::u16string> Get(std::u16string_view section, std::u16string_view key) const;
  std::vector<std::u16string> SectionNames() const;
  std::vector<std::u16string> KeyNames(std::u16string_view section) const;

  // Sets, adds or (with no value) deletes a key, or (with no key) deletes a section.
  // True when the text changed.
  bool Set(std::u16string_view section, std::optional<std::u16string_view> key,
           std::optional<std::u16string_view> value);

  // Sets several keys of one section, giving the text that Set would give for each entry in
  // this order, in one pass over the file (a full history is a thousand keys).
  // True when the text changed.
  bool SetEntries(std::u16string_view section, const std::vector<ProfileEntry>& entries);

 private:
  struct Line {
    enum class Kind { kBlank, kComment, kSection, kEntry };
    Kind kind;
    size_t begin;  // first character of the line
    size_t end;    // end of the line's content, before its line break
    size_t next;   // first character of the next line
    std::u16string_view name;  // section name or key name, trimmed
    std::u16string_view value;  // entry value, trimmed, quotes kept
  };

  void Parse();
  // Index of the section's header line, or nothing.
  std::optional<size_t> FindSection(std::u16string_view section) const;
  // One past the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const;
  std::u16string_view LineBreak() const;

  // Index for lookups: ASCII-lower-cased "section\0key" of the first matching section's first
  // matching entry -> its line. Rebuilt with the lines.
  static std::u16string IndexKey(std::u16string_view section, std::u16string_view key);

  std::u16string text_;
  IniEncoding encoding_ = IniEncoding::kUtf8;
  std::vector<Line> lines_;
  std::unordered_map<std::u16string, size_t> entryIndex_;
  std::optional<char> oddByte_;  // a UTF-16 file's odd last byte
};

}  // namespace norvex::platform
