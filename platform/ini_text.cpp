#include "platform/ini_text.h"

#include "common/text.h"

namespace norvex::platform {

namespace {

std::u16string_view Unquote(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IniText IniText::FromBytes(std::string_view bytes) {
  IniText ini;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    ini.encoding_ = IniEncoding::kUtf16LeBom;
    ini.text_.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      ini.text_.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    if (bytes.size() % 2 == 1) ini.oddByte_ = bytes.back();  // kept, to be written back
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    ini.encoding_ = IniEncoding::kUtf8Bom;
    ini.text_ = Utf8ToUtf16(bytes.substr(3));
  } else {
    ini.encoding_ = IniEncoding::kUtf8;
    ini.text_ = Utf8ToUtf16(bytes);
  }
  ini.Parse();
  return ini;
}

IniText IniText::Empty(IniEncoding encoding) {
  IniText ini;
  ini.encoding_ = encoding;
  return ini;
}

std::string IniText::ToBytes() const {
  switch (encoding_) {
    case IniEncoding::kUtf16LeBom: {
      std::string out = "\xFF\xFE";
      out.reserve(2 + text_.size() * 2);
      for (char16_t c : text_) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
      }
      if (oddByte_) out.push_back(*oddByte_);
      return out;
    }
    case IniEncoding::kUtf8Bom:
      return "\xEF\xBB\xBF" + Utf16ToUtf8(text_);
    case IniEncoding::kUtf8:
      break;
  }
  return Utf16ToUtf8(text_);
}

std::u16string IniText::IndexKey(std::u16string_view section, std::u16string_view key) {
  std::u16string joined;
  joined.reserve(section.size() + key.size() + 1);
  joined.append(section);
  joined.push_back(u'\0');
  joined.append(key);
  for (char16_t& c : joined) {
    if (c >= u'A' && c <= u'Z') c += 32;
  }
  return joined;
}

void IniText::Parse() {
  lines_.clear();
  entryIndex_.clear();
  const std::u16string_view all(text_);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find(u'\n', pos);
    size_t next = end == std::u16string_view::npos ? all.size() : end + 1;
    if (end == std::u16string_view::npos) end = all.size();
    size_t contentEnd = end;
    if (contentEnd > pos && all[contentEnd - 1] == u'\r') --contentEnd;
    Line line{Line::Kind::kBlank, pos, contentEnd, next, {}, {}};
    const std::u16string_view content = TrimView(all.substr(pos, contentEnd - pos));
    if (content.empty()) {
      line.kind = Line::Kind::kBlank;
    } else if (content.front() == u';') {
      line.kind = Line::Kind::kComment;
    } else if (content.front() == u'[') {
      line.kind = Line::Kind::kSection;
      std::u16string_view name = content.substr(1);
      const size_t close = name.find(u']');
      if (close != std::u16string_view::npos) name = name.substr(0, close);
      line.name = TrimView(name);
    } else {
      line.kind = Line::Kind::kEntry;
      const size_t eq = content.find(u'=');
      if (eq == std::u16string_view::npos) {
        line.name = content;
      } else {
        line.name = TrimView(content.substr(0, eq));
        line.value = TrimView(content.substr(eq + 1));
      }
    }
    lines_.push_back(line);
    pos = next;
  }
  // Only the first section of a name counts, and in it the first entry of a name.
  std::unordered_map<std::u16string, bool> seenSections;
  bool indexing = false;
  std::u16string_view section;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Line::Kind::kSection) {
      section = line.name;
      indexing = seenSections.emplace(IndexKey(section, u""), true).second;
    } else if (line.kind == Line::Kind::kEntry && indexing) {
      entryIndex_.emplace(IndexKey(section, line.name), i);
    }
  }
}

std::optional<size_t> IniText::FindSection(std::u16string_view section) const {
  const std::u16string_view wanted = TrimView(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::Kind::kSection && EqualsIgnoreCaseAscii(lines_[i].name, wanted)) {
      return i;
    }
  }
  return std::nullopt;
}

size_t IniText::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Line::Kind::kSection) ++i;
  return i;
}

std::u16string_view IniText::LineBreak() const {
  const size_t lf = text_.find(u'\n');
  if (lf != std::u16string::npos && (lf == 0 || text_[lf - 1] != u'\r')) return u"\n";
  return u"\r\n";
}

