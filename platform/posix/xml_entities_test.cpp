#include "platform/posix/xml_entities.h"

#include <gtest/gtest.h>

namespace norvex::platform {
namespace {

constexpr const char* kRefused = nullptr;

TEST(ExpandInternalEntities, ReplacesDeclaredEntitiesByText) {
  const struct {
    const char* document;
    const char* expanded;  // kRefused: the document is refused
  } cases[] = {
      {"<a>&x;</a>", "<a>&x;</a>"},  // no internal subset: unchanged
      {"<!DOCTYPE a><a/>", "<!DOCTYPE a><a/>"},
      {"<!DOCTYPE a [<!ENTITY s \"http://x.example\">]><a><o>&s;/?q</o></a>",
       "<!DOCTYPE a [<!ENTITY s \"http://x.example\">]><a><o>http://x.example/?q</o></a>"},
      // Entities of entities, declared in any order; single quotes.
      {"<!DOCTYPE a [<!ENTITY e '&f;!'><!ENTITY f \"F\">]><a>&e;&e;</a>",
       "<!DOCTYPE a [<!ENTITY e '&f;!'><!ENTITY f \"F\">]><a>F!F!</a>"},
      // Character references are read when the entity is declared; predefined ones stay.
      {"<!DOCTYPE a [<!ENTITY e \"&#38;#60;&amp;&#x3000;\">]><a>&e;</a>",
       "<!DOCTYPE a [<!ENTITY e \"&#38;#60;&amp;&#x3000;\">]><a>&#60;&amp;\xE3\x80\x80</a>"},
      // Balanced markup in a replacement is markup.
      {"<!DOCTYPE a [<!ENTITY e \"<b>in</b>\">]><a>x&e;y</a>",
       "<!DOCTYPE a [<!ENTITY e \"<b>in</b>\">]><a>x<b>in</b>y</a>"},
      // Not inside CDATA sections, comments or processing instructions.
      {"<!DOCTYPE a [<!ENTITY e \"v\">]><a><![CDATA[&e;]]><!-- &e; --><?p &e;?></a>",
       "<!DOCTYPE a [<!ENTITY e \"v\">]><a><![CDATA[&e;]]><!-- &e; --><?p &e;?></a>"},
      // Attribute values: quotes in the text do not end the value.
      {"<!DOCTYPE a [<!ENTITY q '\"x'>]><a t=\"&q;\" u='&q;'/>",
       "<!DOCTYPE a [<!ENTITY q '\"x'>]><a t=\"&quot;x\" u='&quot;x'/>"},
      // External entities are never read: their references become nothing.
      {"<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\"><!ENTITY p PUBLIC \"-//x\" \"y\">]>"
       "<a>[&e;&p;]</a>",
       "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\"><!ENTITY p PUBLIC \"-//x\" \"y\">]>"
       "<a>[]</a>"},
      // The first declaration counts; the predefined entities cannot be redeclared.
      {"<!DOCTYPE a [<!ENTITY e \"1\"><!ENTITY e \"2\"><!ENTITY lt \"<\">]><a>&e;&lt;</a>",
       "<!DOCTYPE a [<!ENTITY e \"1\"><!ENTITY e \"2\"><!ENTITY lt \"<\">]><a>1&lt;</a>"},
      // Undeclared references are left for the parser to refuse.
      {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&g; & </a>",
       "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&g; & </a>"},
      // Element and attribute-list declarations, comments, parameter entities of the subset.
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- c --><!DOCTYPE a SYSTEM \"a.dtd\" [\n"
       "  <!ELEMENT a ANY> <!ATTLIST a t CDATA \"x>y\"> <!-- <!ENTITY e \"no\"> -->\n"
       "  <!ENTITY % p \"<!ENTITY e 'yes'>\"> %p; <!ENTITY % q SYSTEM \"q.ent\"> %q;\n]>"
       "<a>&e;</a>",
       "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- c --><!DOCTYPE a SYSTEM \"a.dtd\" [\n"
       "  <!ELEMENT a ANY> <!ATTLIST a t CDATA \"x>y\"> <!-- <!ENTITY e \"no\"> -->\n"
       "  <!ENTITY % p \"<!ENTITY e 'yes'>\"> %p; <!ENTITY % q SYSTEM \"q.ent\"> %q;\n]>"
       "<a>yes</a>"},
      // Refused, as the platform's DOM refuses them.
      {"<!DOCTYPE a [<!ENTITY e \"&e;\">]><a>&e;</a>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e \"&f;\"><!ENTITY f \"&e;\">]><a>&e;</a>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e \"&#60;\">]><a>&e;</a>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e \"<b>in\">]><a>x&e;</b></a>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM \"x\" NDATA n>]><a>&e;</a>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e \"<b/>\">]><a t=\"&e;\"/>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e \"%p;\">]><a/>", kRefused},
      {"<!DOCTYPE a [<!ENTITY e \"x\"]><a/>", kRefused},
      {"<!DOCTYPE a [<!BOGUS>]><a/>", kRefused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.document);
    const auto expanded = ExpandInternalEntities(c.document);
    if (c.expanded == kRefused) {
      EXPECT_FALSE(expanded) << *expanded;
    } else {
      ASSERT_TRUE(expanded);
      EXPECT_EQ(*expanded, c.expanded);
    }
  }
}

// Entities of entities multiply: a small file could ask for gigabytes.
TEST(ExpandInternalEntities, GrowthIsBounded) {
  std::string bomb = "<!DOCTYPE a [<!ENTITY l0 \"lollollollollollollollollollol\">";
  for (int i = 1; i < 10; ++i) {
    bomb += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) bomb += "&l" + std::to_string(i - 1) + ";";
    bomb += "\">";
  }
  EXPECT_FALSE(ExpandInternalEntities(bomb + "]><a>&l9;</a>"));
  EXPECT_FALSE(ExpandInternalEntities(bomb + "]><a>&l3;</a>"));  // 30000 characters
  EXPECT_TRUE(ExpandInternalEntities(bomb + "]><a>&l2;</a>"));   // 3000
  // Within the bound: ten times the document and 10000 bytes.
  EXPECT_EQ(EntityExpansionLimit(500), 15000u);
  const std::string doc = "<!DOCTYPE a [<!ENTITY e \"" + std::string(90, 'x') + "\">]><a>";
  std::string references;
  for (int i = 0; i < 150; ++i) references += "&e;";
  ASSERT_TRUE(ExpandInternalEntities(doc + references + "</a>"));
  references.clear();
  for (int i = 0; i < 400; ++i) references += "&e;";
  EXPECT_FALSE(ExpandInternalEntities(doc + references + "</a>"));
}

}  // namespace
}  // namespace norvex::platform
