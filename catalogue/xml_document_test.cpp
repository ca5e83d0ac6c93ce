// One table of XML cases, run against the build's own DOM: MSXML under Windows, pugixml under
// POSIX. Both must give the same answers.
#include "catalogue/xml_document.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"
#include "tests/fake_seams.h"
#include "tests/test_support.h"

namespace norvex::catalogue {
namespace {

using test::TempFolder;
using test::Utf16Le;
using test::WriteBytes;

TEST(DecodeUtf8, DecodesLeniently) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"\xE3\x81\x82", u"\u3042"},
      {"\xC3\xA9", u"\u00E9"},
      {"\x85", u"\u0085"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},          // a valid four-byte sequence: surrogate pair
      {"\xF0\x9F\x98", u"\u00F0\u009F\u0098"},      // cut short: each byte stands for itself
      {"\xF8\x88\x80\x80", u"\u00F8\u0088\u0080\u0080"},
      {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},  // beyond U+10FFFF
      {"\xF0\x41\x42\x43", u"\u00F0" u"ABC"},       // continuation bytes missing
      {"\xC3\x29", u"\u00E9"},                      // continuation not checked: low bits used
      {std::string("ab\0cd", 5), u"ab"},            // stops at the zero byte
      {std::string("a\xE3\x81\0x", 5), u"a"},       // zero byte cuts a sequence: text ends
      {"\xEF\xBB\xBF<a/>", u"\uFEFF<a/>"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUtf8(c.bytes), c.text) << c.bytes;
}

const char kCatalogue[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<agents>\n"
    "  <agent><id>search</id><type>search</type></agent>\n"
    "  <agent><id>news</id><caption>\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9</caption>"
    "<empty></empty></agent>\n"
    "  <agent><id>mixed</id><caption>a<b>b</b><![CDATA[<c>]]>&amp;d</caption></agent>\n"
    "</agents>\n";

class XmlCatalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(folder_.File("AgentMaster.xml"), kCatalogue);
    ASSERT_TRUE(doc_.Load(folder_.File("AgentMaster.xml"), true));
  }
  TempFolder folder_;
  XmlDocument doc_;
};

TEST_F(XmlCatalogue, CountsAndTextsByZeroBasedPath) {
  const struct {
    const char16_t* path;
    int count;
    std::u16string text;  // of node 0, when count > 0
  } cases[] = {
      {u"/agents[0]/agent", 3, u"searchsearch"},
      {u"/agents[0]/agent[0]/id", 1, u"search"},
      {u"/agents[0]/agent[1]/caption", 1, u"\u30CB\u30E5\u30FC\u30B9"},
      {u"/agents[0]/agent[2]/caption", 1, u"ab<c>&d"},
      {u"/agents[0]/agent[3]/id", 0, u""},
      {u"/agents[1]/agent", 0, u""},
      {u"/agents/agent/id", 3, u"search"},
      {u"/agents[0]/agent[1]/empty", 1, u""},
      {u"/nothing", 0, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.path));
    EXPECT_EQ(doc_.CountNodes(c.path), c.count);
    std::u16string text = u"default";
    EXPECT_EQ(doc_.GetNodeText(c.path, 0, text), c.count > 0);
    EXPECT_EQ(text, c.count > 0 ? c.text : u"default");
    EXPECT_EQ(doc_.GetNodeTextLength(c.path, 0), c.count > 0 ? int(c.text.size()) : -1);
  }
  std::u16string id;
  EXPECT_TRUE(doc_.GetNodeText(u"/agents[0]/agent/id", 2, id));
  EXPECT_EQ(id, u"mixed");
  EXPECT_FALSE(doc_.GetNodeText(u"/agents[0]/agent/id", 3, id));
}

TEST_F(XmlCatalogue, BufferFormTruncatesAndTerminates) {
  char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(doc_.GetNodeText(u"/agents[0]/agent[0]/id", 0, buffer, 4), buffer);
  EXPECT_EQ(std::u16string(buffer), u"sea");
  char16_t untouched[2] = {u'q', 0};
  EXPECT_EQ(doc_.GetNodeText(u"/agents[0]/agent[9]/id", 0, untouched, 2), nullptr);
  EXPECT_EQ(untouched[0], u'q');
}

