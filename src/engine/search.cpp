#include "engine/search.h"

#include "engine/dense_search.h"
#include "engine/sparse_search.h"

namespace quorlan {

bool prefers_sparse_search(const Context& context) {
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  if (m <= 256 || n == 0) return false;
  // Below 1 incidence in 20 cells, lists win over bit words.
  return context.incidences() * 20 < n * m;
}

Lattice enumerate_concepts(const Context& context, CanonicityStrategy strategy,
                           SiblingOrder order) {
  if (prefers_sparse_search(context)) {
    return sparse_search(SparseContext(context), strategy, order);
  }
  return dense_search(DenseContext(context), strategy, order);
}

}  // namespace quorlan
