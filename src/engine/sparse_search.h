// The close-by-one search for sparse contexts (few attributes per object out of many). Extents
// and intents are sorted index lists; the candidates of a node are only the attributes that
// some object of its extent has, found by delivering each object's occurrences into per-
// attribute buckets (as in Uno et al.'s LCM), which also yields every candidate extent at once
// and, as the attributes counted for every object, the node's own intent from its y on. The
// canonicity test reads each row from its first attribute outside the intent, found once per
// node and object.
// Output and order are those of the dense search: depth-first pre-order, siblings ascending or
// descending.
#pragma once

#include <cstdint>
#include <vector>

#include "core/concept.h"
#include "core/context.h"
#include "engine/close_by_one.h"

namespace quorlan {

struct SparseContext {
  explicit SparseContext(const Context& context);

  std::size_t n, m;
  std::vector<std::size_t> row_start;  // object g has items[row_start[g] .. row_start[g+1])
  std::vector<std::uint32_t> items;
};

// True when the context is sparse enough for the list-based search to beat bit words.
bool prefers_sparse_search(const Context& context);

Lattice sparse_close_by_one_search(const SparseContext& sc, CanonicityStrategy strategy,
                                   SiblingOrder order = SiblingOrder::kAscending);

}  // namespace quorlan
