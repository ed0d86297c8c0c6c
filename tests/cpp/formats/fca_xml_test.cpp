// The FCA-XML reader: its messages, names, references, structure and hostile documents.
#include <gtest/gtest.h>

#include <string>

#include "formats/read.h"
#include "formats/reader_cases.h"

namespace quorlan {
namespace {

using testing::display_of;
using testing::ReaderCase;

std::string xml_doc(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<Context>" + body + "</Context>";
}

TEST(FcaXml, Messages) {
  const std::string two = "<Attribute Name=\"a\"/><Attribute Name=\"b\"/>";
  const std::pair<std::string, std::string> cases[] = {
      {xml_doc(two + "<Object><Name>o1</Name><HasAttribute Id=\"1\"/></Object>"), "ok"},
      {xml_doc("<Object><Name>o</Name></Object>"),
       "invalid fca-xml data: no <Attribute> elements found"},
      {xml_doc("<Attribute/><Attribute Other=\"x\"/><Object/>"),
       "invalid fca-xml data: no <Attribute> elements found"},
      {xml_doc(two + "<Object/><Object/>"), "invalid fca-xml data: no <Object> elements found"},
      {xml_doc(two + "<Object><Name>q\"x</Name><HasAttribute Id=\"2\"/></Object>"),
       "invalid fca-xml data: object \"q\\\"x\" references attribute id 2, only 2 attributes "
       "declared"},
      {xml_doc(two + "<Object><Name>&nope;</Name></Object>"),
       "parse error in fca-xml: invalid text in <Name>: undefined entity"},
      {xml_doc(two + "<Object><Name>x</Object>"),
       "parse error in fca-xml: XML parse error at position 90: Start-end tags mismatch"},
      {"<a/><b/>",
       "parse error in fca-xml: XML parse error at position 4: junk after document element"},
      {xml_doc("<Object><Name>o</Name></Object><Attribute Name=\"late\"/>"),
       "context construction failed: incidence row 0 has 0 attributes, expected 1"},
      // The first failing check in document order decides, of the reader or of the XML.
      {"<C><Attribute Name=\"a\"/><Object><HasAttribute Id=\"3\"/></Object></D>",
       "invalid fca-xml data: object \"g0\" references attribute id 3, only 1 attributes declared"},
      {"<C><Attribute Name=\"a\"/><Object><HasAttribute Id=\"3\"/></Object></C><junk/>",
       "invalid fca-xml data: object \"g0\" references attribute id 3, only 1 attributes declared"},
      {"<C><Object><Name>&nope;</Name></Object>\x01</C>",
       "parse error in fca-xml: invalid text in <Name>: undefined entity"},
      {"<C>\x01<Attribute Name=\"a\"/><Object><HasAttribute Id=\"3\"/></Object></C>",
       "parse error in fca-xml: XML parse error at position 3: not well-formed (invalid token)"},
  };
  for (const auto& [doc, expected] : cases) EXPECT_EQ(display_of(doc, "t.xml"), expected) << doc;
}

TEST(FcaXml, NamesReferencesAndStructure) {
  const std::string doc = xml_doc(
      "<Attribute Id=\"x\" Name=\"y\"/><Attribute Name=\"y\" Id=\"x\"/>"
      "<Attribute><Name>ignored</Name></Attribute>"
      "<Attribute Name=\"c\"></Attribute>"
      "<Object><Name>  Jo &amp; Al </Name><HasAttribute AttributeIdentifier=\"0\"/>"
      "<HasAttribute Id=\"+1\" AttributeIdentifier=\"0\"/><HasAttribute Id=\"-1\"/>"
      "<HasAttribute Id=\"\"/><HasAttribute Id=\"one\"/></Object>"
      "<HasAttribute Id=\"2\"/>"
      "<Object><Name/><Name><![CDATA[cdata]]></Name><Name><Foo><HasAttribute Id=\"2\"/></Foo>"
      "</Name></Object>"
      "<Object>outer<Object><Name>inner</Name></Object></Object>"
      "<fca:Object><Name>ns</Name></fca:Object>");
  ContextResult r = read_context(doc, "t.xml");
  ASSERT_TRUE(r.has_value()) << r.error().display();
  const Context& c = r.value();
  EXPECT_EQ(c.attributes().to_vector(), (std::vector<std::string>{"x", "y", "c"}));
  EXPECT_EQ(c.objects().to_vector(), (std::vector<std::string>{"Jo & Al", "g1", "inner"}));
  EXPECT_EQ(c.row(0).ones(), (std::vector<std::uint32_t>{0, 1}));
  EXPECT_EQ(c.row(1).ones(), (std::vector<std::uint32_t>{2}));
  EXPECT_EQ(c.row(2).count(), 0u);
}

TEST(FcaXml, HostileInputsEndCleanly) {
  // Entities declared in a document type declaration are never expanded: only the predefined
  // ones and character references are resolved.
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY " + std::string(1, static_cast<char>('a' + i)) + " \"";
    for (int k = 0; k < 10; ++k)
      laughs += "&" + std::string(1, static_cast<char>('a' + i - 1)) + ";";
    laughs += "\">";
  }
  laughs += "]><Context><Object><Name>&j;</Name></Object></Context>";
  EXPECT_EQ(display_of(laughs, "t.xml"),
            "parse error in fca-xml: invalid text in <Name>: undefined entity");
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE c SYSTEM \"file:///etc/passwd\"><Context>"
      "<Attribute Name=\"a\"/><Object><Name>o</Name></Object></Context>";
  EXPECT_EQ(display_of(external, "t.xml"), "ok");
}

// References are resolved by the reader, on the raw text of what it looks at: one row per case.
TEST(FcaXml, ReferencesResolvedByTheReader) {
  const std::string a = "<Attribute Name=\"a\"/>";
  const auto named = [](const std::string& name) {
    return xml_doc("<Attribute Name=\"a\"/><Object><Name>" + name + "</Name></Object>");
  };
  struct Case {
    std::string doc;
    std::string expected;  // display text, or the names "attributes | objects | row 0"
  };
  const Case cases[] = {
      // An unresolvable reference in the consulted Id or Name: the element declares nothing.
      {xml_doc("<Attribute Name=\"&nope;\"/>" + a + "<Object/><Object></Object>"), "a | g0 | "},
      {xml_doc("<Attribute Id=\"&#0;\" Name=\"b\"/>" + a + "<Object></Object>"), "a | g0 | "},
      {xml_doc("<Attribute Name=\"&#xD800;\"/>" + a + "<Object></Object>"), "a | g0 | "},
      {xml_doc("<Attribute Name=\"&#x110000;\"/>" + a + "<Object></Object>"), "a | g0 | "},
      {xml_doc("<Attribute Name=\"&#xD800;\"/><Object></Object>"),
       "invalid fca-xml data: no <Attribute> elements found"},
      // ... in the consulted Id or AttributeIdentifier of a reference: it is ignored.
      {xml_doc(a + "<Object><HasAttribute Id=\"&nope;\"/></Object>"), "a | g0 | "},
      {xml_doc(a + "<Object><HasAttribute AttributeIdentifier=\"&#0;\"/></Object>"), "a | g0 | "},
      {xml_doc(a + "<Object><HasAttribute Id=\"&#xD800;\" AttributeIdentifier=\"0\"/></Object>"),
       "a | g0 | "},
      {xml_doc(a + "<Object><HasAttribute Id=\"&#x110000;\"/></Object>"), "a | g0 | "},
      {xml_doc(a + "<Object><HasAttribute Id=\"&#48;\"/></Object>"), "a | g0 | 0"},
      // ... inside a Name: the Name error.
      {named("&#0;"),
       "parse error in fca-xml: invalid text in <Name>: reference to invalid "
       "character number"},
      {named("o&#xD800;"),
       "parse error in fca-xml: invalid text in <Name>: reference to "
       "invalid character number"},
      {named("&#x110000;"),
       "parse error in fca-xml: invalid text in <Name>: reference to "
       "invalid character number"},
      {named("&#xFFFFFFFFF;"),
       "parse error in fca-xml: invalid text in <Name>: reference to "
       "invalid character number"},
      {named("a & b"),
       "parse error in fca-xml: invalid text in <Name>: not well-formed "
       "(invalid token)"},
      // Entities a document type declaration declares are not expanded.
      {"<!DOCTYPE c [<!ENTITY e \"ee\">]>" +
           xml_doc("<Attribute Name=\"&e;\"/>" + a + "<Object></Object>").substr(21),
       "a | g0 | "},
      // Text is trimmed before its references are resolved.
      {named("&#32;o&#32;"), "a |  o  | "},
      {named("&#x20;"), "a |   | "},
      {named(" \t&lt;&#x4A;&#111;&gt;&apos;&quot; "), "a | <Jo>'\" | "},
      {xml_doc("<Attribute Name=\"x&#10;y&#x9;z\"/><Object></Object>"), "x\ny\tz | g0 | "},
  };
  for (const Case& c : cases) {
    ContextResult r = read_context(c.doc, "t.xml");
    std::string got;
    if (!r.has_value()) {
      got = r.error().display();
    } else {
      const auto join = [](const std::vector<std::string>& v) {
        std::string out;
        for (const std::string& s : v) out += (out.empty() ? "" : ",") + s;
        return out;
      };
      std::string row;
      for (std::uint32_t j : r.value().row(0).ones()) row += std::to_string(j);
      got = join(r.value().attributes().to_vector()) + " | " +
            join(r.value().objects().to_vector()) + " | " + row;
    }
    EXPECT_EQ(got, c.expected) << c.doc;
  }
}

// What the XML layer refuses, beside mismatched tags: the rules of a well-formed document that
// the parser leaves to its caller are checked too.
TEST(FcaXml, MalformedDocuments) {
  // Ten attributes, the first value holding '<' or name given twice decides.
  const auto many = [](const char* fifth, const char* last) {
    std::string tag = "<C><x";
    for (int i = 0; i < 9; ++i)
      tag += " a" + std::to_string(i) + "=\"" + (i == 5 ? fifth : "") + "\"";
    return tag + " " + last + "/></C>";
  };
  const std::pair<std::string, std::string> cases[] = {
      {many("", "a3=\"\""), "XML parse error at position 3: duplicate attribute"},
      {many("<", "a3=\"\""), "XML parse error at position 3: not well-formed (invalid token)"},
      {many("", "a9=\"<\" a1=\"\""),
       "XML parse error at position 3: not well-formed (invalid token)"},
      {many("", "a1=\"\" a9=\"<\""), "XML parse error at position 3: duplicate attribute"},
      {"<a/><b/>", "XML parse error at position 4: junk after document element"},
      {"<C></C>trailing", "XML parse error at position 7: text outside the document element"},
      {"", "XML parse error at position 0: no element found"},
      {"<?xml version=\"1.0\"?>", "XML parse error at position 21: no element found"},
      {"<C>\x01</C>", "XML parse error at position 3: not well-formed (invalid token)"},
      {"<C a=\"<\"/>", "XML parse error at position 0: not well-formed (invalid token)"},
      {"<C><Object a=\"1\" a=\"2\"/></C>", "XML parse error at position 3: duplicate attribute"},
      {"<C>", "XML parse error at position 2: Start-end tags mismatch"},
  };
  for (const auto& [doc, expected] : cases) {
    EXPECT_EQ(display_of(doc, "t.xml"), "parse error in fca-xml: " + expected) << doc;
  }
}

}  // namespace
}  // namespace quorlan