TEST_F(XmlCatalogue, NamesOfAnyChildInDocumentOrder) {
  const struct {
    const char16_t* path;
    int index;
    const char16_t* name;  // null: no such node
  } cases[] = {
      {u"/*", 0, u"agents"},
      {u"/agents[0]/*", 0, u"agent"},
      {u"/agents[0]/agent[1]/*", 0, u"id"},
      {u"/agents[0]/agent[1]/*", 1, u"caption"},
      {u"/agents[0]/agent[1]/*", 2, u"empty"},
      {u"/agents[0]/agent[1]/*", 3, nullptr},
      {u"/agents[0]/agent[1]/*[1]", 0, u"caption"},
      {u"/agents[0]/agent[2]/caption[0]/*", 0, u"b"},
      {u"/agents[0]/agent[0]/id", 0, u"id"},
      {u"/agents[0]/agent[0]/id", -1, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.path) + " " + std::to_string(c.index));
    std::u16string name = u"kept";
    EXPECT_EQ(doc_.GetNodeName(c.path, c.index, name), c.name != nullptr);
    EXPECT_EQ(name, c.name ? c.name : u"kept");
  }
  EXPECT_EQ(doc_.CountNodes(u"/agents[0]/agent[1]/*"), 3);
  EXPECT_EQ(doc_.ErrorLine(), 0);
  EXPECT_EQ(doc_.Source().substr(0, 5), u"<?xml");
}

TEST(XmlDocumentLoad, ErrorLineIsTheParsersOrZero) {
  TempFolder folder;
  WriteBytes(folder.File("bad.xml"), "<a>\n<b>\n</c>\n</a>\n");
  WriteBytes(folder.File("good.xml"), "<a/>");
  XmlDocument doc;
  EXPECT_FALSE(doc.Load(folder.File("bad.xml"), true));
  // The line of the stray end tag: pugixml (the POSIX DOM) always names it; MSXML does on
  // Windows, Wine's gives no line.
  const int line = doc.ErrorLine();
  if (storage::PathSeparator() == u'/') {
    EXPECT_EQ(line, 3);
  } else {
    EXPECT_TRUE(line == 3 || line == 0) << line;
  }
  EXPECT_FALSE(doc.Source().empty());
  EXPECT_TRUE(doc.Load(folder.File("good.xml"), true));
  EXPECT_EQ(doc.ErrorLine(), 0);
  EXPECT_FALSE(doc.Load(folder.File("absent.xml"), true));
  EXPECT_EQ(doc.ErrorLine(), 0);
  EXPECT_TRUE(doc.Source().empty());
}

TEST(XmlDocumentLoad, EncodingsAndFailures) {
  TempFolder folder;
  const std::u16string body = u"<agents><agent><id>\u691C\u7D22</id></agent></agents>";
  const struct {
    const char* name;
    std::string bytes;
    bool loads;
  } cases[] = {
      {"utf8-plain", Utf16ToUtf8(body), true},
      {"utf8-bom", "\xEF\xBB\xBF" + Utf16ToUtf8(body), true},
      {"utf8-decl", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + Utf16ToUtf8(body), true},
      {"utf16-decl-bom",
       Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body, true), true},
      {"utf16-decl", Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body, false),
       true},
      {"utf16-no-encoding", Utf16Le(u"<?xml version=\"1.0\"?>" + body, true), false},
      {"malformed", "<agents><agent></agents>", false},
      {"two-roots", "<a/><b/>", false},
      {"text-only", "hello", false},
      {"blank", "\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string path = folder.File(std::string(c.name) + ".xml");
    WriteBytes(path, c.bytes);
    XmlDocument doc;
    ASSERT_EQ(doc.Load(path, true), c.loads);
    if (c.loads) {
      std::u16string id;
      EXPECT_TRUE(doc.GetNodeText(u"/agents[0]/agent[0]/id", 0, id));
      EXPECT_EQ(id, u"\u691C\u7D22");
    }
  }
}

