#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/close_by_one.h"
#include "engine/events.h"

namespace quorlan {

Lattice InClose5::compute(const Context& context) const {
  Lattice out =
      close_by_one_search(context, CanonicityStrategy::kColumnTest, SiblingOrder::kAscending);
  QUORLAN_GENERATION_EVENT("quorlan_engine::in_close5", "in-close-5", out);
  return out;
}

}  // namespace quorlan
