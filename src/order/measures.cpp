#include "order/measures.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/interrupt.h"
#include "order/lattice_order.h"

namespace quorlan {

std::vector<double> stability(const Lattice& lattice) {
  const std::size_t n = lattice.size();
  IndexList all(n);
  std::iota(all.begin(), all.end(), std::uint32_t{0});
  const ComparableSets sets(lattice, all);
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return lattice.extents().count(a) < lattice.extents().count(b);
  });
  std::vector<double> out(n, 0.0);
  InterruptTicker tick(64);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t c = order[k];
    const std::size_t size = lattice.extents().count(c);
    double rest = 1.0;
    for (std::size_t q = 0; q < k; ++q) {
      tick();
      const std::size_t d = order[q];
      const std::size_t d_size = lattice.extents().count(d);
      if (d_size == size) break;  // sorted: the rest are as large as c
      if (sets.below(d, c)) {
        rest -= std::ldexp(out[d], static_cast<int>(d_size) - static_cast<int>(size));
      }
    }
    out[c] = std::max(rest, 0.0);
  }
  return out;
}

std::vector<std::uint32_t> delta_stability(const Lattice& lattice, const Context& context) {
  std::vector<std::uint32_t> out(lattice.size());
  std::vector<std::uint32_t> count(context.n_attributes(), 0), touched;
  std::vector<Word> b(lattice.intents().words_per_set());
  InterruptTicker tick(16);
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    tick();
    lattice.intents().to_words(i, b.data());
    std::uint32_t largest = 0;
    touched.clear();
    lattice.extents().for_each(i, [&](std::uint32_t g) {
      context.rows().for_each(g, [&](std::uint32_t j) {
        if (test_bit(b.data(), j)) return;
        if (count[j]++ == 0) touched.push_back(j);
        largest = std::max(largest, count[j]);
      });
    });
    for (std::uint32_t j : touched) count[j] = 0;
    out[i] = static_cast<std::uint32_t>(lattice.extents().count(i)) - largest;
  }
  return out;
}

}  // namespace quorlan
