#include "helper/helper_messages.h"

namespace norvex::helper {

std::u16string UninstallReport(const Outcome& outcome) {
  if (!outcome.ok()) {
    std::u16string text = u"ノルヴェクスツールバーの削除中に問題が発生しました。"
                          u"次の項目を削除できませんでした:";
    for (const std::u16string& item : outcome.failed) text += u"\n" + item;
    return text;
  }
  if (!outcome.at_restart.empty()) {
    return u"ノルヴェクスツールバーを削除しました。使用中のファイルは、"
           u"次にコンピューターを再起動したときに削除されます。";
  }
  return u"ノルヴェクスツールバーを削除しました。";
}

}  // namespace norvex::helper
