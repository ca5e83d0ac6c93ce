// MSXML's DOM with documents that try to reach outside themselves: external entities and an
// external DTD are not read; declarations inside the document keep working. (Wine's MSXML
// never reads them; Windows' own does unless told not to.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "platform/xml_dom.h"
#include "tests/test_support.h"

namespace norvex::platform {
namespace {

// The text of /agent/name, found by walking the elements; nothing when there is none.
std::optional<std::u16string> NameText(XmlDom& dom) {
  XmlDom::Node node = XmlDom::kDocument;
  for (const char16_t* step : {u"agent", u"name"}) {
    const auto children = dom.Children(node);
    if (!children || children->empty() || children->front().name != step) return std::nullopt;
    node = children->front().node;
  }
  return dom.Text(node);
}

std::string FileUrl(const std::filesystem::path& path) {
  return "file:///" + std::filesystem::absolute(path).generic_string();
}

TEST(MsXmlDom, ExternalEntitiesAndDtdsAreNotRead) {
  test::TempFolder temp;
  std::ofstream(temp.path() / "secret.txt") << "secret-file";
  std::ofstream(temp.path() / "outside.dtd") << "<!ENTITY e \"secret-dtd\">";
  const std::string entity = FileUrl(temp.path() / "secret.txt");
  const std::string dtd = FileUrl(temp.path() / "outside.dtd");
  const std::string documents[] = {
      "<!DOCTYPE agent [<!ENTITY x SYSTEM \"" + entity + "\">]><agent><name>&x;</name></agent>",
      "<!DOCTYPE agent SYSTEM \"" + dtd + "\"><agent><name>&e;</name></agent>",
      "<!DOCTYPE agent [<!ENTITY % p SYSTEM \"" + dtd + "\"> %p;]><agent><name>&e;</name></agent>",
  };
  for (const std::string& document : documents) {
    auto dom = CreateXmlDom();
    ASSERT_TRUE(dom);
    if (!dom->LoadXml(Utf8ToUtf16(document))) continue;  // refusing the document is fine too
    const std::u16string text = NameText(*dom).value_or(u"");
    EXPECT_EQ(text.find(u"secret"), std::u16string::npos) << document;
  }
}

TEST(MsXmlDom, InternalEntitiesStillExpand) {
  auto dom = CreateXmlDom();
  ASSERT_TRUE(dom);
  ASSERT_TRUE(dom->LoadXml(
      u"<!DOCTYPE agent [<!ENTITY co \"Norvex\">]><agent><name>&co; News</name></agent>"));
  EXPECT_EQ(NameText(*dom), std::optional<std::u16string>(u"Norvex News"));
}

}  // namespace
}  // namespace norvex::platform
