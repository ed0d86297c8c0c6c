#include "formats/read.h"

#include <gtest/gtest.h>

#include "formats/fimi.h"
#include "formats/text.h"

namespace quorlan {
namespace {

const char* name_of(std::optional<ContextFormat> f) {
  if (!f) return "none";
  switch (*f) {
    case ContextFormat::Cxt:
      return "cxt";
    case ContextFormat::Csv:
      return "csv";
    case ContextFormat::Fimi:
      return "fimi";
    case ContextFormat::FcaXml:
      return "xml";
    case ContextFormat::Json:
      return "json";
  }
  return "?";
}

TEST(Detect, ByNameAndFirstLine) {
  struct Case {
    const char* name;
    std::string head;
    const char* expected;
  };
  const Case cases[] = {
      {"DATA.CSV", "", "csv"},
      {"data.Csv", "", "csv"},
      {"x.TSV", "", "csv"},
      {"a.tar.json", "", "json"},
      {"notes.dat", "", "fimi"},
      {"dir.csv/", "", "csv"},
      {"a\\b.XML", "", "xml"},
      {"x.cxt", "{", "cxt"},
      {".csv", "", "none"},
      {"csv", "", "none"},
      {"name.", "", "none"},
      {"data.csv/..", "", "none"},
      {"x.txt", "B\n", "cxt"},
      {"x.txt", "b\n", "none"},
      {"x.txt", "  B \r\nrest", "cxt"},
      {"x", "<?xml version", "xml"},
      {"x", "<a>", "xml"},
      {"x", "{\"a\":1}", "json"},
      {"x", "[1]", "none"},
      {"x", "1 2 3", "fimi"},
      {"x", "1,2,3", "csv"},
      {"x", "name,a,b", "csv"},
      {"x", "7", "none"},
      {"x", "1\t2", "none"},
      {"x", "a\tb", "none"},
      {"x", "\nB\n", "none"},
      {"x", "", "none"},
      {"x",
       "\xEF\xBB\xBF"
       "B\n",
       "none"},
      {"x",
       "\xE3\x80\x80"
       "B",
       "cxt"},  // U+3000 is White_Space
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(name_of(detect_format(c.name, c.head)), c.expected) << c.name << " " << c.head;
  }
}

std::string display_of(std::string_view input, std::string_view name) {
  ContextResult r = read_context(input, name);
  return r.has_value() ? "ok" : r.error().display();
}

TEST(Detect, ReadContextErrors) {
  EXPECT_EQ(display_of("", "x"),
            "invalid auto data: could not detect format from extension or first 0 bytes");
  EXPECT_EQ(display_of("hello world", "x"),
            "invalid auto data: could not detect format from extension or first 11 bytes");
  // The comma at byte 280 is beyond the detection window.
  std::string long_line(280, 'a');
  long_line += ",b\n";
  EXPECT_EQ(display_of(long_line, "x"),
            "invalid auto data: could not detect format from extension or first 256 bytes");
  EXPECT_EQ(display_of("B\n\xff", "a.cxt"), "I/O error: stream did not contain valid UTF-8");
  EXPECT_EQ(display_of("\xff", "x"),
            "invalid auto data: could not detect format from extension or first 1 bytes");
}

TEST(Quoted, Escapes) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"abc", "\"abc\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\t\r\n", "\"\\t\\r\\n\""},
      {std::string("a\0b", 3), "\"a\\0b\""},
      {"it's", "\"it's\""},
      {"\x01", "\"\\u{1}\""},
      {"\xC2\xA0", "\"\\u{a0}\""},                           // no-break space
      {"e\xCC\x81", "\"e\\u{301}\""},                        // combining acute
      {"\xC3\xA9\xE2\x80\x94", "\"\xC3\xA9\xE2\x80\x94\""},  // é and em dash as is
      {"\xE2\x80\x8B", "\"\\u{200b}\""},                     // zero width space (format)
  };
  for (const Case& c : cases) EXPECT_EQ(text::quoted(c.in), c.out);
}

