#include "catalogue/catalogue_check.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "storage/data_folders.h"
#include "tests/test_installation.h"

namespace norvex::catalogue {
namespace {

// The test catalogue (catalogue/testdata/check) holds one of each mistake; every finding is
// listed here in the order the checker reports it.
struct Expected {
  const char* file;
  int line;
  Severity severity;
  const char* message;  // a part of the message
  // The line comes from the XML parser, which may not say (Wine's MSXML does not): 0 is
  // accepted too, except from the POSIX DOM, which always says.
  bool parserLine = false;
};

constexpr Severity E = Severity::kError, W = Severity::kWarning;

const Expected kExpected[] = {
    {"AgentMaster.xml", 12, E, "unknown element <idd>; did you mean \"id\"?"},
    {"Agents/search.xml", 5, E, "unknown element <onclik>; did you mean \"onclick\"?"},
    {"Agents/search.xml", 7, E,
     "encoding \"utf-8\" gives an empty query; use \"UTF-8\", \"ShiftJIS\" or \"EUC\""},
    {"Agents/search.xml", 10, E, "encoding \"Shift_JIS\" gives an empty query"},
    {"Agents/news.xml", 2, E, "size missing or 0"},
    {"Agents/news.xml", 6, E, "bitmap 999 is not in the toolbar module"},
    {"Agents/news.xml", 7, E, "bitmap 250 is not in the toolbar module"},
    {"Agents/news.xml", 9, E,
     "onclick \"news.example/?q={query}\" is neither a keyword nor an http address"},
    {"Agents/news.xml", 9, E, "onclick has {query} but no encoding"},
    {"AgentMaster.xml", 6, W, "settings agent listed after agents that may overflow (line 5)"},
    {"Agents/settings.xml", 2, W, "caption and name both empty"},
    {"Agents/settings.xml", 3, E, "size missing or 0"},
    {"Agents/settings.xml", 4, E, "\"optoins\" is neither a keyword nor an http address; did you "
                                  "mean \"options\"?"},
    {"AgentMaster.xml", 7, E, "duplicate id \"news\" (first on line 5)"},
    {"Agents/menus.xml", 9, E,
     "has {query} but no encoding: the query is left out (items do not take the agent's "
     "encoding)"},
    {"Agents/menus.xml", 10, W, "menu item without <name> is skipped"},
    {"Agents/menus.xml", 11, E, "bitmap 12 is not in the toolbar module"},
    {"AgentMaster.xml", 8, E, "agent file \"../secret.xml\" is not a name inside \"Agents\""},
    {"Agents/broken.xml", 6, E, "not well-formed XML", true},
    {"Agents/absent.xml", 0, E, "file not found"},
    {"Agents/blank.xml", 1, W, "caption and name both empty"},
    {"Agents/share.xml", 5, W, "onclick has both {url} and {query}: {query} is left as it is"},
    {"strings.ini", 3, E, "not UTF-16LE with a byte-order mark"},
};

std::u16string InstallationAt(std::initializer_list<const char16_t*> parts) {
  std::u16string path = test::SourceFolder();
  for (const char16_t* part : parts) path = storage::JoinPath(path, part);
  return storage::JoinPath(path, u"NorvexToolbar.dll");
}

TEST(CatalogueCheck, ReportsEachMistakeOfTheTestCatalogue) {
  test::TestInstallation installation;
  installation.system_.module = InstallationAt({u"catalogue", u"testdata", u"check"});
  const std::vector<Finding> findings = CheckInstallation();
  for (size_t i = 0; i < std::size(kExpected) && i < findings.size(); ++i) {
    const Expected& want = kExpected[i];
    const Finding& got = findings[i];
    SCOPED_TRACE(FormatFinding(got));
    EXPECT_EQ(got.file, want.file);
    const bool parserMayNotSay = want.parserLine && storage::PathSeparator() != u'/';
    if (!(parserMayNotSay && got.line == 0)) {
      EXPECT_EQ(got.line, want.line);
    }
    EXPECT_EQ(got.severity, want.severity);
    EXPECT_NE(got.message.find(want.message), std::string::npos) << "wanted: " << want.message;
  }
  EXPECT_EQ(findings.size(), std::size(kExpected));
  for (const Finding& finding : findings) {
    EXPECT_EQ(finding.message.find('\n'), std::string::npos);
  }
}

TEST(CatalogueCheck, SampleInstallationIsClean) {
  test::TestInstallation installation;
  installation.UseSampleInstallation();
  const std::vector<Finding> findings = CheckInstallation();
  for (const Finding& finding : findings) ADD_FAILURE() << FormatFinding(finding);
}

TEST(CatalogueCheck, MissingCatalogueIsOneError) {
  test::TestInstallation installation;
  const std::vector<Finding> findings = CheckInstallation();
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(FormatFinding(findings[0], "DIR"), "DIR/AgentMaster.xml:0: error: file not found");
}

TEST(CatalogueCheck, UnknownTopElementOfAnAgentFile) {
  test::TestInstallation installation;
  installation.WriteCatalogue("<agent><type>banner</type><xml>a.xml</xml></agent>");
  test::WriteBytes(installation.AgentFile("a.xml"), "<agnet><ui><size>5</size></ui></agnet>");
  const std::vector<Finding> findings = CheckInstallation();
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(FormatFinding(findings[0]),
            "Agents/a.xml:0: error: the top element is not <agent>: the agent is skipped");
}

TEST(CatalogueCheck, StartTagLinesSkipCommentsSectionsAndDeclarations) {
  struct Case {
    const char* text;
    std::vector<int> lines;
  } cases[] = {
      {"<a>\n<b/>\n</a>", {1, 2}},
      {"<?xml version=\"1.0\"?>\n<!-- <x>\n<y> -->\n<a><![CDATA[<z>\n]]>\n<b>t</b></a>", {4, 6}},
      {"<!DOCTYPE a [\n<!ENTITY e \"<q>\">\n]>\n<a>&e;</a>", {4}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartTagLines(U16(c.text)), c.lines) << c.text;
  }
}

TEST(CatalogueCheck, NearestNameSuggestsOnlySlips) {
  const std::vector<std::string> names = {"onclick", "onclickwithoutkey", "encoding", "id"};
  struct Case {
    const char* word;
    const char* nearest;
  } cases[] = {
      {"onclik", "onclick"}, {"Onclick", "onclick"}, {"encodng", "encoding"}, {"idd", "id"},
      {"onclick", ""},       {"banner", ""},         {"x", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NearestName(c.word, names), c.nearest) << c.word;
}

TEST(CatalogueCheck, ModuleBitmapsAreTheResourceScriptsList) {
  const std::vector<int>& ids = ModuleBitmaps();
  ASSERT_EQ(ids.size(), 27u);
  EXPECT_EQ(ids.front(), 213);
  EXPECT_EQ(ids.back(), 259);
  EXPECT_FALSE(std::binary_search(ids.begin(), ids.end(), 250));
}

}  // namespace
}  // namespace norvex::catalogue
