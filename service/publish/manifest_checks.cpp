#include "service/publish/manifest_checks.h"

#include <map>

#include "service/update_pass.h"

namespace norvex::service {

namespace {

// One line of the text: its content and its line end ("\r\n", "\n" or nothing), in units of
// the file's encoding.
template <typename Text>
struct Line {
  Text content;
  Text end;
};

template <typename Text>
std::vector<Line<Text>> SplitLines(const Text& text) {
  std::vector<Line<Text>> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t lf = text.find(typename Text::value_type('\n'), at);
    Line<Text> line;
    if (lf == Text::npos) {
      line.content = text.substr(at);
      at = text.size();
    } else {
      const size_t content_end = lf > at && text[lf - 1] == '\r' ? lf - 1 : lf;
      line.content = text.substr(at, content_end - at);
      line.end = text.substr(content_end, lf + 1 - content_end);
      at = lf + 1;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// The text as 8-bit text: 8-bit text as it is; of 16-bit units, ASCII as it is and any other
// unit as the byte 0x80, which no key, separator or query mark is.
std::string Narrow(const std::string& text) { return text; }
std::string Narrow(const std::u16string& text) {
  std::string out;
  for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '\x80';
  return out;
}

template <typename Text>
Text Widen(const std::string& text) {
  return Text(text.begin(), text.end());
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The lower-cased key of a "key=value" line; empty for any other line.
std::string KeyOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') return "";
  const size_t equals = trimmed.find('=');
  return equals == std::string::npos ? "" : Lower(Trim(trimmed.substr(0, equals)));
}

std::string ValueOf(const std::string& line) {
  const size_t equals = line.find('=');
  return Trim(line.substr(equals + 1));
}

// The line end that added lines get when the line they follow has none (the file's last line):
// the first line end of the file, CR LF in a file without one.
template <typename Text>
Text UsualLineEnd(const std::vector<Line<Text>>& lines) {
  for (const auto& line : lines) {
    if (!line.end.empty()) return line.end;
  }
  return Widen<Text>("\r\n");
}

// Section blocks: [first line, end line) below each section header.
struct Block {
  std::string name;
  size_t first, end;
};

template <typename Text>
std::vector<Block> SectionBlocks(const std::vector<Line<Text>>& lines) {
  std::vector<Block> blocks;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string trimmed = Trim(Narrow(lines[i].content));
    if (!trimmed.empty() && trimmed[0] == '[') {
      const size_t close = trimmed.find(']');
      const std::string name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos
                                                                               : close - 1));
      if (!blocks.empty()) blocks.back().end = i;
      blocks.push_back({name, i + 1, lines.size()});
    }
  }
  return blocks;
}

// The block of [COMMON] as the profile functions find it: the first of that name, case aside.
const Block* CommonBlock(const std::vector<Block>& blocks) {
  for (const Block& block : blocks) {
    if (Lower(block.name) == "common") return &block;
  }
  return nullptr;
}

// Index + 1 of the first line of the block with that (lower-case) key; 0 when none.
template <typename Text>
size_t KeyLine(const std::vector<Line<Text>>& lines, const Block& block, const std::string& key) {
  for (size_t i = block.first; i < block.end; ++i) {
    if (KeyOf(Narrow(lines[i].content)) == key) return i + 1;
  }
  return 0;
}

// The line with its value after "=" replaced.
template <typename Text>
void SetValue(Line<Text>& line, const std::string& value) {
  line.content = line.content.substr(0, line.content.find(typename Text::value_type('=')) + 1) +
                 Widen<Text>(value);
}

// Inserts lines after the line at index (its line end, or the usual one when it is the last).
template <typename Text>
void InsertAfter(std::vector<Line<Text>>& lines, size_t index, std::vector<Line<Text>> added,
                 const Text& usual_end) {
  Line<Text>& after = lines[index];
  const Text end = after.end.empty() ? usual_end : after.end;
  for (auto& line : added) line.end = end;
  if (!added.empty() && after.end.empty()) {
    // It was the last line: it gets a line end, and the last added line none.
    after.end = usual_end;
    added.back().end.clear();
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index + 1), added.begin(), added.end());
}

template <typename Text>
Text Join(const std::vector<Line<Text>>& lines) {
  Text out;
  for (const auto& line : lines) out += line.content + line.end;
  return out;
}

