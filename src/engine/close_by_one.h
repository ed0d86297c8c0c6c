// The depth-first close-by-one search shared by FCbO and In-Close5. It walks the tree of
// canonical extensions with an explicit stack (no native recursion, whatever the depth) and
// appends concepts in pre-order: each concept, then everything generated below it, siblings in
// ascending order of the attribute that generated them.
#pragma once

#include "core/concept.h"
#include "engine/dense_context.h"

namespace quorlan {

enum class CanonicityStrategy {
  // FCbO: compute each candidate's intent, compare below j, remember failed intents and let
  // them prune the same attribute in the whole subtree (Outrata & Vychodil).
  kFailureSets,
  // In-Close: test canonicity on the candidate extent against the columns of the attributes
  // below j before any closure, and compute the intent only of canonical children (Andrews).
  kColumnTest,
};

Lattice close_by_one_search(const DenseContext& dc, CanonicityStrategy strategy);

}  // namespace quorlan
