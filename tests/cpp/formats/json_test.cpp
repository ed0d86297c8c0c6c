// The JSON reader: equivalent documents, messages, NUL bytes, numbers and deep nesting.
#include <gtest/gtest.h>

#include <string>

#include "formats/read.h"
#include "formats/reader_cases.h"

namespace quorlan {
namespace {

using testing::display_of;
using testing::ReaderCase;

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
