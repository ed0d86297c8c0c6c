#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/close_by_one.h"
#include "engine/events.h"
#include "engine/sparse_search.h"

namespace quorlan {

Lattice InClose5::compute(const Context& context) const {
  Lattice out =
      prefers_sparse_search(context)
          ? sparse_close_by_one_search(SparseContext(context), CanonicityStrategy::kColumnTest)
          : close_by_one_search(DenseContext(context), CanonicityStrategy::kColumnTest);
  QUORLAN_GENERATION_EVENT("quorlan_engine::in_close5", "in-close-5", out);
  return out;
}

}  // namespace quorlan
