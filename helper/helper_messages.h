// What the uninstall program says to the user, in Japanese.
#pragma once

#include <string>

#include "helper/uninstaller.h"

namespace norvex::helper {

// The caption of every message box of the program.
inline constexpr char16_t kCaption[] = u"ノルヴェクスツールバー";
inline constexpr char16_t kConfirmText[] =
    u"ノルヴェクスツールバーと更新サービスをこのコンピューターから削除します。よろしいですか?";
inline constexpr char16_t kUsageText[] =
    u"使い方: NorvexHelper.exe /uninstalltoolbar [/S]";

// The closing message of an uninstall: done, done with files left for the restart, or the list
// of what could not be removed.
std::u16string UninstallReport(const Outcome& outcome);

}  // namespace norvex::helper
