// The Burmeister cxt reader: its messages, and the layouts that give the same context.
#include <gtest/gtest.h>

#include <string>

#include "formats/read.h"
#include "formats/reader_cases.h"

namespace quorlan {
namespace {

using testing::expect_displays;
using testing::ReaderCase;

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
  expect_displays(cases, "t.cxt");
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

}  // namespace
}  // namespace quorlan
