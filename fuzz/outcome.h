// A reading's whole result as text, for comparing two readings of one input: the error's
// display, or the context's shape, every name and every row.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "formats/read.h"

namespace quorlan::fuzz {

inline std::string outcome(const ContextResult& r) {
  if (!r.has_value()) return r.error().display();
  const Context& c = r.value();
  std::string out = std::to_string(c.n_objects()) + "x" + std::to_string(c.n_attributes()) + ":";
  NameBuffer buffer;
  for (const NameList* names : {&c.objects(), &c.attributes()}) {
    for (std::size_t i = 0; i < names->size(); ++i) {
      out += names->view(i, buffer);
      out += '\n';
    }
  }
  for (std::size_t i = 0; i < c.rows().size(); ++i) {
    c.rows().for_each(i, [&](std::uint32_t j) { out += std::to_string(j) + ","; });
    out += ";";
  }
  return out;
}

}  // namespace quorlan::fuzz
