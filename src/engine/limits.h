// What an enumeration may be asked to bound: only the concepts of at least `min_support`
// objects (an iceberg: extents only shrink down the tree, so every branch below the support is
// cut, and the order is the whole list's with the others left out), at most `max_concepts` of
// them before it stops, and whether they are kept or only counted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/concept.h"

namespace quorlan {

struct EnumerationLimits {
  std::size_t min_support = 0;
  std::uint64_t max_concepts = UINT64_MAX;
  bool count_only = false;

  bool bounded() const { return min_support > 0 || max_concepts != UINT64_MAX || count_only; }
};

struct EnumerationResult {
  Lattice lattice;      // empty when only counted
  std::uint64_t count;  // concepts found (max_concepts + 1 when it stopped)
  bool complete;        // false when max_concepts stopped it
};

}  // namespace quorlan