bool IniText::SetEntries(std::u16string_view section, const std::vector<ProfileEntry>& entries) {
  if (entries.empty()) return false;
  const std::u16string_view sectionName = TrimView(section);
  size_t first = 0;
  bool changed = false;
  auto header = FindSection(sectionName);
  if (!header) {
    // The first entry makes the section, as Set does; the others join it below.
    changed = Set(section, entries[0].key, entries[0].value);
    header = FindSection(sectionName);
    first = 1;
    if (!header) return changed;
  }

  // Each key once: the name of its first entry, the value of its last, in first-entry order.
  struct Pending {
    std::u16string_view name;
    std::u16string_view value;
    bool placed = false;
  };
  std::vector<Pending> pending;
  std::unordered_map<std::u16string, size_t> byName;
  for (size_t i = first; i < entries.size(); ++i) {
    const std::u16string_view name = TrimView(entries[i].key);
    const auto [it, inserted] = byName.emplace(IndexKey(u"", name), pending.size());
    if (inserted) {
      pending.push_back(Pending{name, entries[i].value});
    } else {
      pending[it->second].value = entries[i].value;
    }
  }

  // One pass over the section: the first line of each key gets its value; the text between
  // the lines is copied as it is.
  std::u16string out;
  out.reserve(text_.size() + entries.size() * 16);
  size_t copied = 0;
  const size_t end = SectionEnd(*header);
  size_t lastEntry = *header;
  for (size_t i = *header + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != Line::Kind::kEntry) continue;
    lastEntry = i;
    const auto it = byName.find(IndexKey(u"", line.name));
    if (it == byName.end() || pending[it->second].placed) continue;
    Pending& entry = pending[it->second];
    entry.placed = true;
    std::u16string replacement(line.name);
    replacement += u'=';
    replacement += entry.value;
    if (std::u16string_view(text_).substr(line.begin, line.end - line.begin) == replacement) continue;
    out.append(text_, copied, line.begin - copied);
    out += replacement;
    copied = line.end;
    changed = true;
  }

  // Keys the section did not have go after its last entry, as Set adds them one by one.
  std::u16string added;
  const std::u16string lineBreak(LineBreak());
  for (const Pending& entry : pending) {
    if (entry.placed) continue;
    added += entry.name;
    added += u'=';
    added += entry.value;
    added += lineBreak;
  }
  if (!added.empty()) {
    const Line& after = lines_[lastEntry];
    size_t at = after.next;
    size_t resume = after.next;
    if (after.next == after.begin || text_[after.next - 1] != u'\n') {
      if (after.next > after.end) at = after.end;  // a bare CR becomes this file's line break
      added.insert(0, lineBreak);
    }
    out.append(text_, copied, at - copied);
    out += added;
    copied = resume;
    changed = true;
  }
  if (copied == 0 && out.empty()) return changed;
  out.append(text_, copied, std::u16string::npos);
  text_ = std::move(out);
  Parse();
  return true;
}

std::optional<std::u16string> IniText::Get(std::u16string_view section,
                                           std::u16string_view key) const {
  const auto it = entryIndex_.find(IndexKey(TrimView(section), TrimView(key)));
  if (it == entryIndex_.end()) return std::nullopt;
  return std::u16string(Unquote(lines_[it->second].value));
}

std::vector<std::u16string> IniText::SectionNames() const {
  std::vector<std::u16string> names;
  for (const Line& line : lines_) {
    if (line.kind == Line::Kind::kSection) names.emplace_back(line.name);
  }
  return names;
}

std::vector<std::u16string> IniText::KeyNames(std::u16string_view section) const {
  std::vector<std::u16string> names;
  const auto header = FindSection(section);
  if (!header) return names;
  for (size_t i = *header + 1, end = SectionEnd(*header); i < end; ++i) {
    if (lines_[i].kind == Line::Kind::kEntry) names.emplace_back(lines_[i].name);
  }
  return names;
}

bool IniText::Set(std::u16string_view section, std::optional<std::u16string_view> key,
                  std::optional<std::u16string_view> value) {
  const std::u16string_view sectionName = TrimView(section);
  const auto header = FindSection(sectionName);
  const std::u16string lineBreak(LineBreak());

  if (!key) {  // delete the section
    if (!header) return false;
    const size_t end = SectionEnd(*header);
    const size_t from = lines_[*header].begin;
    const size_t to = end < lines_.size() ? lines_[end].begin : text_.size();
    text_.erase(from, to - from);
    Parse();
    return true;
  }

  const std::u16string_view keyName = TrimView(*key);
  if (!header) {
    if (!value) return false;
    std::u16string added;
    if (!text_.empty() && text_.back() == u'\r') text_.pop_back();  // a bare CR at the end
    if (!text_.empty() && text_.back() != u'\n') added += lineBreak;
    added += u'[';
    added += sectionName;
    added += u']';
    added += lineBreak;
    added += keyName;
    added += u'=';
    added += *value;
    added += lineBreak;
    text_ += added;
    Parse();
    return true;
  }

  const size_t end = SectionEnd(*header);
  size_t lastEntry = *header;
  for (size_t i = *header + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != Line::Kind::kEntry) continue;
    lastEntry = i;
    if (!EqualsIgnoreCaseAscii(line.name, keyName)) continue;
    if (!value) {
      text_.erase(line.begin, line.next - line.begin);
    } else {
      std::u16string replacement(line.name);
      replacement += u'=';
      replacement += *value;
      // The same line again changes nothing: no write (a history saved back unchanged).
      if (std::u16string_view(text_).substr(line.begin, line.end - line.begin) == replacement) {
        return false;
      }
      text_.replace(line.begin, line.end - line.begin, replacement);
    }
    Parse();
    return true;
  }
  if (!value) return false;

  // A new key goes after the section's last entry, so blank lines and comments that separate
  // it from the next section stay where they are.
  const Line& after = lines_[lastEntry];
  std::u16string added;
  size_t at = after.next;
  // The last line of the file may end without a line feed (nothing, or a bare CR).
  if (after.next == after.begin || text_[after.next - 1] != u'\n') {
    if (after.next > after.end) {  // a bare CR: complete it to this file's line break
      text_.erase(after.end, after.next - after.end);
      at = after.end;
    }
    added += lineBreak;
  }
  added += keyName;
  added += u'=';
  added += *value;
  added += lineBreak;
  text_.insert(at, added);
  Parse();
  return true;
}

}  // namespace norvex::platform