// A long piece of input is cut where its shown form, escapes included, reaches 256 characters;
// every reader's message says how much was left out.
TEST(Quoted, LongPiecesInEveryMessage) {
  const std::string digits(1000, '1'), shown(256, '1');
  const std::string cut = "\"" + shown + "\xE2\x80\xA6\" and 744 more characters";
  std::string controls;
  for (int i = 0; i < 51; ++i) controls += "\\u{1}";
  const std::pair<std::string, std::string> cases[] = {
      {read_context(digits + "\n", "t.dat").error().display(),
       "parse error in fimi: line 1: expected non-negative integer, got " + cut},
      {read_context("B\n\n" + digits + "\n", "t.cxt").error().display(),
       "parse error in cxt: expected object count as a non-negative integer, got " + cut},
      {read_context(std::string(300, '\x01'), "t.cxt").error().display(),
       "parse error in cxt: expected format header \"B\", got \"" + controls +
           "\xE2\x80\xA6\" and 249 more characters"},
      {read_context("<C><Attribute Name=\"a\"/><Object><Name>" + digits +
                        "</Name><HasAttribute Id=\"1\"/></Object></C>",
                    "t.xml")
           .error()
           .display(),
       "invalid fca-xml data: object " + cut +
           " references attribute id 1, only 1 attributes "
           "declared"},
      {read_context("{\"quorlan_version\": \"" + digits + "\", \"context\": [\"" + digits + "\"]}",
                    "t.json")
           .error()
           .display(),
       "JSON error: invalid type: string " + cut + ", expected a sequence of strings"},
      {read_context("{\"quorlan_version\": \"" + digits + "\u0001", "t.json").error().display(),
       "JSON error: parse error at line 1, column 1022: syntax error while parsing value - "
       "invalid string: control character U+0001 (SOH) must be escaped to \\u0001; last read: "
       "'\"" +
           shown.substr(1) + "\xE2\x80\xA6' and 753 more characters"},
  };
  for (const auto& [got, expected] : cases) {
    EXPECT_EQ(got, expected);
    EXPECT_LE(text::count_scalars(got), 1000u);
  }
  EXPECT_EQ(text::quoted(shown), "\"" + shown + "\"");  // a piece that fits is shown whole
  EXPECT_EQ(text::clipped(digits.substr(0, 257), "`", "`"),
            "`" + shown + "\xE2\x80\xA6` and 1 more characters");
}

TEST(Text, TrimUnicodeWhiteSpace) {
  EXPECT_EQ(text::trim(" \t\xC2\xA0x y\xE2\x80\xA8\r"), "x y");
  EXPECT_EQ(text::trim("\xE2\x80\x8Bx"), "\xE2\x80\x8Bx");  // U+200B is not White_Space
  EXPECT_EQ(text::trim("   "), "");
  EXPECT_EQ(text::count_scalars("\xC3\xA9x"), 2u);
}

struct ReaderCase {
  const char* input;
  const char* expected;  // display text, or "ok"
};

