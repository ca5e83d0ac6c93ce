#include "dialogs/about_model.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_installation.h"

namespace norvex::dialogs {
namespace {

class About : public ::testing::Test, protected test::TestInstallation {
 protected:
  About() { clock_.now = clock_.At(2011, 6, 1, 12); }
  void WriteVersion(const std::string& version) {
    test::WriteBytes(InstallFile("version.ini"), "[COMMON]\r\nVERSION=" + version + "\r\n");
  }
  void WriteLabel(const std::u16string& line) {
    test::WriteBytes(InstallFile("strings.ini"), test::Utf16LeWithBom(u"[data]\r\n" + line + u"\r\n"));
  }
  test::FakeClock clock_;

 private:
  platform::ScopedSeams clockSeam_{{.clock = &clock_}};
};

TEST_F(About, TheVersionLine) {
  EXPECT_EQ(AboutVersionLine(), std::nullopt) << "no version.ini";
  EXPECT_EQ(AboutLines()[1], u"バージョン: 1.0");
  WriteVersion("");
  EXPECT_EQ(AboutVersionLine(), std::nullopt) << "an empty version";
  WriteVersion("1.0.0.5");
  EXPECT_EQ(AboutVersionLine(), u"1.0.0.5") << "no label";
  // The label is read trimmed, as every "strings.ini" text: a colon and a blank at its end
  // keep the colon; quotes keep nothing more, since the lookup trims what they held.
  WriteLabel(u"version=バージョン: ");
  EXPECT_EQ(AboutVersionLine(), u"バージョン:1.0.0.5");
  WriteLabel(u"version=\"Version \"");
  EXPECT_EQ(AboutVersionLine(), u"Version1.0.0.5");
  WriteLabel(u"version=v");
  EXPECT_EQ(AboutLines(), (std::vector<std::u16string>{u"ノルヴェクスツールバー", u"v1.0.0.5",
                                                        u"Copyright (C) Norvex 2005-2011"}));
}

TEST_F(About, TheCopyrightLineEndsInTheCurrentYear) {
  EXPECT_EQ(AboutCopyrightLine(), u"Copyright (C) Norvex 2005-2011");
  clock_.now = clock_.At(2031, 12, 31, 23, 59, 59);
  EXPECT_EQ(AboutCopyrightLine(), u"Copyright (C) Norvex 2005-2031");
  EXPECT_EQ(CopyrightNotice(0), u"Copyright (C) Norvex 2005-0");
}

}  // namespace
}  // namespace norvex::dialogs
