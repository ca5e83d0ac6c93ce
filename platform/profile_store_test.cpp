// The profile store's rules, run against the native store of each build: the system's own
// functions under Windows (here Wine), our store under POSIX.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/text.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace norvex::platform {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

ProfileStore& Store() { return NativeProfileStore(); }

TEST(ProfileStore, ReadsFollowTheProfileRules) {
  TempFolder folder;
  const std::u16string file = folder.File("read.ini");
  WriteBytes(file,
             "; a comment\r\n"
             "[user_settings]\r\n"
             "  news  =  0  \r\n"
             "Weather=1\r\n"
             "quoted=\"  kept  \"\r\n"
             "single='x'\r\n"
             "empty=\r\n"
             "\r\n"
             "[ Window_Diams ]\r\n"
             "dropwidth=350px\r\n"
             "[user_settings]\r\n"
             "late=1\r\n");
  const struct {
    const char16_t* section;
    const char16_t* key;
    const char16_t* def;
    size_t capacity;
    std::u16string expected;
  } cases[] = {
      {u"user_settings", u"news", u"1", 260, u"0"},          // blanks around name and value
      {u"USER_SETTINGS", u"NEWS", u"1", 260, u"0"},          // case of section and key
      {u"user_settings", u"weather", u"0", 260, u"1"},
      {u"user_settings", u"quoted", u"", 260, u"  kept  "},  // matching quotes removed
      {u"user_settings", u"single", u"", 260, u"x"},
      {u"user_settings", u"empty", u"dflt", 260, u""},      // present but empty: not the default
      {u"user_settings", u"missing", u"dflt", 260, u"dflt"},
      {u"user_settings", u"missing", u"dflt  ", 260, u"dflt"},  // default loses trailing blanks
      {u"window_diams", u"dropwidth", u"0", 260, u"350px"},  // blanks inside brackets
      {u"nosection", u"dropwidth", u"0", 260, u"0"},
      {u"window_diams", u"dropwidth", u"0", 3, u"35"},        // cut to capacity - 1
      {u"window_diams", u"dropwidth", u"0", 1, u""},
      {u"user_settings", u"missing", u"long default", 5, u"long"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Store().GetString(file, c.section, c.key, c.def, c.capacity), c.expected)
        << Utf16ToUtf8(c.section) << "/" << Utf16ToUtf8(c.key) << " cap " << c.capacity;
  }
  EXPECT_EQ(Store().GetString(folder.File("absent.ini"), u"a", u"b", u"d", 260), u"d");
}