TEST(Cxt, Messages) {
  const ReaderCase cases[] = {
      {"", "parse error in cxt: input is empty"},
      {"  \n\n \t\n", "parse error in cxt: input is empty"},
      {"BX\n", "parse error in cxt: expected format header \"B\", got \"BX\""},
      {"B\n", "parse error in cxt: expected object count, reached end of input"},
      {"B\n2\n", "parse error in cxt: expected attribute count, reached end of input"},
      {"B\nTitle\n1\n1\n",
       "parse error in cxt: expected object count as a non-negative integer, got \"Title\""},
      {"B\n-1\n",
       "parse error in cxt: expected object count as a non-negative integer, got \"-1\""},
      {"B\n3.0\n",
       "parse error in cxt: expected object count as a non-negative integer, got \"3.0\""},
      {"B\n3 4\n",
       "parse error in cxt: expected object count as a non-negative integer, got \"3 4\""},
      {"B\n+\n", "parse error in cxt: expected object count as a non-negative integer, got \"+\""},
      {"B\n18446744073709551616\n",
       "parse error in cxt: expected object count as a non-negative integer, got "
       "\"18446744073709551616\""},
      {"B\n2\n1\no1\n", "invalid cxt data: expected 2 object names, got 1"},
      {"B\n1\n2\no\na\n", "invalid cxt data: expected 2 attribute names, got 1"},
      {"B\n2\n1\no1\no2\na\nX\n", "invalid cxt data: expected 2 incidence rows, got 1"},
      {"B\n1\n3\no\na\nb\nc\nX.\n", "invalid cxt data: row 0 has length 2, expected 3"},
      {"B\n1\n1\no\na\nX\n# comment\n",
       "invalid cxt data: unexpected content after the last incidence row: \"# comment\""},
      {"B\n18446744073709551615\n0\n",
       "invalid cxt data: expected 18446744073709551615 object names, got 0"},
      {"b\n+1\n003\no\na\nb\nc\nXxX\n", "ok"},
      {"B\n1\n3\no\na\nb\nc\nX.X.extra\n", "ok"},
      {"B\n1\n0\no\n.\n", "ok"},
      {"B\n0\n2\na\nb\n", "ok"},
  };
  for (const ReaderCase& c : cases) EXPECT_EQ(display_of(c.input, "t.cxt"), c.expected) << c.input;
}

