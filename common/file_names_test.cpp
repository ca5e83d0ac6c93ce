#include "common/file_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// "フォルダ\ソース表示.txt" in code page 932: "ソ" is 83 5C and "表" is 95 5C.
constexpr std::string_view kFolder932 = "\x83\x74\x83\x48\x83\x8B\x83\x5F";
constexpr std::string_view kFile932 = "\x83\x5C\x81\x5B\x83\x58\x95\x5C\x8E\xA6.txt";

TEST(NarrowPaths, SeparatorsAreCharactersOfTheirOwn) {
  const std::string path = std::string(kFolder932) + "\\" + std::string(kFile932);
  struct Case {
    unsigned code_page;
    size_t first;
    size_t last;
  };
  const std::vector<Case> cases = {
      {932, kFolder932.size(), kFolder932.size()},
      // Read by bytes, the trail bytes 0x5C are separators too.
      {kUtf8CodePage, kFolder932.size(), kFolder932.size() + 1 + 7},
      {1252, kFolder932.size(), kFolder932.size() + 1 + 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindSeparator(path, 0, c.code_page), c.first) << c.code_page;
    EXPECT_EQ(FindLastSeparator(path, c.code_page), c.last) << c.code_page;
  }
  // A search that starts on a trail byte does not take it for a separator.
  EXPECT_EQ(FindSeparator(kFile932, 1, 932), std::string_view::npos);
  EXPECT_EQ(FindSeparator(kFile932, 1, kUtf8CodePage), 1u);
  EXPECT_EQ(FindSeparator("a/b", 0, 932), 1u);
  EXPECT_EQ(FindLastSeparator("ab", 932), std::string_view::npos);
}

TEST(NarrowPaths, SafeRelativePathByCharacters) {
  struct Case {
    std::string path;
    unsigned code_page;
    bool safe;
  };
  const std::vector<Case> cases = {
      {std::string(kFolder932) + "\\" + std::string(kFile932), 932, true},
      // "ー|" (81 7C): the second byte of a character, not the pipe.
      {"\x81\x7C.txt", 932, true},
      {"\x81\x7C.txt", kUtf8CodePage, false},
      {"\x81\x7C.txt", 1252, false},
      // A lead byte that ends the path has lost its second byte.
      {"a\x83", 932, false},
      {"..\\" + std::string(kFile932), 932, false},
      {"\x83\x5C..\\x", 932, false},  // "ソ.." ends in a dot
      {"nul.txt", 932, false},
      {"sub/CON", 936, false},
      {"\x81\x5C\x81\x5C", 949, true},
      {"a\\b.", 932, false},
      {"C:\\x", 932, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeRelativePath(c.path, c.code_page), c.safe) << c.path << " " << c.code_page;
  }
}

}  // namespace
}  // namespace norvex