TEST(ProfileStore, EnumeratesSectionsAndKeys) {
  TempFolder folder;
  const std::u16string file = folder.File("list.ini");
  WriteBytes(file, "[one]\r\na=1\r\nb=2\r\n[two]\r\nc=3\r\n");
  EXPECT_EQ(Store().GetSectionNames(file), (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_EQ(Store().GetKeyNames(file, u"one"), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_TRUE(Store().GetKeyNames(file, u"three").empty());
  EXPECT_TRUE(Store().GetSectionNames(folder.File("absent.ini")).empty());
}

TEST(ProfileStore, WritesCreateFileSectionAndKey) {
  TempFolder folder;
  const std::u16string file = folder.File("new.ini");
  ASSERT_TRUE(Store().WriteString(file, u"window_diams", u"dropwidth", u"320"));
  ASSERT_TRUE(Store().WriteString(file, u"window_diams", u"dropheight", u"120"));
  ASSERT_TRUE(Store().WriteString(file, u"user_settings", u"news", u"0"));
  ASSERT_TRUE(Store().WriteString(file, u"WINDOW_DIAMS", u"DropWidth", u"400"));
  EXPECT_EQ(Store().GetString(file, u"window_diams", u"dropwidth", u"", 260), u"400");
  EXPECT_EQ(Store().GetString(file, u"window_diams", u"dropheight", u"", 260), u"120");
  EXPECT_EQ(Store().GetString(file, u"user_settings", u"news", u"", 260), u"0");
  EXPECT_EQ(Store().GetKeyNames(file, u"window_diams").size(), 2u);

  // Deleting a key, then a section.
  ASSERT_TRUE(Store().WriteString(file, u"window_diams", u"dropheight", std::nullopt));
  EXPECT_EQ(Store().GetString(file, u"window_diams", u"dropheight", u"gone", 260), u"gone");
  ASSERT_TRUE(Store().WriteString(file, u"window_diams", std::nullopt, std::nullopt));
  EXPECT_EQ(Store().GetSectionNames(file), (std::vector<std::u16string>{u"user_settings"}));
}

TEST(ProfileStore, WriteIntoMissingFolderFails) {
  TempFolder folder;
  EXPECT_FALSE(Store().WriteString(folder.File("no/such/folder.ini"), u"s", u"k", u"v"));
}

TEST(ProfileStore, Utf16FileStaysUtf16AndKeepsJapaneseText) {
  TempFolder folder;
  const std::u16string file = folder.File("history.ini");
  // "\xFF\xFE" then "[h]\r\n" in UTF-16LE.
  std::string bytes = "\xFF\xFE";
  for (char c : std::string("[h]\r\n")) bytes += std::string{c, '\0'};
  WriteBytes(file, bytes);
  const std::u16string query = u"\u691C\u7D22 \u30C6\u30B9\u30C8";  // 検索 テスト
  ASSERT_TRUE(Store().WriteString(file, u"h", u"0", query));
  EXPECT_EQ(Store().GetString(file, u"h", u"0", u"", 260), query);
  const std::string written = ReadBytes(file);
  ASSERT_GE(written.size(), 2u);
  EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(written.find(std::string("\x1C\x69", 2)), std::string::npos);  // U+691C, LE
}

// Several keys in one write: the same rules as one write per key.
TEST(ProfileStore, WritingSeveralKeysFollowsTheRulesOfOneKey) {
  TempFolder folder;
  const std::u16string file = folder.File("many.ini");
  WriteBytes(file, "; top\r\n[other]\r\nTB_0=stays\r\n[Toolbar]\r\nTB_0=old\r\n; inside\r\nkeep = 1 \r\n"
                   "TB_1=old1\r\n\r\n[last]\r\nz=1\r\n");
  ASSERT_TRUE(Store().WriteStrings(file, u"toolbar",
                                   {{u"tb_0", u"new0"}, {u"TB_2", u"new2"}, {u"TB_1", u"new1"},
                                    {u"TB_3", u"first"}, {u"TB_3", u"second"}}));
  const struct {
    const char16_t* section;
    const char16_t* key;
    std::u16string expected;
  } reads[] = {
      {u"Toolbar", u"TB_0", u"new0"},    {u"Toolbar", u"TB_1", u"new1"},
      {u"Toolbar", u"TB_2", u"new2"},    {u"Toolbar", u"TB_3", u"second"},
      {u"Toolbar", u"keep", u"1"},       {u"other", u"TB_0", u"stays"},
      {u"last", u"z", u"1"},
  };
  for (const auto& r : reads) {
    EXPECT_EQ(Store().GetString(file, r.section, r.key, u"missing", 260), r.expected)
        << Utf16ToUtf8(r.section) << "/" << Utf16ToUtf8(r.key);
  }
  // Existing keys keep their places (and spelling); new ones follow in order.
  EXPECT_EQ(Store().GetKeyNames(file, u"Toolbar"),
            (std::vector<std::u16string>{u"TB_0", u"keep", u"TB_1", u"TB_2", u"TB_3"}));
  EXPECT_EQ(Store().GetSectionNames(file),
            (std::vector<std::u16string>{u"other", u"Toolbar", u"last"}));
  const std::string bytes = ReadBytes(file);
  EXPECT_NE(bytes.find("; top"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("; inside"), std::string::npos) << "a comment in the section stays: " << bytes;

  // A new file and section; nothing to write makes no file; a missing folder fails.
  const std::u16string fresh = folder.File("fresh.ini");
  ASSERT_TRUE(Store().WriteStrings(fresh, u"s", {{u"a", u"1"}, {u"b", u"2"}}));
  EXPECT_EQ(Store().GetKeyNames(fresh, u"s"), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_TRUE(Store().WriteStrings(folder.File("none.ini"), u"s", {}));
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(folder.File("none.ini"))));
  EXPECT_FALSE(Store().WriteStrings(folder.File("no/such/folder.ini"), u"s", {{u"a", u"1"}}));
}

TEST(ProfileStore, WritingSeveralKeysKeepsAUtf16File) {
  TempFolder folder;
  const std::u16string file = folder.File("history.ini");
  WriteBytes(file, test::Utf16LeWithBom(u";\u691C\u7D22\r\n[Toolbar]\r\nTB_0=a\r\n; inside\r\nTB_1=x\r\n"));
  const std::u16string query = u"\u691C\u7D22 \u30C6\u30B9\u30C8";  // 検索 テスト
  ASSERT_TRUE(Store().WriteStrings(file, u"Toolbar", {{u"TB_0", query}, {u"TB_1", u"b"}}));
  EXPECT_EQ(Store().GetString(file, u"Toolbar", u"TB_0", u"", 260), query);
  EXPECT_EQ(Store().GetString(file, u"Toolbar", u"TB_1", u"", 260), u"b");
  const std::string written = ReadBytes(file);
  ASSERT_GE(written.size(), 2u);
  EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(written.find(std::string("\x1C\x69", 2)), std::string::npos);  // U+691C, LE
  EXPECT_NE(written.find(test::Utf16Le(u"; inside\r\n", false)), std::string::npos)
      << "a comment in the section stays";
  EXPECT_EQ(Store().GetKeyNames(file, u"Toolbar"), (std::vector<std::u16string>{u"TB_0", u"TB_1"}));
}

}  // namespace
}  // namespace norvex::platform
