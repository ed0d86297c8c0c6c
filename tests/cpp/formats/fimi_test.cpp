// The FIMI reader: its messages, and the shape and attribute budget of its contexts.
#include "formats/fimi.h"

#include <gtest/gtest.h>

#include <string>

#include "formats/read.h"
#include "formats/reader_cases.h"

namespace quorlan {
namespace {

using testing::expect_displays;
using testing::ReaderCase;

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
  expect_displays(cases, "t.dat");
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

}  // namespace
}  // namespace quorlan
