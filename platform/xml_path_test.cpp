#include "platform/xml_path.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::platform {
namespace {

TEST(XmlPath, ParsesStepsAndRejectsOtherSyntax) {
  const auto steps = ParseXmlPath(u"/agents[0]/agent[12]/id");
  ASSERT_TRUE(steps);
  ASSERT_EQ(steps->size(), 3u);
  EXPECT_EQ((*steps)[0].name, u"agents");
  EXPECT_EQ((*steps)[0].index, 0u);
  EXPECT_EQ((*steps)[1].index, 12u);
  EXPECT_FALSE((*steps)[2].index);

  for (const char16_t* bad : {u"", u"agents", u"/", u"/a//b", u"/a[x]", u"/a[]", u"/a[0",
                              u"/a[0]b", u"/@id", u"/a/", u"/a[-1]"}) {
    EXPECT_FALSE(ParseXmlPath(bad)) << Utf16ToUtf8(bad);
  }
}

}  // namespace
}  // namespace norvex::platform