// The DOM's text of a node: the character data of the node and its descendants, without white
// space at either end (the DOM does not preserve white space by default).
TEST(XmlDocumentText, WhiteSpaceIsNormalisedAlike) {
  TempFolder folder;
  WriteBytes(folder.File("ws.xml"),
             "<agent>\n"
             "  <onclick>\n    http://x.example/?q={query}\n  </onclick>\n"
             "  <caption> a  b </caption>\n"
             "  <mixed> one <b> two </b> three </mixed>\n"
             "  <blank>   </blank>\n"
             "  <tab>\tx\t</tab>\n"
             "</agent>\n");
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(folder.File("ws.xml"), true));
  const struct {
    const char16_t* path;
    std::u16string text;
  } cases[] = {
      {u"/agent[0]/onclick", u"http://x.example/?q={query}"},
      {u"/agent[0]/caption", u"a  b"},
      {u"/agent[0]/mixed", u"one  two  three"},  // inner white space kept
      {u"/agent[0]/blank", u""},
      {u"/agent[0]/tab", u"x"},
  };
  for (const auto& c : cases) {
    std::u16string text;
    EXPECT_TRUE(doc.GetNodeText(c.path, 0, text)) << Utf16ToUtf8(c.path);
    EXPECT_EQ(text, c.text) << Utf16ToUtf8(c.path) << ": [" << Utf16ToUtf8(text) << "]";
  }
}

// Documents whose answers the two DOMs must agree on: entities declared in the document itself
// (expanded; external ones never read), white space around and inside CDATA sections and
// between elements, measured on the platform's DOM.
struct TextCase {
  const char* name;
  const char* document;
  const char16_t* path;
  const char16_t* text;  // null: the document does not load
};

