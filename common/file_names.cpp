#include "common/file_names.h"

#include <array>
#include <string>
#include <type_traits>

namespace norvex {

namespace {

template <typename Char>
bool IsSeparator(Char c) {
  return c == Char('\\') || c == Char('/');
}

// ASCII upper case; every other character is left as it is (and so never matches a name).
template <typename Char>
char32_t Upper(Char c) {
  const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
  return code >= U'a' && code <= U'z' ? code - U'a' + U'A' : code;
}

template <typename Char>
bool IsDeviceName(std::basic_string_view<Char> component) {
  // The system reads the name up to its first dot, blanks before the dot included: "CON .txt"
  // opens the console as well.
  std::basic_string_view<Char> base = component.substr(0, component.find(Char('.')));
  while (!base.empty() && base.back() == Char(' ')) base.remove_suffix(1);
  static constexpr std::array<std::u32string_view, 6> kNames = {U"CON", U"PRN", U"AUX", U"NUL",
                                                                 U"CONIN$", U"CONOUT$"};
  const auto equals = [&base](std::u32string_view name) {
    if (base.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
      if (Upper(base[i]) != name[i]) return false;
    }
    return true;
  };
  for (std::u32string_view name : kNames) {
    if (equals(name)) return true;
  }
  // COM0-COM9 and LPT0-LPT9.
  if (base.size() == 4 && base[3] >= Char('0') && base[3] <= Char('9')) {
    const std::u32string prefix = {Upper(base[0]), Upper(base[1]), Upper(base[2])};
    return prefix == U"COM" || prefix == U"LPT";
  }
  return false;
}

template <typename Char>
bool IsSafeComponent(std::basic_string_view<Char> part) {
  if (part.empty() || (part.size() == 1 && part[0] == Char('.'))) return true;
  if (part.size() == 2 && part[0] == Char('.') && part[1] == Char('.')) return false;
  if (part.back() == Char('.') || part.back() == Char(' ')) return false;
  return !IsDeviceName(part);
}

template <typename Char>
bool IsSafePath(std::basic_string_view<Char> path) {
  if (path.empty() || IsSeparator(path[0])) return false;  // rooted, UNC and device paths too
  for (Char c : path) {
    const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
    // Control characters (a line break could forge lines of the move journal), the drive and
    // stream separator, and the characters that Windows file names cannot hold.
    if (code < 0x20 || code == 0x7F) return false;
    if (std::u32string_view(U":<>\"|?*").find(code) != std::u32string_view::npos) return false;
  }
  size_t begin = 0;
  for (;;) {
    size_t end = begin;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (!IsSafeComponent(path.substr(begin, end - begin))) return false;
    if (end == path.size()) return true;
    begin = end + 1;
  }
}

}  // namespace

bool IsSafeRelativePath(std::string_view path) { return IsSafePath(path); }

bool IsLeadByte(unsigned code_page, unsigned char byte) {
  switch (code_page) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

size_t FindSeparator(std::string_view path, size_t from, unsigned code_page) {
  // Characters are counted from the start: a byte's role depends on the bytes before it.
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsLeadByte(code_page, static_cast<unsigned char>(path[i]))) {
      ++i;
      continue;
    }
    if (i >= from && IsSeparator(path[i])) return i;
  }
  return std::string_view::npos;
}

size_t FindLastSeparator(std::string_view path, unsigned code_page) {
  size_t last = std::string_view::npos;
  for (size_t at = FindSeparator(path, 0, code_page); at != std::string_view::npos;
       at = FindSeparator(path, at + 1, code_page)) {
    last = at;
  }
  return last;
}

bool IsSafeRelativePath(std::string_view path, unsigned code_page) {
  // The second byte of each double-byte character is replaced by a letter, which no check
  // below treats specially; the lead byte stays (0x81 and more, an ordinary character).
  std::string masked(path);
  for (size_t i = 0; i < masked.size(); ++i) {
    if (!IsLeadByte(code_page, static_cast<unsigned char>(masked[i]))) continue;
    if (i + 1 == masked.size()) return false;
    masked[++i] = 'x';
  }
  return IsSafePath(std::string_view(masked));
}
bool IsSafeRelativePath(std::u16string_view path) { return IsSafePath(path); }
bool IsWindowsDeviceName(std::string_view component) { return IsDeviceName(component); }
bool IsWindowsDeviceName(std::u16string_view component) { return IsDeviceName(component); }

}  // namespace norvex