template <typename Text>
Text Fill(const Text& text,
          const std::function<std::optional<ArchiveFacts>(const std::string&)>& lookup,
          std::vector<FilledSection>* sections) {
  std::vector<Line<Text>> lines = SplitLines(text);
  const Text usual_end = UsualLineEnd(lines);
  const std::vector<Block> blocks = SectionBlocks(lines);
  // The profile functions read the first section of a name (names compared without case).
  std::map<std::string, bool> seen;
  // Work from the last block back, so that added lines do not move the blocks still to do.
  std::vector<const Block*> taken;
  for (const Block& block : blocks) {
    if (block.name == "COMMON" || seen[Lower(block.name)]) continue;
    seen[Lower(block.name)] = true;
    taken.push_back(&block);
  }
  std::vector<FilledSection> listed;
  for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
    const Block& block = **it;
    const size_t url_line = KeyLine(lines, block, "url");  // index + 1; 0 = none
    const size_t hash_line = KeyLine(lines, block, "sha256");
    const size_t size_line = KeyLine(lines, block, "size");
    if (!url_line) continue;
    FilledSection filled{block.name, ArchiveNameOf(ValueOf(Narrow(lines[url_line - 1].content)))};
    const std::optional<ArchiveFacts> facts =
        filled.archive.empty() ? std::nullopt : lookup(filled.archive);
    filled.found = facts.has_value();
    listed.insert(listed.begin(), filled);
    if (!facts) continue;
    if (hash_line) SetValue(lines[hash_line - 1], facts->sha256_hex);
    if (size_line) SetValue(lines[size_line - 1], std::to_string(facts->size));
    std::vector<Line<Text>> added;
    if (!hash_line) added.push_back({Widen<Text>("SHA256=" + facts->sha256_hex), {}});
    if (!size_line) added.push_back({Widen<Text>("SIZE=" + std::to_string(facts->size)), {}});
    InsertAfter(lines, url_line - 1, std::move(added), usual_end);
  }
  if (sections) *sections = listed;
  return Join(lines);
}

template <typename Text>
Text SetCommon(const Text& text, const std::string& key, const std::string& value) {
  std::vector<Line<Text>> lines = SplitLines(text);
  const Text usual_end = UsualLineEnd(lines);
  const std::vector<Block> blocks = SectionBlocks(lines);
  const Line<Text> line{Widen<Text>(key + "=" + value), {}};
  const Block* common = CommonBlock(blocks);
  if (!common) {
    lines.insert(lines.begin(), {Line<Text>{Widen<Text>("[COMMON]"), usual_end},
                                 Line<Text>{line.content, usual_end}});
    return Join(lines);
  }
  if (const size_t at = KeyLine(lines, *common, Lower(key))) {
    SetValue(lines[at - 1], value);
  } else {
    InsertAfter(lines, common->first - 1, {line}, usual_end);
  }
  return Join(lines);
}

// Runs edit on the manifest's text in its own encoding and gives the bytes back in it.
template <typename Edit>
std::string EditText(const std::string& manifest, const Edit& edit) {
  if (manifest.size() >= 2 && static_cast<unsigned char>(manifest[0]) == 0xFF &&
      static_cast<unsigned char>(manifest[1]) == 0xFE) {
    // UTF-16LE with its byte-order mark: edited in 16-bit units, written back the same way.
    std::u16string units;
    for (size_t i = 2; i + 1 < manifest.size(); i += 2) {
      units += static_cast<char16_t>(static_cast<unsigned char>(manifest[i]) |
                                     static_cast<unsigned char>(manifest[i + 1]) << 8);
    }
    const std::u16string edited = edit(units);
    std::string out = manifest.substr(0, 2);
    for (const char16_t unit : edited) {
      out += static_cast<char>(unit & 0xFF);
      out += static_cast<char>(unit >> 8);
    }
    if (manifest.size() % 2) out += manifest.back();  // an odd last byte stays as it was
    return out;
  }
  if (manifest.rfind("\xEF\xBB\xBF", 0) == 0) {
    // UTF-8 with its byte-order mark: the mark stays, the text after it is edited.
    return manifest.substr(0, 3) + edit(manifest.substr(3));
  }
  return edit(manifest);
}

}  // namespace

std::string FillModuleChecks(
    const std::string& manifest,
    const std::function<std::optional<ArchiveFacts>(const std::string& archive)>& lookup,
    std::vector<FilledSection>* sections) {
  return EditText(manifest, [&](const auto& text) { return Fill(text, lookup, sections); });
}

std::string SetCommonValue(const std::string& manifest, const std::string& key,
                           const std::string& value) {
  return EditText(manifest, [&](const auto& text) { return SetCommon(text, key, value); });
}

std::optional<std::string> CommonValue(const std::string& manifest, const std::string& key) {
  std::optional<std::string> found;
  EditText(manifest, [&](const auto& text) {
    const auto lines = SplitLines(text);
    const std::vector<Block> blocks = SectionBlocks(lines);
    if (const Block* common = CommonBlock(blocks)) {
      if (const size_t at = KeyLine(lines, *common, Lower(key))) {
        found = ValueOf(Narrow(lines[at - 1].content));
      }
    }
    return text;
  });
  return found;
}

}  // namespace norvex::service
