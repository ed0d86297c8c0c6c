#include "engine/enumerate.h"

#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"
#include "engine/internal/wide_search.h"

namespace quorlan {

Lattice enumerate_concepts(const Context& context, SiblingOrder order) {
  return enumerate_concepts(context, order, EnumerationLimits{}).lattice;
}

EnumerationResult enumerate_concepts(const Context& context, SiblingOrder order,
                                     const EnumerationLimits& limits) {
  // The list-based search tries only the attributes that the extent's rows hold; the bit-word
  // search tries every attribute at every node, which wide contexts make worth avoiding. The
  // transposed search finds every concept before it orders them, so bounds are kept on the
  // other two.
  const std::size_t support = limits.min_support;
  if (prefers_sparse_search(context)) {
    return internal::sparse_search(internal::SparseContext(context, support), order, limits);
  }
  if (!limits.bounded() && prefers_transposed_search(context)) {
    Lattice all = internal::transposed_search(context, order);
    const std::uint64_t count = all.size();
    return {std::move(all), count, true};
  }
  return internal::dense_search(internal::DenseContext(context, support), order, limits);
}

}  // namespace quorlan