const TextCase kTextCases[] = {
    {"entity", "<!DOCTYPE a [<!ENTITY site \"http://x.example\">]><a><o>&site;/?q</o></a>",
     u"/a[0]/o", u"http://x.example/?q"},
    {"entity-with-element-declarations",
     "<!DOCTYPE a [<!ELEMENT a ANY><!ELEMENT o (#PCDATA)><!ENTITY site \"http://x.example\">]>"
     "<a><o>&site;/?q</o></a>",
     u"/a[0]/o", u"http://x.example/?q"},
    {"entity-in-agent-file",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE agent [\n"
     "  <!ENTITY site \"http://news.example\">\n  <!ENTITY home \"&site;/?oem={OEM}\">\n]>\n"
     "<agent>\n  <onclick>&home;</onclick>\n</agent>\n",
     u"/agent[0]/onclick", u"http://news.example/?oem={OEM}"},
    {"entity-trimmed", "<!DOCTYPE a [<!ENTITY e \" sp \">]><a><o>&e;</o></a>", u"/a[0]/o", u"sp"},
    {"entity-of-entity-declared-later",
     "<!DOCTYPE a [<!ENTITY e \"&f;!\"><!ENTITY f \"F\">]><a><o>&e;</o></a>", u"/a[0]/o", u"F!"},
    {"entity-twice", "<!DOCTYPE a [<!ENTITY e \"v\">]><a><o>&e; &e;</o></a>", u"/a[0]/o",
     u"v v"},
    {"entity-single-quotes",
     "<!DOCTYPE a [<!ENTITY % p \"x\"><!ENTITY e 'single'>]><a><o>&e;</o></a>", u"/a[0]/o",
     u"single"},
    {"entity-character-reference-read-once",
     "<!DOCTYPE a [<!ENTITY e \"&#38;#60;\">]><a><o>&e;</o></a>", u"/a[0]/o", u"<"},
    {"entity-ideographic-space",
     "<!DOCTYPE a [<!ENTITY e \"&#x3000;v&#x3000;\">]><a><o>&e;</o></a>", u"/a[0]/o",
     u"\u3000v\u3000"},
    {"entity-markup", "<!DOCTYPE a [<!ENTITY e \"<b>in</b>\">]><a><o>x&e;y</o></a>", u"/a[0]/o",
     u"xiny"},
    {"entity-between-elements",
     "<!DOCTYPE a [<!ENTITY e \" q \">]><a><o><b>x</b>&e;<b>y</b></o></a>", u"/a[0]/o",
     u"x q y"},
    {"entity-first-declaration-counts",
     "<!DOCTYPE a [<!ENTITY e \"1\"><!ENTITY e \"2\">]><a><o>&e;</o></a>", u"/a[0]/o", u"1"},
    {"entity-in-comment-not-declared",
     "<!DOCTYPE a [<!-- <!ENTITY e \"c\"> --><!ENTITY f \"F\">]><a><o>&f;</o></a>", u"/a[0]/o",
     u"F"},
    {"entity-from-parameter-entity",
     "<!DOCTYPE a [<!ENTITY % p \"<!ENTITY q 'Q'>\"> %p;]><a><o>&q;</o></a>", u"/a[0]/o",
     u"Q"},
    {"entity-predefined-not-redeclared",
     "<!DOCTYPE a [<!ENTITY amp \"&#38;#38;\">]><a><o>&amp;</o></a>", u"/a[0]/o", u"&"},
    {"entity-not-in-cdata-or-attribute",
     "<!DOCTYPE a [<!ENTITY e \"v\">]><a t=\"&e;\"><o><![CDATA[&e;]]></o></a>", u"/a[0]/o",
     u"&e;"},
    {"entity-with-external-subset", "<!DOCTYPE a SYSTEM \"x.dtd\" [<!ENTITY e \"v\">]><a><o>&e;</o></a>",
     u"/a[0]/o", u"v"},
    {"external-subset-not-read", "<!DOCTYPE a SYSTEM \"x.dtd\"><a><o>v</o></a>", u"/a[0]/o", u"v"},
    {"external-entity-not-read",
     "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a><o>[&e;]</o></a>", u"/a[0]/o",
     u"[]"},
    {"external-public-entity-not-read",
     "<!DOCTYPE a [<!ENTITY e PUBLIC \"-//x\" \"y.ent\">]><a><o>[&e;]</o></a>", u"/a[0]/o",
     u"[]"},
    {"entity-undeclared", "<!DOCTYPE a [<!ENTITY e \"x\">]><a><o>&g;</o></a>", u"/a[0]/o",
     nullptr},
    {"entity-recursive", "<!DOCTYPE a [<!ENTITY e \"&e;\">]><a><o>&e;</o></a>", u"/a[0]/o",
     nullptr},
    {"entity-markup-unbalanced", "<!DOCTYPE a [<!ENTITY e \"<b>in\">]><a><o>x&e;</b>y</o></a>",
     u"/a[0]/o", nullptr},
    {"entity-lone-less-than", "<!DOCTYPE a [<!ENTITY e \"&#60;\">]><a><o>&e;</o></a>",
     u"/a[0]/o", nullptr},
    {"entity-unparsed", "<!DOCTYPE a [<!ENTITY e SYSTEM \"x\" NDATA n>]><a><o>[&e;]</o></a>",
     u"/a[0]/o", nullptr},
    {"cdata-kept", "<a><o><![CDATA[ x ]]></o></a>", u"/a[0]/o", u" x "},
    {"cdata-among-blanks", "<a><o> <![CDATA[ x ]]> </o></a>", u"/a[0]/o", u" x "},
    {"cdata-among-text", "<a><o> y <![CDATA[ x ]]> z </o></a>", u"/a[0]/o", u"y  x  z"},
    {"cdata-two-sections", "<a><o><![CDATA[ x ]]><![CDATA[ w ]]></o></a>", u"/a[0]/o",
     u" x  w "},
    {"cdata-two-sections-blank-between", "<a><o> <![CDATA[x]]> <![CDATA[y]]> </o></a>",
     u"/a[0]/o", u"xy"},
    {"cdata-in-child", "<a><o> <b><![CDATA[ x ]]></b> </o></a>", u"/a[0]/o", u" x "},
    {"cdata-line-break", "<a><o><![CDATA[\n]]></o></a>", u"/a[0]/o", u"\n"},
    {"cdata-between-text", "<a><o>p<![CDATA[ x ]]>q</o></a>", u"/a[0]/o", u"p x q"},
    {"cdata-empty", "<a><o> <![CDATA[]]> </o></a>", u"/a[0]/o", u""},
    {"cdata-blank", "<a><o><![CDATA[ ]]></o></a>", u"/a[0]/o", u" "},
    {"cdata-then-element", "<a><o><![CDATA[ x ]]> <b>y</b></o></a>", u"/a[0]/o", u" x  y"},
    {"cdata-after-text", "<a><o> a<![CDATA[ ]]></o></a>", u"/a[0]/o", u"a "},
    {"cdata-in-child-then-text", "<a><o><b><![CDATA[ x ]]></b> y </o></a>", u"/a[0]/o",
     u" x  y"},
    {"text-then-cdata-in-child", "<a><o> y <b><![CDATA[ x ]]></b></o></a>", u"/a[0]/o",
     u"y  x "},
    {"blank-cdata-text", "<a><o>  <![CDATA[ x ]]>y  </o></a>", u"/a[0]/o", u" x y"},
    {"text-cdata-blank", "<a><o>y  <![CDATA[ x ]]>  </o></a>", u"/a[0]/o", u"y   x "},
    {"blank-between-elements", "<a><o><b>x</b>   <b>y</b></o></a>", u"/a[0]/o", u"x y"},
    {"lines-between-elements", "<a><o>\n <b>x</b>\n <b>y</b>\n</o></a>", u"/a[0]/o", u"x y"},
    {"no-blank-between-elements", "<a><o><b>x </b><b> y</b></o></a>", u"/a[0]/o", u"x  y"},
    {"blank-element-between-text", "<a><o>a <b> </b> c</o></a>", u"/a[0]/o", u"a   c"},
    {"blank-element-joins-text", "<a><o>a<b> </b>c</o></a>", u"/a[0]/o", u"a c"},
    {"comment-between-elements", "<a><o><b>x</b>\n<!-- c -->\n<b>y</b></o></a>", u"/a[0]/o",
     u"x y"},
    {"empty-elements-between-text", "<a><o>x<b/>  <b/>y</o></a>", u"/a[0]/o", u"x y"},
    {"nested-blanks", "<a><o><p> <b>x</b> </p><p> <b>y</b> </p></o></a>", u"/a[0]/o", u"x y"},
    {"processing-instruction", "<a><o><b>x</b><?pi z?> <b>y</b></o></a>", u"/a[0]/o", u"x y"},
    {"only-blanks-and-empty-element", "<a><o> <b/> </o></a>", u"/a[0]/o", u""},
    {"tab-trimmed", "<a><o>\t x\t</o></a>", u"/a[0]/o", u"x"},
    {"character-reference-blanks", "<a><o>&#32;x&#32;</o></a>", u"/a[0]/o", u"x"},
    {"ideographic-space-not-trimmed", "<a><o> x \xE3\x80\x80</o></a>", u"/a[0]/o",
     u"x \u3000"},
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class XmlText : public ::testing::TestWithParam<TextCase> {};

TEST_P(XmlText, SameAnswerOnEveryPlatform) {
  const TextCase& c = GetParam();
  TempFolder folder;
  WriteBytes(folder.File("case.xml"), c.document);
  XmlDocument doc;
  ASSERT_EQ(doc.Load(folder.File("case.xml"), true), c.text != nullptr);
  if (!c.text) return;
  std::u16string text;
  EXPECT_TRUE(doc.GetNodeText(c.path, 0, text));
  EXPECT_EQ(text, c.text) << "[" << Utf16ToUtf8(text) << "]";
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (ch == '-') ch = '_';
                           }
                           return name;
                         });

