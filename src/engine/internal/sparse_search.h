// internal: include engine/enumerate.h or engine/canonical_base.h instead.
// The close-by-one search for sparse contexts (few attributes per object out of many). Extents
// and intents are sorted index lists; the candidates of a node are only the attributes that
// some object of its extent has, found by delivering each object's occurrences into per-
// attribute buckets (as in Uno et al.'s LCM), which also yields every candidate extent at once
// and, as the attributes counted for every object, the node's own intent from its y on. The
// canonicity test of this form, for every algorithm, is In-Close's, on the candidate extent
// before any closure; it reads each row from its first attribute outside the intent, found once
// per node and object, and a failure is remembered by its smallest refuting attribute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/concept.h"
#include "core/context.h"
#include "engine/internal/walk.h"

namespace quorlan::internal {

struct SparseContext {
  // With a support, the attributes of fewer objects are left out of the rows.
  explicit SparseContext(const Context& context, std::size_t min_support = 0);

  std::size_t n, m;
  std::vector<std::size_t> row_start;  // object g has items[row_start[g] .. row_start[g+1])
  std::vector<std::uint32_t> items;
};

EnumerationResult sparse_search(const SparseContext& sc, SiblingOrder order,
                                const EnumerationLimits& limits = {});

}  // namespace quorlan::internal
