// The CSV and TSV reader: its messages, separators and cells.
#include <gtest/gtest.h>

#include <string>

#include "formats/read.h"
#include "formats/reader_cases.h"

namespace quorlan {
namespace {

using testing::expect_displays;
using testing::ReaderCase;

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
  expect_displays(cases, "t.csv");
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

}  // namespace
}  // namespace quorlan
