// The publisher's edit of a manifest: SHA256 and SIZE set, every other byte kept.
#include "service/publish/manifest_checks.h"

#include <gtest/gtest.h>

namespace norvex::service {
namespace {

const std::string kHash(64, 'a');

std::optional<ArchiveFacts> Known(const std::string& name) {
  if (name == "agents.zip") return ArchiveFacts{kHash, 1234};
  if (name == "setting.zip") return ArchiveFacts{std::string(64, 'b'), 7};
  return std::nullopt;
}

TEST(FillModuleChecks, AddsReplacesAndKeepsTheRest) {
  const struct {
    const char* what;
    std::string before, after;
  } cases[] = {
      {"CR LF, keys added after the URL line",
       "[COMMON]\r\nVERSION=2\r\n\r\n[A]\r\nNAME=x\r\nURL=http://h/m/agents.zip\r\nFolder=f\r\n",
       "[COMMON]\r\nVERSION=2\r\n\r\n[A]\r\nNAME=x\r\nURL=http://h/m/agents.zip\r\nSHA256=" + kHash +
           "\r\nSIZE=1234\r\nFolder=f\r\n"},
      {"LF", "[A]\nURL=http://h/agents.zip?v=1\n", "[A]\nURL=http://h/agents.zip?v=1\nSHA256=" +
                                                       kHash + "\nSIZE=1234\n"},
      {"existing values replaced in place, their key's spelling kept",
       "[A]\r\nsha256 = old\r\nURL=http://h/agents.zip\r\nSize=1\r\n",
       "[A]\r\nsha256 =" + kHash + "\r\nURL=http://h/agents.zip\r\nSize=1234\r\n"},
      {"URL on the last line without a line end",
       "[A]\r\nURL=http://h/agents.zip", "[A]\r\nURL=http://h/agents.zip\r\nSHA256=" + kHash +
                                             "\r\nSIZE=1234"},
      {"COMMON, unknown archives and sections without URL untouched",
       "[COMMON]\nURL=http://h/agents.zip\n[B]\nURL=http://h/other.zip\n[C]\nNAME=c\n",
       "[COMMON]\nURL=http://h/agents.zip\n[B]\nURL=http://h/other.zip\n[C]\nNAME=c\n"},
      {"the first section of a name only, as the service reads it",
       "[A]\nURL=http://h/agents.zip\n[a]\nURL=http://h/setting.zip\n",
       "[A]\nURL=http://h/agents.zip\nSHA256=" + kHash + "\nSIZE=1234\n[a]\nURL=http://h/setting.zip\n"},
      {"two sections, comments and odd spacing kept",
       "; site\n[A] \n  URL = http://h/agents.zip  \n;URL=http://h/setting.zip\n[SETTING]\nURL=http://h/setting.zip\n",
       "; site\n[A] \n  URL = http://h/agents.zip  \nSHA256=" + kHash +
           "\nSIZE=1234\n;URL=http://h/setting.zip\n[SETTING]\nURL=http://h/setting.zip\nSHA256=" +
           std::string(64, 'b') + "\nSIZE=7\n"},
      {"a UTF-8 byte-order mark and Shift_JIS bytes kept",
       "\xEF\xBB\xBF[A]\nNAME=\x83\x65\x83\x58\x83\x67\nURL=http://h/agents.zip\n",
       "\xEF\xBB\xBF[A]\nNAME=\x83\x65\x83\x58\x83\x67\nURL=http://h/agents.zip\nSHA256=" + kHash +
           "\nSIZE=1234\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FillModuleChecks(c.before, Known, nullptr), c.after) << c.what;
  }
}

std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST(FillModuleChecks, Utf16StaysUtf16) {
  const std::string before = Utf16(u"[A]\r\nNAME=\u30C6\u30B9\u30C8\r\nURL=http://h/agents.zip\r\n");
  const std::string after =
      Utf16(u"[A]\r\nNAME=\u30C6\u30B9\u30C8\r\nURL=http://h/agents.zip\r\nSHA256=" +
            std::u16string(64, u'a') + u"\r\nSIZE=1234\r\n");
  EXPECT_EQ(FillModuleChecks(before, Known, nullptr), after);
}

TEST(FillModuleChecks, ListsModuleSectionsInFileOrder) {
  std::vector<FilledSection> sections;
  FillModuleChecks("[A]\nURL=http://h/agents.zip\n[B]\nURL=http://h/missing.zip\n[C]\nNAME=c\n",
                   Known, &sections);
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].section, "A");
  EXPECT_TRUE(sections[0].found);
  EXPECT_EQ(sections[1].archive, "missing.zip");
  EXPECT_FALSE(sections[1].found);
}

// Bytes of a code page in the URL of an 8-bit manifest are part of the archive's name (no query
// starts there).
TEST(FillModuleChecks, ArchiveNamesKeepTheirBytes) {
  std::vector<FilledSection> sections;
  FillModuleChecks("[A]\nURL=http://h/\xc1\x61.zip\n", Known, &sections);
  ASSERT_EQ(sections.size(), 1u);
  EXPECT_EQ(sections[0].archive, "\xc1\x61.zip");
}

TEST(SetCommonValue, SetsOrAddsTheKeyInTheFirstCommonSection) {
  const struct {
    const char* what;
    std::string before, after;
  } cases[] = {
      {"added after the header, with its line end", "[COMMON]\r\nVERSION=2\r\n[A]\r\nVERSION=2\r\n",
       "[COMMON]\r\nSERIAL=8\r\nVERSION=2\r\n[A]\r\nVERSION=2\r\n"},
      {"an existing value replaced, spelling and spacing of the key kept",
       "[A]\nSerial=1\n[common]\nVERSION=2\n serial = 7 \n",
       "[A]\nSerial=1\n[common]\nVERSION=2\n serial =8\n"},
      {"the first section of the name", "[COMMON]\nVERSION=1\n[COMMON]\nSERIAL=3\n",
       "[COMMON]\nSERIAL=8\nVERSION=1\n[COMMON]\nSERIAL=3\n"},
      {"a header on the last line without a line end", "[A]\nURL=u\n[COMMON]",
       "[A]\nURL=u\n[COMMON]\nSERIAL=8"},
      {"no such section: one in front", "[A]\r\nURL=u\r\n",
       "[COMMON]\r\nSERIAL=8\r\n[A]\r\nURL=u\r\n"},
      {"an empty file", "", "[COMMON]\r\nSERIAL=8\r\n"},
      {"a UTF-8 byte-order mark stays first", "\xEF\xBB\xBF[COMMON]\nVERSION=1\n",
       "\xEF\xBB\xBF[COMMON]\nSERIAL=8\nVERSION=1\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SetCommonValue(c.before, "SERIAL", "8"), c.after) << c.what;
    EXPECT_EQ(CommonValue(c.after, "SERIAL"), "8") << c.what;
  }
  EXPECT_EQ(SetCommonValue(Utf16(u"[COMMON]\r\nVERSION=\u30C6\r\n"), "SERIAL", "8"),
            Utf16(u"[COMMON]\r\nSERIAL=8\r\nVERSION=\u30C6\r\n"));
}

TEST(CommonValue, AsTheServiceReadsIt) {
  EXPECT_EQ(CommonValue("[COMMON]\nVERSION=1\n", "SERIAL"), std::nullopt);
  EXPECT_EQ(CommonValue("[A]\nSERIAL=4\n", "SERIAL"), std::nullopt);
  EXPECT_EQ(CommonValue("[Common]\nserial = 4 \nSERIAL=5\n", "SERIAL"), "4");
  EXPECT_EQ(CommonValue("[COMMON]\nSERIAL=\n", "SERIAL"), "");
  EXPECT_EQ(CommonValue(Utf16(u"[COMMON]\r\nSERIAL=12\r\n"), "SERIAL"), "12");
}

}  // namespace
}  // namespace norvex::service
