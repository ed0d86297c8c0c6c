#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/close_by_one.h"
#include "engine/events.h"

namespace quorlan {

// The lectic order of intents is the pre-order of the tree of canonical extensions with siblings
// taken from the largest generating attribute down. Walking that tree, instead of searching each
// successor from the last attribute down, tries only the attributes after the generating one and
// keeps FCbO's pruning: the same intents in the same order, without the m candidate closures
// per step.
Lattice NextClosure::compute(const Context& context) const {
  Lattice out =
      close_by_one_search(context, CanonicityStrategy::kFailureSets, SiblingOrder::kDescending);
  QUORLAN_GENERATION_EVENT("quorlan_engine::next_closure", "next-closure", out);
  return out;
}

}  // namespace quorlan