// Entities of entities multiply: a file of a few hundred bytes that would expand to megabytes
// is refused.
TEST(XmlDocumentLoad, EntityBombIsRefused) {
  std::string bomb = "<!DOCTYPE a [<!ENTITY l0 \"lollollollollollollollollollol\">";
  for (int i = 1; i < 10; ++i) {
    bomb += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) bomb += "&l" + std::to_string(i - 1) + ";";
    bomb += "\">";
  }
  TempFolder folder;
  XmlDocument doc;
  WriteBytes(folder.File("bomb.xml"), bomb + "]><a><o>&l9;</o></a>");
  EXPECT_FALSE(doc.Load(folder.File("bomb.xml"), true));
  WriteBytes(folder.File("small.xml"), bomb + "]><a><o>&l3;</o></a>");  // 30000 characters
  EXPECT_FALSE(doc.Load(folder.File("small.xml"), true));
}

// A UTF-16 file of an odd length: its last byte pairs with the zero that ends the buffer.
TEST(XmlDocumentLoad, OddUtf16FilePairsItsLastByteWithZero) {
  TempFolder folder;
  const std::string whole =
      Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a><o>\u691C\u7D22</o></a>", true);
  WriteBytes(folder.File("odd.xml"), whole.substr(0, whole.size() - 1));  // '>' without its 00
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(folder.File("odd.xml"), true));
  std::u16string text;
  EXPECT_TRUE(doc.GetNodeText(u"/a[0]/o", 0, text));
  EXPECT_EQ(text, u"\u691C\u7D22");
  // The paired character must still complete the document: here it does not.
  const std::string cut =
      Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a><o>x</o></a", true) + "z";
  WriteBytes(folder.File("cut.xml"), cut);
  EXPECT_FALSE(doc.Load(folder.File("cut.xml"), true));
}

