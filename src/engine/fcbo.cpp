#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/close_by_one.h"
#include "engine/events.h"

namespace quorlan {

Lattice FCbO::compute(const Context& context) const {
  const DenseContext dc(context);
  Lattice out = close_by_one_search(dc, CanonicityStrategy::kFailureSets);
  QUORLAN_GENERATION_EVENT("quorlan_engine::fcbo", "fcbo", out);
  return out;
}

}  // namespace quorlan
