#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/close_by_one.h"
#include "engine/events.h"
#include "engine/sparse_search.h"

namespace quorlan {

Lattice FCbO::compute(const Context& context) const {
  Lattice out =
      prefers_sparse_search(context)
          ? sparse_close_by_one_search(SparseContext(context), CanonicityStrategy::kFailureSets)
          : close_by_one_search(DenseContext(context), CanonicityStrategy::kFailureSets);
  QUORLAN_GENERATION_EVENT("quorlan_engine::fcbo", "fcbo", out);
  return out;
}

}  // namespace quorlan
