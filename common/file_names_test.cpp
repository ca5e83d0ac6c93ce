#include "common/file_names.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex {
namespace {

TEST(SafeRelativePath, RefusesNamesThatLeaveTheFolderOrThatWindowsRenames) {
  const struct {
    const char* path;
    bool safe;
  } cases[] = {
      // Plain names and subfolders, either separator.
      {"news.xml", true},
      {"sub\\a.xml", true},
      {"sub/dir/a.txt", true},
      {"a..b", true},
      {"..a", true},
      {".\\Agents", true},  // a manifest folder after PRODUCT_HOME became "."
      {".", true},
      {"sub\\", true},
      {"a\\\\b", true},
      {".hidden", true},
      // Leaving the folder.
      {"", false},
      {"..", false},
      {"..\\..\\Windows\\x.dll", false},
      {"a/../../b", false},
      {"a/..", false},
      {"\\x", false},
      {"/etc/passwd", false},
      {"\\\\srv\\share\\x", false},
      {"\\\\?\\C:\\x", false},
      {"//?/C:/x", false},
      {"C:\\x", false},
      {"c:x", false},
      {"a.txt:stream", false},
      // Characters that Windows names cannot hold.
      {"a\nb", false},
      {"a\tb", false},
      {"a\x7f", false},
      {"x?.dll", false},
      {"a|b", false},
      {"a*b", false},
      {"a<b", false},
      {"a\"b", false},
      // Device names, any case, with or without an extension, in any component.
      {"CON", false},
      {"con", false},
      {"Prn.txt", false},
      {"aux.tar.gz", false},
      {"NUL", false},
      {"sub\\nul.xml", false},
      {"COM0", false},
      {"com1.log", false},
      {"COM9", false},
      {"LPT0", false},
      {"lpt5.txt", false},
      {"LPT9\\a.txt", false},
      {"CONIN$", false},
      {"conout$.txt", false},
      {"CON .txt", false},
      {"console.txt", true},
      {"COM10", true},
      {"COM", true},
      {"LPT", true},
      {"nullable.xml", true},
      {"auxiliary", true},
      {"a.con", true},
      {"CON$", true},
      // Components that end in a dot or a blank.
      {"a.", false},
      {"a ", false},
      {"sub.\\a.txt", false},
      {"sub \\a.txt", false},
      {"...", false},
      {"a. b", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafeRelativePath(std::string_view(c.path)), c.safe) << c.path;
    EXPECT_EQ(IsSafeRelativePath(Utf8ToUtf16(c.path)), c.safe) << c.path;
  }
}

TEST(SafeRelativePath, CharactersBeyondAsciiAreNames) {
  EXPECT_TRUE(IsSafeRelativePath(u"\u30cb\u30e5\u30fc\u30b9.xml"));
  EXPECT_TRUE(IsSafeRelativePath(std::string_view("\x83\x6a\x83\x85.xml")));  // code page 932
  // A character whose low byte spells a letter is not that letter.
  EXPECT_TRUE(IsSafeRelativePath(u"\u0143ON"));
  EXPECT_FALSE(IsWindowsDeviceName(u"\u0143ON"));
  EXPECT_TRUE(IsWindowsDeviceName(u"cOm7.x"));
}

}  // namespace
}  // namespace norvex