TEST(Cxt, LayoutVariantsGiveTheSameContext) {
  const char* variants[] = {
      "B\n\n2\n2\no1\no2\na\nb\nX.\n.X\n",
      "B\r\n\r\n2\r\n2\r\no1\r\no2\r\na\r\nb\r\nX.\r\n.X",
      "\n\nB\n\n\n2\n2\n\no1\no2\n\na\nb\n\nX.\n\n.X\n\n",
      "  B\n  2\n\t2\n  o1\n  o2\n  a\n  b\n  X.\n  .X  \n",
  };
  for (const char* v : variants) {
    ContextResult r = read_context(v, "t.cxt");
    ASSERT_TRUE(r.has_value()) << v;
    const Context& c = r.value();
    EXPECT_EQ(c.objects().to_vector(), (std::vector<std::string>{"o1", "o2"}));
    EXPECT_EQ(c.attributes().to_vector(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(c.row(0).ones(), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(c.row(1).ones(), (std::vector<std::uint32_t>{1}));
  }
  // Marks are characters, not bytes; inner spaces of names stay.
  ContextResult r = read_context("B\n1\n2\nbig  cat\nx\ny\n\xC3\xA9X\n", "t.cxt");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r.value().objects()[0], "big  cat");
  EXPECT_EQ(r.value().row(0).ones(), (std::vector<std::uint32_t>{1}));
}

TEST(Fimi, Messages) {
  const ReaderCase cases[] = {
      {"", "invalid fimi data: input contains no transactions"},
      {"# only\n\n  # comment\n", "invalid fimi data: input contains no transactions"},
      {"1 2\n\n# c\n3 x\n",
       "parse error in fimi: line 4: expected non-negative integer, got \"x\""},
      {"4294967296\n",
       "parse error in fimi: line 1: expected non-negative integer, got \"4294967296\""},
      {"-1\n", "parse error in fimi: line 1: expected non-negative integer, got \"-1\""},
      {"1.5\n", "parse error in fimi: line 1: expected non-negative integer, got \"1.5\""},
      {"1 3#\n", "parse error in fimi: line 1: expected non-negative integer, got \"3#\""},
      {"+\n", "parse error in fimi: line 1: expected non-negative integer, got \"+\""},
      {"4294967295\n",
       "invalid fimi data: item identifier 4294967295 would make 4294967296 attributes for 1 "
       "incidences, beyond the limit of 2097152 attributes (one per incidence where that is "
       "more)"},
      {"2097152\n",
       "invalid fimi data: item identifier 2097152 would make 2097153 attributes for 1 "
       "incidences, beyond the limit of 2097152 attributes (one per incidence where that is "
       "more)"},
      {"+7 007\t 1\r\n", "ok"},
  };
  for (const ReaderCase& c : cases) EXPECT_EQ(display_of(c.input, "t.dat"), c.expected) << c.input;
}

TEST(Fimi, ContextShapeAndBudget) {
  ContextResult r = read_context("1 3\n# comment\n\n0 3 3\n", "t.dat");
  ASSERT_TRUE(r.has_value());
  const Context& c = r.value();
  EXPECT_EQ(c.objects().to_vector(), (std::vector<std::string>{"g0", "g1"}));
  EXPECT_EQ(c.attributes().to_vector(), (std::vector<std::string>{"m0", "m1", "m2", "m3"}));
  EXPECT_EQ(c.row(0).ones(), (std::vector<std::uint32_t>{1, 3}));
  EXPECT_EQ(c.row(1).ones(), (std::vector<std::uint32_t>{0, 3}));
  EXPECT_EQ(read_context("5\n2 5\n", "t.dat").value().n_attributes(), 6u);
  // 2^21 attributes are always allowed; beyond, as many as the file has incidences.
  EXPECT_EQ(read_context("2097151\n", "t.dat").value().n_attributes(), 2097152u);
  std::string many;
  for (int i = 0; i < 600; ++i) many += "1\n";
  many += "16000000\n";
  ContextResult big = read_context(many, "t.dat");
  ASSERT_FALSE(big.has_value());
  EXPECT_NE(big.error().display().find("item identifier 16000000 would make 16000001 attributes "
                                       "for 601 incidences, beyond the limit of 2097152"),
            std::string::npos);
  std::string dense;
  for (int i = 0; i < 25000; ++i) {
    for (int j = 0; j < 100; ++j) dense += std::to_string(j) + " ";
    dense += "\n";
  }
  ContextResult wide = read_context(dense + "2499999\n", "t.dat");
  ASSERT_TRUE(wide.has_value()) << wide.error().display();
  EXPECT_EQ(wide.value().n_attributes(), 2500000u);
  EXPECT_EQ(wide.value().objects()[25000], "g25000");
  EXPECT_EQ(wide.value().attributes()[2499999], "m2499999");
  EXPECT_FALSE(read_context(dense + "2500001\n", "t.dat").has_value());
}

TEST(Csv, Messages) {
  const ReaderCase cases[] = {
      {"", "invalid csv data: empty header row"},
      {"\n\n\r\n", "invalid csv data: empty header row"},
      {"name\n", "invalid csv data: header row has no attribute columns"},
      {"   \nname,a,b\no,1,0\n", "invalid csv data: header row has no attribute columns"},
      {"name,a,b\n", "invalid csv data: CSV has a header but no body rows"},
      {"name,a,b\no1,1,0\no2,1,0,1\n", "CSV error: record 3 has 4 fields, but the header has 3"},
      {"name,a,b\n\n\no1,1\n", "CSV error: record 2 has 2 fields, but the header has 3"},
      {"name,a,b\no1,\"1\"x,0\n",
       "CSV error: record 2: error parsing data while strict checking enabled"},
      {"name,a,b\no1,\"1,0\n",
       "CSV error: record 2: error parsing data while strict checking enabled"},
      {",a,b\n,1,0\n", "ok"},
  };
  for (const ReaderCase& c : cases) EXPECT_EQ(display_of(c.input, "t.csv"), c.expected) << c.input;
}

TEST(Csv, TablesSeparatorsAndCells) {
  ContextResult r = read_context("name,a,b\no1,1,0\no2,x,yes\n", "t.csv");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r.value().objects().to_vector(), (std::vector<std::string>{"o1", "o2"}));
  EXPECT_EQ(r.value().attributes().to_vector(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(r.value().row(1).ones(), (std::vector<std::uint32_t>{0, 1}));

  ContextResult tabs = read_context("obj\ta,b\tc\r\nq\t X \t\"TRUe\"\n", "t.tsv");
  ASSERT_TRUE(tabs.has_value()) << tabs.error().display();
  EXPECT_EQ(tabs.value().attributes().to_vector(), (std::vector<std::string>{"a,b", "c"}));
  EXPECT_EQ(tabs.value().row(0).ones(), (std::vector<std::uint32_t>{0}));

  ContextResult commas = read_context("a,b,c\td\nx,1,1\n", "t.csv");
  ASSERT_TRUE(commas.has_value());
  EXPECT_EQ(commas.value().attributes().to_vector(), (std::vector<std::string>{"b", "c\td"}));

  ContextResult spaced = read_context(" name , a , b\n\"Smith, J\", X ,\"1\"\r\n", "t.csv");
  ASSERT_TRUE(spaced.has_value()) << spaced.error().display();
  EXPECT_EQ(spaced.value().attributes().to_vector(), (std::vector<std::string>{" a ", " b"}));
  EXPECT_EQ(spaced.value().objects().to_vector(), (std::vector<std::string>{"Smith, J"}));
  EXPECT_EQ(spaced.value().row(0).ones(), (std::vector<std::uint32_t>{0, 1}));

  const char* truthy[] = {"1",   "x",   "X",    "y",    "Y",    "yes",
                          "Yes", "YES", "true", "True", "TRUE", " X "};
  const char* falsy[] = {"yES", "tRUE", "TRUe", "0", "no", "false", "t", "1.0", "-", ""};
  for (const char* t : truthy) {
    EXPECT_EQ(read_context(std::string("n,a\no,") + t + "\n", "t.csv").value().row(0).count(), 1u)
        << t;
  }
  for (const char* f : falsy) {
    EXPECT_EQ(read_context(std::string("n,a\no,") + f + "\n", "t.csv").value().row(0).count(), 0u)
        << f;
  }
}

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

const char* kJsonExample =
    "{\"quorlan_version\": \"0.2.0\", \"context\": {\"objects\": [\"o1\", \"o2\"], "
    "\"attributes\": [\"a\", \"b\"], \"incidence\": [[true, false], [false, true]]}}";

TEST(Json, EquivalentDocuments) {
  const std::string docs[] = {
      kJsonExample,
      "{\"context\": {\"incidence\": [[true, false], [false, true]], \"attributes\": [\"a\", "
      "\"b\"],"
      " \"objects\": [\"o1\", \"o2\"], \"comment\": {\"deep\": [[[1]]]}}, \"quorlan_version\": "
      "\"x\","
      " \"extra\": null}",
      "[\"0.2.0\", [[\"o1\", \"o2\"], [\"a\", \"b\"], [[true, false], [false, true]]]]",
      "\n\t{ \"quorlan_version\" : \"\" ,\r\n \"context\" : [ [\"o1\",\"o2\"] , [\"a\",\"b\"] , "
      "[[true,false],[false,true]] ] }  \n",
  };
  for (const std::string& d : docs) {
    ContextResult r = read_context(d, "t.json");
    ASSERT_TRUE(r.has_value()) << d << "\n" << r.error().display();
    EXPECT_EQ(r.value().objects().to_vector(), (std::vector<std::string>{"o1", "o2"}));
    EXPECT_EQ(r.value().attributes().to_vector(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r.value().row(0).ones(), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(r.value().row(1).ones(), (std::vector<std::uint32_t>{1}));
  }
  ContextResult empty = read_context(
      "{\"quorlan_version\":\"1\",\"context\":{\"objects\":[],\"attributes\":[\"a\"],"
      "\"incidence\":[]}}",
      "t.json");
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty.value().n_objects(), 0u);
}

TEST(Json, Messages) {
  const std::pair<std::string, std::string> cases[] = {
      {"{\"context\": {\"objects\": [], \"attributes\": [], \"incidence\": []}}",
       "JSON error: missing field `quorlan_version`"},
      {"{\"quorlan_version\": 2, \"context\": {}}",
       "JSON error: invalid type: integer `2`, expected a string"},
      {"{\"quorlan_version\": \"1\"}", "JSON error: missing field `context`"},
      {"{\"quorlan_version\": \"1\", \"quorlan_version\": \"2\"}",
       "JSON error: duplicate field `quorlan_version`"},
      {"{\"quorlan_version\": \"1\", \"context\": {\"objects\": [\"o\"], \"attributes\": [\"a\"], "
       "\"incidence\": [[1]]}}",
       "JSON error: invalid type: integer `1`, expected a boolean in incidence row 0"},
      {"{\"quorlan_version\": \"1\", \"context\": {\"objects\": [], \"attributes\": []}}",
       "JSON error: missing field `incidence`"},
      {"[\"1\"]", "JSON error: invalid length 1, expected 2 elements"},
      {"[\"1\", [[], [], []], 3]", "JSON error: invalid length 3, expected 2 elements"},
      {"[1, 2]", "JSON error: invalid type: integer `1`, expected a string"},
      {"\"x\"", "JSON error: invalid type: string \"x\", expected struct Document"},
      {std::string(kJsonExample) + " {}",
       "JSON error: parse error at line 1, column 139: syntax error while parsing value - "
       "unexpected '{'; expected end of input"},
      {"\xEF\xBB\xBF" + std::string(kJsonExample),
       "JSON error: parse error at byte 1: a byte-order mark is not allowed before the value"},
      {"{\"quorlan_version\": \"\xff\"}",
       "JSON error: parse error at line 1, column 22: syntax error while parsing value - invalid "
       "string: ill-formed UTF-8 byte; last read: '\"<FF>'"},  // message stays valid UTF-8
      {"{\"quorlan_version\": \"1\", \"context\": {\"objects\": [\"o\"], \"attributes\": [\"a\", "
       "\"b\"], "
       "\"incidence\": [[true, false, true]]}}",
       "context construction failed: incidence row 0 has 3 attributes, expected 2"},
      {"{\"quorlan_version\": \"1\", \"context\": {\"objects\": [\"o\", \"p\"], \"attributes\": "
       "[], "
       "\"incidence\": [[]]}}",
       "invalid json data: the incidence has 1 rows but there are 2 objects"},
  };
  for (const auto& [doc, expected] : cases) {
    EXPECT_EQ(display_of(doc, "t.json"), expected) << doc;
  }
}

// A NUL byte is never JSON; any number the grammar allows is skipped under an unknown key.
TEST(Json, NulBytesAndNumbersOfAnyMagnitude) {
  const std::string doc = kJsonExample;
  const std::string nul(1, '\0');
  const std::pair<std::string, std::string> cases[] = {
      {doc + nul + "garbage",
       "JSON error: parse error at byte 138: a NUL byte is not allowed in "
       "JSON text"},
      {doc + "  " + nul,
       "JSON error: parse error at byte 140: a NUL byte is not allowed in JSON "
       "text"},
      {nul, "JSON error: parse error at byte 1: a NUL byte is not allowed in JSON text"},
      {"{\"quorlan_version\": \"a" + nul + "b\"}",
       "JSON error: parse error at byte 23: a NUL byte is not allowed in JSON text"},
      // An error before the NUL byte comes first.
      {"{\"quorlan_version\": @" + nul,
       "JSON error: parse error at line 1, column 21: syntax error while parsing value - invalid "
       "literal; last read: '\"quorlan_version\": @'"},
      {"{\"quorlan_version\": \"1\"}" + nul, "JSON error: missing field `context`"},
      {"{\"x\": 1e400, \"y\": -1e99999999999, \"z\": 123456789012345678901234567890, " +
           doc.substr(1),
       "ok"},
      {"{\"quorlan_version\": 1e400, \"context\": {}}",
       "JSON error: invalid type: floating point `1e400`, expected a string"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(display_of(input, "t.json"), expected) << input;
  }
}

TEST(Json, DeepNestingUnderUnknownKeyIsSkipped) {
  std::string doc = "{\"junk\": ";
  doc += std::string(100000, '[');
  doc += std::string(100000, ']');
  doc += ", \"quorlan_version\": \"1\", \"context\": [[\"o\"], [\"a\"], [[true]]]}";
  EXPECT_EQ(display_of(doc, "t.json"), "ok");
}

}  // namespace
}  // namespace quorlan
