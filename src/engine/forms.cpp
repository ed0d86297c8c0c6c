#include "engine/forms.h"

namespace quorlan {

bool prefers_sparse_search(const Context& context) {
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  if (m <= 256 || n == 0) return false;
  // Below 1 incidence in 20 cells, lists win over bit words.
  return context.incidences() * 20 < n * m;
}

bool prefers_transposed_search(const Context& context) {
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  return n > 0 && m >= 256 && m >= 4 * n;
}

}  // namespace quorlan
