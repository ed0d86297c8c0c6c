// Seeded random contexts of many shapes for property tests.
#pragma once

#include <cstdint>

#include "core/context.h"

namespace quorlan::testing {

Context random_context(std::uint64_t seed, std::size_t n, std::size_t m, double density);
// A context from rows written as strings of 'X' and '.'.
Context context_from_rows(const std::vector<std::string>& rows, std::size_t m);
// The shape of the k-th case of a sweep: objects, attributes, density, plus duplicates.
Context sweep_context(std::uint64_t k, std::size_t max_attributes);

}  // namespace quorlan::testing
