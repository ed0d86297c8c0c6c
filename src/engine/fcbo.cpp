#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/close_by_one.h"
#include "engine/events.h"

namespace quorlan {

Lattice FCbO::compute(const Context& context) const {
  Lattice out =
      close_by_one_search(context, CanonicityStrategy::kFailureSets, SiblingOrder::kAscending);
  QUORLAN_GENERATION_EVENT("quorlan_engine::fcbo", "fcbo", out);
  return out;
}

}  // namespace quorlan
