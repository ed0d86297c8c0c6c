#include "engine/forms.h"

#include "core/interrupt.h"

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

std::vector<bool> frequent_attributes(const Context& context, std::size_t min_support) {
  std::vector<bool> kept(context.n_attributes(), true);
  if (min_support == 0) return kept;
  std::vector<std::size_t> support(context.n_attributes(), 0);
  for_polled(0, context.rows().size(), [&](std::size_t g) {
    context.rows().for_each(g, [&](std::uint32_t j) { ++support[j]; });
  });
  for (std::size_t j = 0; j < kept.size(); ++j) kept[j] = support[j] >= min_support;
  return kept;
}

}  // namespace quorlan