TEST(XmlDocumentLoad, UndeclaredEntityIsNotWellFormed) {
  TempFolder folder;
  WriteBytes(folder.File("entity.xml"), "<a>&nbsp;x</a>");
  WriteBytes(folder.File("known.xml"), "<a>&lt;&#x3042;&#12354;&quot;</a>");
  XmlDocument doc;
  EXPECT_FALSE(doc.Load(folder.File("entity.xml"), true));
  ASSERT_TRUE(doc.Load(folder.File("known.xml"), true));
  std::u16string text;
  EXPECT_TRUE(doc.GetNodeText(u"/a", 0, text));
  EXPECT_EQ(text, u"<\u3042\u3042\"");
}

TEST(XmlDocumentLoad, EmptyFileLoadsAsEmptyDocument) {
  TempFolder folder;
  WriteBytes(folder.File("empty.xml"), "");
  XmlDocument doc;
  EXPECT_TRUE(doc.Load(folder.File("empty.xml"), false));
  EXPECT_EQ(doc.CountNodes(u"/agents[0]/agent"), -1);
  std::u16string text = u"kept";
  EXPECT_FALSE(doc.GetNodeText(u"/agents[0]/agent[0]/id", 0, text));
  EXPECT_EQ(text, u"kept");
  EXPECT_EQ(doc.GetNodeTextLength(u"/agents[0]", 0), -1);
}

TEST(XmlDocumentLoad, MissingFileFailsAtOnce) {
  TempFolder folder;
  XmlDocument doc;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(doc.Load(folder.File("absent.xml"), false));
  EXPECT_FALSE(doc.Load(folder.File("absent.xml"), true));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(XmlDocumentLoad, ReloadReplacesAndFailedLoadEmpties) {
  TempFolder folder;
  WriteBytes(folder.File("a.xml"), "<a><x>1</x></a>");
  WriteBytes(folder.File("b.xml"), "<a><x>2</x><x>3</x></a>");
  WriteBytes(folder.File("bad.xml"), "<a><x>4</a>");
  WriteBytes(folder.File("other.xml"), "<b><x>5</x></b>");
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(folder.File("a.xml"), true));
  // Asked once, the elements of a.xml are kept: the next load must not answer from them.
  EXPECT_EQ(doc.CountNodes(u"/a[0]/x"), 1);
  std::u16string text;
  EXPECT_TRUE(doc.GetNodeText(u"/a[0]/x", 0, text));
  EXPECT_EQ(text, u"1");
  ASSERT_TRUE(doc.Load(folder.File("b.xml"), true));
  EXPECT_EQ(doc.CountNodes(u"/a[0]/x"), 2);
  EXPECT_TRUE(doc.GetNodeText(u"/a[0]/x", 1, text));
  EXPECT_EQ(text, u"3");
  EXPECT_EQ(doc.CountNodes(u"/a["), -1);
  ASSERT_TRUE(doc.Load(folder.File("other.xml"), true));
  EXPECT_EQ(doc.CountNodes(u"/a[0]/x"), 0);
  EXPECT_EQ(doc.CountNodes(u"/b[0]/x"), 1);
  EXPECT_FALSE(doc.Load(folder.File("bad.xml"), true));
  EXPECT_EQ(doc.CountNodes(u"/a[0]/x"), -1);
  EXPECT_EQ(doc.CountNodes(u"/a"), -1);
}

