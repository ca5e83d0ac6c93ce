// The code page 932 table: the bytes of every one of the 65,536 UTF-16 code units, converted one
// by one, in a compact text form that is kept in the repository (platform/testdata) so that the
// POSIX encoder can be compared with what Windows gives without running Windows.
//
// Form: lines "FIRST-LAST VALUE" or "UNIT VALUE", in hexadecimal. The units FIRST..LAST map to
// VALUE, VALUE+1, ... in turn; a VALUE of two digits is one byte, of four digits two bytes (lead
// byte first). Units that no line names map to the default character 3F. "#" starts a comment.
#pragma once

#include <vector>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::platform::tools {

// One entry per code unit, 65,536 of them (kept on the heap: it is too big for a stack).
using Cp932Table = std::vector<std::string>;

// The table as the seam in this build gives it (ToCodePage932 of each code unit by itself).
Cp932Table BuildCp932TableFromSeam();

// The compact text of a table, with a first comment line saying where it came from.
std::string FormatCp932Table(const Cp932Table& table, std::string_view origin);

// The table from its compact text; nothing when a line is malformed or a unit is out of order.
std::optional<Cp932Table> ParseCp932Table(std::string_view text);

}  // namespace norvex::platform::tools
