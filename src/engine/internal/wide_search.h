// internal: include engine/enumerate.h or engine/canonical_base.h instead.
// Contexts with far more attributes than objects (a few documents over many terms): the
// concepts are enumerated on the transposed context, whose extents are the intents here, so
// that no step scans every attribute; they are then put in the order the algorithm gives,
// lectic order of the intents or the depth-first pre-order of the tree of canonical
// extensions, without walking that tree.
#pragma once

#include "core/concept.h"
#include "core/context.h"
#include "engine/sibling_order.h"

namespace quorlan::internal {

// The concepts in the order of a walk with siblings in `order` (see enumerate_concepts).
Lattice transposed_search(const Context& context, SiblingOrder order);

}  // namespace quorlan::internal
