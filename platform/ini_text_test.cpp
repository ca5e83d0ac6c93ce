#include "platform/ini_text.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::platform {
namespace {

struct EditCase {
  const char* name;
  std::string before;
  const char16_t* section;
  std::optional<std::u16string_view> key;
  std::optional<std::u16string_view> value;
  std::string after;
};

TEST(IniText, EditsChangeOnlyTheirLines) {
  const EditCase cases[] = {
      {"replace keeps spacing of other lines", "; top\r\n[a]\r\n x = 1 \r\ny=2\r\n", u"a", u"X",
       u"9", "; top\r\n[a]\r\nx=9\r\ny=2\r\n"},
      {"new key after last entry, before blank line", "[a]\r\nx=1\r\n\r\n[b]\r\nz=3\r\n", u"a",
       u"y", u"2", "[a]\r\nx=1\r\ny=2\r\n\r\n[b]\r\nz=3\r\n"},
      {"new key in empty section", "[a]\n[b]\n", u"a", u"k", u"v", "[a]\nk=v\n[b]\n"},
      {"new section appended, LF file", "[a]\nx=1\n", u"b", u"k", u"v", "[a]\nx=1\n[b]\nk=v\n"},
      {"file without final line break", "[a]\r\nx=1", u"a", u"y", u"2", "[a]\r\nx=1\r\ny=2\r\n"},
      {"new section after unterminated line", "[a]\r\nx=1", u"b", u"y", u"2",
       "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
      {"empty file", "", u"s", u"k", u"v", "[s]\r\nk=v\r\n"},
      {"delete key", "[a]\r\nx=1\r\ny=2\r\n", u"a", u"x", std::nullopt, "[a]\r\ny=2\r\n"},
      {"delete section", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n", u"A", std::nullopt, std::nullopt,
       "[b]\r\ny=2\r\n"},
      {"invalid bytes kept", "\x82\xA0=\x83\x65\r\n[a]\r\nx=1\r\n", u"a", u"x", u"2",
       "\x82\xA0=\x83\x65\r\n[a]\r\nx=2\r\n"},
      {"last line ends in a bare CR", "[a]\r\nx=1\r", u"a", u"y", u"2",
       "[a]\r\nx=1\r\ny=2\r\n"},
      {"new section after a bare CR", "[a]\r\nx=1\r", u"b", u"y", u"2",
       "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
      {"first of duplicate sections", "[a]\r\nx=1\r\n[a]\r\nx=2\r\n", u"a", u"x", u"3",
       "[a]\r\nx=3\r\n[a]\r\nx=2\r\n"},
  };
  for (const EditCase& c : cases) {
    IniText ini = IniText::FromBytes(c.before);
    ini.Set(c.section, c.key, c.value);
    EXPECT_EQ(ini.ToBytes(), c.after) << c.name;
  }
}

TEST(IniText, WritingTheSameValueChangesNothing) {
  IniText ini = IniText::FromBytes("[a]\r\n x = 1 \r\ny=2\r\n");
  EXPECT_TRUE(ini.Set(u"a", u"x", u"1"));  // the line is rewritten in the store's own form
  EXPECT_FALSE(ini.Set(u"a", u"x", u"1"));
  EXPECT_FALSE(ini.Set(u"A", u"Y", u"2"));
  EXPECT_EQ(ini.ToBytes(), "[a]\r\nx=1\r\ny=2\r\n");
}

TEST(IniText, EncodingsRoundTrip) {
  const std::string utf8Bom = "\xEF\xBB\xBF[s]\r\nk=\xE6\xA4\x9C\r\n";
  IniText a = IniText::FromBytes(utf8Bom);
  EXPECT_EQ(a.encoding(), IniEncoding::kUtf8Bom);
  EXPECT_EQ(a.Get(u"s", u"k"), std::u16string(u"\u691C"));
  EXPECT_EQ(a.ToBytes(), utf8Bom);

  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[s]\r\nk=\u691C\r\n")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  IniText b = IniText::FromBytes(utf16);
  EXPECT_EQ(b.encoding(), IniEncoding::kUtf16LeBom);
  EXPECT_EQ(b.Get(u"S", u"K"), std::u16string(u"\u691C"));
  EXPECT_EQ(b.ToBytes(), utf16);
  b.Set(u"s", u"k2", u"x");
  EXPECT_EQ(IniText::FromBytes(b.ToBytes()).Get(u"s", u"k2"), std::u16string(u"x"));
}

TEST(IniText, LookupsTakeTheFirstSectionAndEntryOfAName) {
  const IniText ini = IniText::FromBytes(
      "[a]\nx=1\nX=2\n[b]\ny=3\n[A]\nx=4\nz=5\n;c=6\nbare\n[ spaced ]\n k = v \n");
  EXPECT_EQ(ini.Get(u"a", u"x"), std::u16string(u"1"));
  EXPECT_EQ(ini.Get(u"a", u"z"), std::nullopt);  // only in the second [A]
  EXPECT_EQ(ini.Get(u"B", u"Y"), std::u16string(u"3"));
  EXPECT_EQ(ini.Get(u"a", u";c"), std::nullopt);  // a comment is no entry
  EXPECT_EQ(ini.Get(u"spaced", u"k"), std::u16string(u"v"));
  EXPECT_EQ(ini.Get(u" spaced ", u" k "), std::u16string(u"v"));
  EXPECT_EQ(ini.Get(u"a\0x", u""), std::nullopt);
}

TEST(IniText, CopiesStayValid) {
  IniText original = IniText::FromBytes("[a]\nx=1\n");
  IniText copy = original;
  original = IniText::FromBytes("[b]\ny=2\n");
  EXPECT_EQ(copy.Get(u"a", u"x"), std::u16string(u"1"));
  EXPECT_EQ(original.Get(u"b", u"y"), std::u16string(u"2"));
}

// Several keys at once give what one Set per key, in order, gives.
TEST(IniText, SetEntriesEqualsOneSetPerEntry) {
  using Entries = std::vector<ProfileEntry>;
  const struct {
    const char* name;
    std::string before;
    const char16_t* section;
    Entries entries;
  } cases[] = {
      {"empty file", "", u"Toolbar", {{u"TB_0", u"a"}, {u"TB_1", u"b"}}},
      {"new section after others", "[a]\r\nx=1\r\n", u"b", {{u"k", u"1"}, {u"l", u"2"}}},
      {"replace and add", "; c\r\n[Toolbar]\r\nTB_0=old\r\nTB_1 = same \r\n\r\n[z]\r\nq=1\r\n",
       u"toolbar", {{u"TB_0", u"new"}, {u"tb_1", u"same"}, {u"TB_2", u"added"}, {u"TB_3", u"x"}}},
      {"unchanged values", "[s]\r\nk=1\r\nl=2\r\n", u"s", {{u"k", u"1"}, {u"L", u"2"}}},
      {"key given twice, new", "[s]\nk=1\n", u"s", {{u"n", u"1"}, {u"m", u"2"}, {u"N", u"3"}}},
      {"key given twice, existing", "[s]\nk=1\n", u"s", {{u"k", u"2"}, {u"k", u"3"}}},
      {"duplicate lines: first changes", "[s]\nk=1\nk=2\n", u"s", {{u"K", u"9"}}},
      {"first of duplicate sections", "[s]\nk=1\n[s]\nk=2\n", u"S", {{u"k", u"3"}, {u"j", u"4"}}},
      {"no final line break", "[s]\r\nk=1", u"s", {{u"j", u"2"}, {u"k", u"3"}}},
      {"bare CR at the end", "[s]\r\nk=1\r", u"s", {{u"j", u"2"}}},
      {"empty section before another", "[s]\n\n[t]\nx=1\n", u"s", {{u"a", u"1"}, {u"b", u"2"}}},
      {"section header only, no line break", "[s]", u"s", {{u"a", u"1"}}},
      {"blank names and values", "[s]\nk=1\n", u" s ", {{u" k ", u""}, {u"new ", u"v"}}},
      {"comments and blanks kept", "[s]\n;c\nk=1\n\n;d\n[t]\n", u"s", {{u"k", u"2"}, {u"m", u"3"}}},
      {"new section, then its first key again", "", u"s", {{u"k", u"1"}, {u"K", u"2"}}},
  };
  for (const auto& c : cases) {
    IniText one = IniText::FromBytes(c.before);
    bool oneChanged = false;
    for (const ProfileEntry& entry : c.entries) oneChanged |= one.Set(c.section, entry.key, entry.value);
    IniText all = IniText::FromBytes(c.before);
    EXPECT_EQ(all.SetEntries(c.section, c.entries), oneChanged) << c.name;
    EXPECT_EQ(all.ToBytes(), one.ToBytes()) << c.name;
    for (const ProfileEntry& entry : c.entries) {
      EXPECT_EQ(all.Get(c.section, entry.key), one.Get(c.section, entry.key)) << c.name;
    }
  }
  IniText untouched = IniText::FromBytes("[s]\nk=1\n");
  EXPECT_FALSE(untouched.SetEntries(u"s", {}));
  EXPECT_EQ(untouched.ToBytes(), "[s]\nk=1\n");
}

}  // namespace
}  // namespace norvex::platform
