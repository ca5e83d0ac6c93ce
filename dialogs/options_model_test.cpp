#include "dialogs/options_model.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/test_installation.h"

namespace norvex::dialogs {

void PrintTo(const AgentRow& row, std::ostream* out) {
  *out << "{" << Utf16ToUtf8(row.id) << ", " << Utf16ToUtf8(row.caption) << ", " << row.image
       << ", " << row.colorMask << ", " << row.ticked << "}";
}

namespace {

class Options : public ::testing::Test, protected test::TestInstallation {
 protected:
  void WriteUserConfig(const std::string& lines) {
    std::filesystem::create_directories(test::FsPath(UserFile("")));
    test::WriteBytes(UserFile("UserConfig.ini"), "[user_settings]\r\n" + lines);
  }
  std::string UserConfig() { return test::ReadBytes(UserFile("UserConfig.ini")); }
  static std::string Entry(const std::string& type, const std::string& id) {
    return "<agent><type>" + type + "</type><id>" + id + "</id><xml>" + id + ".xml</xml></agent>";
  }
  OptionsModel model_;
};

TEST_F(Options, OnlyCustomAgentsAreListedInCatalogueOrder) {
  WriteCatalogue(Entry("search", "search") + Entry("custom", "news") + Entry("banner", "sale") +
                 Entry("custom", "maps") + Entry("Custom", "case") + "<agent><id>untyped</id></agent>");
  for (const char* id : {"search", "news", "sale", "maps", "case"}) {
    WriteAgent(std::string(id) + ".xml", std::string("<ui><caption>") + id + "</caption></ui>");
  }
  model_.Load();
  ASSERT_EQ(model_.rows().size(), 2u);
  EXPECT_EQ(model_.rows()[0].id, u"news");
  EXPECT_EQ(model_.rows()[0].caption, u"news");
  EXPECT_EQ(model_.rows()[1].id, u"maps");
}

TEST_F(Options, CaptionsImagesAndTicks) {
  WriteCatalogue(Entry("custom", "a") + Entry("custom", "b") + Entry("custom", "c") +
                 Entry("custom", "d") + Entry("custom", "gone"));
  WriteAgent("a.xml", "<name>Plain</name><ui><caption>  </caption></ui>");
  WriteAgent("b.xml",
             "<name>B</name><ui><caption> ニュース </caption><image>249</image>"
             "<colormask>16711935.9</colormask></ui>");
  WriteAgent("c.xml", "<name>Named</name><ui><image>0</image></ui>");
  WriteAgent("d.xml", "<name>D</name><ui><caption>D</caption><image>x</image></ui>");
  WriteUserConfig("b=0\r\nc=true\r\nd=1\r\n");
  model_.Load();
  const std::vector<AgentRow> expected = {
      {u"a", u"Plain", 0, 0, true},
      {u"b", u"ニュース", 249, 16711935, false},
      {u"c", u"Named", 0, 0, false},
      {u"d", u"D", 0, 0, true},
  };
  EXPECT_EQ(model_.rows(), expected);
}

TEST_F(Options, OkWritesEveryListedIdAndNothingElse) {
  WriteCatalogue(Entry("custom", "news") + Entry("custom", "maps") + Entry("custom", "gone") +
                 Entry("banner", "sale"));
  WriteAgent("news.xml", "<name>News</name>");
  WriteAgent("maps.xml", "<name>Maps</name>");
  WriteAgent("sale.xml", "<name>Sale</name>");
  WriteUserConfig("maps=0\r\ngone=0\r\n");
  model_.Load();
  ASSERT_EQ(model_.rows().size(), 2u);
  EXPECT_TRUE(model_.rows()[0].ticked);
  EXPECT_FALSE(model_.rows()[1].ticked);
  model_.SetTick(0, false);
  model_.SetTick(1, true);
  model_.SetTick(7, false);
  model_.Accept();
  const std::string config = UserConfig();
  EXPECT_NE(config.find("news=0"), std::string::npos) << config;
  EXPECT_NE(config.find("maps=1"), std::string::npos) << config;
  EXPECT_NE(config.find("gone=0"), std::string::npos) << "an agent whose file is missing keeps its key";
  EXPECT_EQ(config.find("sale"), std::string::npos) << config;
  // Unchanged rows are written as well.
  model_.Load();
  std::filesystem::remove(test::FsPath(UserFile("UserConfig.ini")));
  model_.Accept();
  EXPECT_NE(UserConfig().find("news=0"), std::string::npos);
  EXPECT_NE(UserConfig().find("maps=1"), std::string::npos);
}

TEST_F(Options, TheTabLabel) {
  model_.Load();
  EXPECT_EQ(model_.tabLabel(), u"") << "no strings.ini";
  test::WriteBytes(InstallFile("strings.ini"),
                   test::Utf16LeWithBom(u"[data]\r\nbuttonoptions= 表示するボタン \r\n"));
  model_.Load();
  EXPECT_EQ(model_.tabLabel(), u"表示するボタン");
}

TEST_F(Options, WithoutACatalogueTheListIsEmptyAndOkWritesNothing) {
  model_.Load();
  EXPECT_TRUE(model_.rows().empty());
  model_.Accept();
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(UserFile("UserConfig.ini"))));
  test::WriteBytes(InstallFile("AgentMaster.xml"), "<agents><agent>");
  model_.Load();
  EXPECT_TRUE(model_.rows().empty()) << "not well-formed";
}

TEST_F(Options, WithoutAPerUserFolderRowsAreUntickedAndOkWritesNothing) {
  WriteCatalogue(Entry("custom", "news"));
  WriteAgent("news.xml", "<name>News</name>");
  system_.appData.reset();
  model_.Load();
  ASSERT_EQ(model_.rows().size(), 1u);
  EXPECT_FALSE(model_.rows()[0].ticked);
  model_.SetTick(0, true);
  model_.Accept();
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(UserFile("UserConfig.ini"))));
}

}  // namespace
}  // namespace norvex::dialogs
