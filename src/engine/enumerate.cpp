#include "engine/enumerate.h"

#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"
#include "engine/internal/wide_search.h"

namespace quorlan {

Lattice enumerate_concepts(const Context& context, SiblingOrder order) {
  // The list-based search tries only the attributes that the extent's rows hold; the bit-word
  // search tries every attribute at every node, which wide contexts make worth avoiding.
  if (prefers_sparse_search(context)) return sparse_search(SparseContext(context), order);
  if (prefers_transposed_search(context)) return transposed_search(context, order);
  return dense_search(DenseContext(context), order);
}

}  // namespace quorlan
