// One table of XML cases, run against the build's own DOM: MSXML under Windows, pugixml under
// POSIX. Both must give the same answers.
#include "catalogue/xml_document.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/platform.h"
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
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(folder.File("a.xml"), true));
  ASSERT_TRUE(doc.Load(folder.File("b.xml"), true));
  EXPECT_EQ(doc.CountNodes(u"/a[0]/x"), 2);
  EXPECT_EQ(doc.CountNodes(u"/a["), -1);
  EXPECT_FALSE(doc.Load(folder.File("bad.xml"), true));
  EXPECT_EQ(doc.CountNodes(u"/a[0]/x"), -1);
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
