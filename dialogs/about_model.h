// What the about box shows: the product name, the version line (the "strings.ini" label
// [data] version, as the profile functions give it, followed directly by the installed version,
// when there is one) and a copyright notice that ends in the current year.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvex::dialogs {

inline constexpr char16_t kAboutProductName[] = u"ノルヴェクスツールバー";
// The version line of the dialog resource, kept when no version is installed.
inline constexpr char16_t kAboutInitialVersionLine[] = u"バージョン: 1.0";

// The label followed by the installed version; nothing when "version.ini" gives no version
// (the line then keeps its initial text).
std::optional<std::u16string> AboutVersionLine();

// The notice, ending in `year` as its last year.
std::u16string CopyrightNotice(int year);
// The notice for the current local year (0 when the local time is not available).
std::u16string AboutCopyrightLine();

// The box's static texts, top to bottom: name, version line, copyright line.
std::vector<std::u16string> AboutLines();

}  // namespace norvex::dialogs
