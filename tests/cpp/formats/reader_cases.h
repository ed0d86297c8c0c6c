// What the reader tests share: a case of input and the message it must give (or "ok"), and
// the display text of reading an input under a name.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/read.h"

namespace quorlan::testing {

struct ReaderCase {
  const char* input;
  const char* expected;  // display text, or "ok"
};

inline std::string display_of(std::string_view input, std::string_view name) {
  const ContextResult r = read_context(input, name);
  return r.has_value() ? "ok" : r.error().display();
}

// A reading's whole result as one text, to compare two readings: the error's display, or the
// attribute names, the object names and each row's attributes.
inline std::string outcome_of(const ContextResult& r) {
  if (!r.has_value()) return r.error().display();
  std::string out;
  for (const std::string& a : r.value().attributes().to_vector()) out += a + ",";
  out += "|";
  for (const std::string& o : r.value().objects().to_vector()) out += o + ",";
  for (std::size_t i = 0; i < r.value().rows().size(); ++i) {
    out += "|";
    for (std::uint32_t j : r.value().row(i).ones()) out += std::to_string(j) + " ";
  }
  return out;
}

// Every case, read under `name`, gives its text.
template <std::size_t N>
void expect_displays(const ReaderCase (&cases)[N], std::string_view name) {
  for (const ReaderCase& c : cases) EXPECT_EQ(display_of(c.input, name), c.expected) << c.input;
}

}  // namespace quorlan::testing