// The same questions in different orders get the same answers: a deep path asked first keeps
// its parents' children for the shallow ones, a shallow one asked first for the deep ones, and
// paths with the same parents (or a malformed one) in a row share or drop what was kept.
TEST(XmlDocumentQueries, AnswersDoNotDependOnWhatWasAskedBefore) {
  TempFolder folder;
  WriteBytes(folder.File("m.xml"),
             "<agent><ui><caption>c</caption></ui><menu><item><name>n0</name></item>"
             "<item><name>n1</name><name>n1b</name></item><item/></menu></agent>");
  const struct {
    const char16_t* path;
    int count;
    const char16_t* first;  // the text of node 0, when count > 0
  } queries[] = {
      {u"/agent[0]/menu[0]/item[1]/name", 2, u"n1"},
      {u"/agent[0]/menu[0]/item", 3, u"n0"},
      {u"/agent/menu/item/name", 3, u"n0"},
      {u"/agent[0]/menu[0]/item[2]/name", 0, nullptr},
      {u"/agent[0]/ui[0]/caption", 1, u"c"},
      {u"/agent[0]/*", 2, u"c"},
      {u"/agent[0]/menu[0]/item/name[1]", 1, u"n1b"},
      {u"/agent[0]/menu[0]/item[1]/name[1]", 1, u"n1b"},
      {u"/agent[0]/menu[0]/item[1]/type", 0, nullptr},
      {u"/agent[0]/menu[0]/item[1]/", -1, nullptr},
      {u"/agent[0]/menu[0/item", -1, nullptr},
      {u"/agent[0]/menu[0]/item[0]/name", 1, u"n0"},
      {u"/agent[0]/ui[0]/caption[0]", 1, u"c"},
  };
  const size_t n = std::size(queries);
  for (size_t start = 0; start < n; ++start) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(folder.File("m.xml"), true));
    for (size_t k = 0; k < n; ++k) {
      const auto& q = queries[(start + k) % n];
      SCOPED_TRACE(Utf16ToUtf8(q.path) + " from query " + std::to_string(start));
      EXPECT_EQ(doc.CountNodes(q.path), q.count);
      std::u16string text;
      EXPECT_EQ(doc.GetNodeText(q.path, 0, text), q.count > 0);
      if (q.first) {
        EXPECT_EQ(text, q.first);
      }
    }
  }
}

// Waiting for a locked file, through the file-system seam.
TEST(XmlDocumentLoad, WaitsForALockedFileButNotForEver) {
  test::FakeFileSystem files(u'/');
  files.AddFile(u"/locked.xml", "<a/>");
  files.FailOpen(u"/locked.xml");
  platform::ScopedSeams seams({nullptr, &files, nullptr});

  XmlDocument doc;
  EXPECT_FALSE(doc.Load(u"/locked.xml", true));
  EXPECT_EQ(files.openAttempts(), 1);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(doc.Load(u"/locked.xml", false, std::chrono::milliseconds(200)));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  EXPECT_GT(files.openAttempts(), 3);
}

TEST(XmlDocumentLoad, StopsWaitingWhenTheFileGoes) {
  test::FakeFileSystem files(u'/');
  files.AddFile(u"/going.xml", "<a/>");
  files.FailOpen(u"/going.xml");
  platform::ScopedSeams seams({nullptr, &files, nullptr});
  std::thread remover([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    files.Remove(u"/going.xml");
  });
  XmlDocument doc;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(doc.Load(u"/going.xml", false, std::chrono::seconds(5)));
  remover.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

}  // namespace
}  // namespace norvex::catalogue
