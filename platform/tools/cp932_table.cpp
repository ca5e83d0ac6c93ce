#include "platform/tools/cp932_table.h"

#include <cstdio>

#include "platform/code_page.h"

namespace norvex::platform::tools {

namespace {

// A one- or two-byte form as a number; 0x3F for anything else (never happens for one unit).
unsigned ValueOf(const std::string& bytes) {
  if (bytes.size() == 1) return static_cast<unsigned char>(bytes[0]);
  if (bytes.size() == 2) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[0])) << 8 |
           static_cast<unsigned char>(bytes[1]);
  }
  return 0x3F;
}

std::string BytesOf(unsigned value, bool twoBytes) {
  if (!twoBytes) return std::string(1, static_cast<char>(value));
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string Hex(unsigned value, int digits) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

bool ParseHex(std::string_view text, unsigned& value) {
  if (text.empty() || text.size() > 4) return false;
  value = 0;
  for (char c : text) {
    value <<= 4;
    if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
    else return false;
  }
  return true;
}

}  // namespace

Cp932Table BuildCp932TableFromSeam() {
  Cp932Table table(65536);
  for (unsigned unit = 0; unit < 65536; ++unit) {
    const std::u16string text(1, static_cast<char16_t>(unit));
    table[unit] = ToCodePage932(text, 16).value_or(std::string());
  }
  return table;
}

std::string FormatCp932Table(const Cp932Table& table, std::string_view origin) {
  if (table.size() != 65536) return {};
  std::string out = "# " + std::string(origin) + "\n";
  unsigned unit = 0;
  while (unit < 65536) {
    const std::string& bytes = table[unit];
    if (bytes == "?" && unit != 0x3F) {
      ++unit;
      continue;
    }
    // Extend the run while the next unit's value is one more, with the same width.
    const unsigned value = ValueOf(bytes);
    unsigned last = unit;
    while (last + 1 < 65536 && table[last + 1].size() == bytes.size() &&
           (bytes.size() == 1 || bytes.size() == 2) &&
           ValueOf(table[last + 1]) == value + (last + 1 - unit) &&
           ValueOf(table[last + 1]) != 0x3F) {
      ++last;
    }
    if (bytes.size() != 1 && bytes.size() != 2) {
      // Not a form this table can hold: write it so that parsing fails loudly.
      out += Hex(unit, 4) + " !" + std::to_string(bytes.size()) + "\n";
      ++unit;
      continue;
    }
    out += Hex(unit, 4);
    if (last != unit) out += "-" + Hex(last, 4);
    out += " " + Hex(value, bytes.size() == 1 ? 2 : 4) + "\n";
    unit = last + 1;
  }
  return out;
}

std::optional<Cp932Table> ParseCp932Table(std::string_view text) {
  Cp932Table table(65536, "?");
  long next = 0;  // units must come in increasing order
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    std::string_view units = line.substr(0, space), valueText = line.substr(space + 1);
    unsigned first = 0, last = 0, value = 0;
    const size_t dash = units.find('-');
    if (!ParseHex(units.substr(0, dash), first)) return std::nullopt;
    if (dash == std::string_view::npos) last = first;
    else if (!ParseHex(units.substr(dash + 1), last)) return std::nullopt;
    if (!ParseHex(valueText, value) || (valueText.size() != 2 && valueText.size() != 4)) {
      return std::nullopt;
    }
    if (static_cast<long>(first) < next || last < first) return std::nullopt;
    const bool twoBytes = valueText.size() == 4;
    if ((twoBytes ? 0xFFFFu : 0xFFu) - value < last - first) return std::nullopt;
    for (unsigned unit = first; unit <= last; ++unit) {
      table[unit] = BytesOf(value + (unit - first), twoBytes);
    }
    next = static_cast<long>(last) + 1;
  }
  return table;
}

}  // namespace norvex::platform::tools
