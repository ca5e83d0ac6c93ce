#include "dialogs/about_model.h"

#include <gtest/gtest.h>

#include "common/text.h"
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
  // The label is read as the profile functions give it: blanks around a plain value go, the
  // blanks inside quotes stay, so a label can end in its own separator.
  const struct {
    std::u16string line;
    std::u16string versionLine;
  } labels[] = {
      {u"version=バージョン: ", u"バージョン:1.0.0.5"},
      {u"version=\"バージョン: \"", u"バージョン: 1.0.0.5"},
      {u"version=\"バージョン \"", u"バージョン 1.0.0.5"},
      {u"version= \" Version \" ", u" Version 1.0.0.5"},
      {u"version=  v ", u"v1.0.0.5"},
  };
  for (const auto& l : labels) {
    WriteLabel(l.line);
    EXPECT_EQ(AboutVersionLine(), l.versionLine) << Utf16ToUtf8(l.line);
  }
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
