#include "engine/enumerate.h"

#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"
#include "engine/internal/wide_search.h"

namespace quorlan {

bool prefers_sparse_search(const Context& context) {
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  if (m <= 256 || n == 0) return false;
  // Below 1 incidence in 20 cells, lists win over bit words.
  return context.incidences() * 20 < n * m;
}

Lattice enumerate_concepts(const Context& context, CanonicityStrategy strategy,
                           SiblingOrder order) {
  // The list-based search tries only the attributes that the extent's rows hold; the bit-word
  // search tries every attribute at every node, which wide contexts make worth avoiding.
  if (prefers_sparse_search(context)) {
    return sparse_search(SparseContext(context), strategy, order);
  }
  if (prefers_transposed_search(context)) return transposed_search(context, order);
  return dense_search(DenseContext(context), order);
}

}  // namespace quorlan
