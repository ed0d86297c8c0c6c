// The CSV and TSV reader: its messages, separators and cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// A table read: its names and each object's attributes.
struct CsvCase {
  const char* text;
  const char* file;
  std::vector<std::string> objects, attributes;
  std::vector<std::vector<std::uint32_t>> rows;
};

TEST(Csv, TablesSeparatorsAndCells) {
  const CsvCase cases[] = {
      {"name,a,b\no1,1,0\no2,x,yes\n", "t.csv", {"o1", "o2"}, {"a", "b"}, {{0}, {0, 1}}},
      // Tabs separate in .tsv, commas are then part of a name; quotes and spaces around a mark.
      {"obj\ta,b\tc\r\nq\t X \t\"TRUe\"\n", "t.tsv", {"q"}, {"a,b", "c"}, {{0}}},
      {"a,b,c\td\nx,1,1\n", "t.csv", {"x"}, {"b", "c\td"}, {{0, 1}}},
      // Names keep their spaces; a quoted name holds the separator.
      {" name , a , b\n\"Smith, J\", X ,\"1\"\r\n", "t.csv", {"Smith, J"}, {" a ", " b"}, {{0, 1}}},
  };
  for (const CsvCase& c : cases) {
    ContextResult r = read_context(c.text, c.file);
    ASSERT_TRUE(r.has_value()) << c.text << ": " << r.error().display();
    EXPECT_EQ(r.value().objects().to_vector(), c.objects) << c.text;
    EXPECT_EQ(r.value().attributes().to_vector(), c.attributes) << c.text;
    ASSERT_EQ(r.value().n_objects(), c.rows.size()) << c.text;
    for (std::size_t g = 0; g < c.rows.size(); ++g) {
      EXPECT_EQ(r.value().row(g).ones(), c.rows[g]) << c.text << " row " << g;
    }
  }
}

TEST(Csv, Marks) {
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

// Every cell of up to four characters over the letters of the marks, their capitals and a
// space, read in one row, against the plain rule: a mark is one of eleven spellings, trimmed.
TEST(Csv, MarksAreThePlainSpellings) {
  const std::vector<std::string> marks = {"1",   "x",   "X",    "y",    "Y",   "yes",
                                          "Yes", "YES", "true", "True", "TRUE"};
  const std::string letters = "1xXyYeEsStTrRuU ";
  std::vector<std::string> cells = {""};
  for (std::size_t length = 1, from = 0; length <= 4; ++length) {
    const std::size_t to = cells.size();
    for (std::size_t i = from; i < to; ++i) {
      for (char c : letters) cells.push_back(cells[i] + c);
    }
    from = to;
  }
  std::string header = "name", row = "o";
  for (std::size_t j = 0; j < cells.size(); ++j) {
    header += ",a" + std::to_string(j);
    row += "," + cells[j];
  }
  ContextResult r = read_context(header + "\n" + row + "\n", "t.csv");
  ASSERT_TRUE(r.has_value()) << r.error().display();
  std::vector<std::uint32_t> expected;
  for (std::size_t j = 0; j < cells.size(); ++j) {
    const std::size_t first = cells[j].find_first_not_of(' ');
    const std::string t = first == std::string::npos
                              ? ""
                              : cells[j].substr(first, cells[j].find_last_not_of(' ') - first + 1);
    if (std::find(marks.begin(), marks.end(), t) != marks.end()) {
      expected.push_back(static_cast<std::uint32_t>(j));
    }
  }
  EXPECT_EQ(r.value().row(0).ones(), expected);
}

}  // namespace
}  // namespace quorlan
