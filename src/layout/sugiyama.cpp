#include "layout/sugiyama.h"

#include <algorithm>

#include "core/grouping.h"
#include "core/interrupt.h"
#include "core/panic.h"
#include "diagnostics/events.h"
#include "order/covers.h"

namespace quorlan {
namespace {

constexpr const char* kLayoutFields[] = {"message", "nodes", "edges", "layers", "crossing_iters"};

void check_covers(const Lattice& lattice, const std::vector<CoverPair>& covers) {
  for_each_polled(covers, [&](const CoverPair& p) {
    if (p.first >= lattice.size() || p.second >= lattice.size()) {
      panic("cover pair names a concept outside the lattice");
    }
  });
}

// The concepts, those with larger extents first (a counting sort by extent size where the
// sizes are few, a sort of packed keys otherwise).
std::vector<std::uint32_t> by_extent_size_descending(const Lattice& lattice) {
  const std::size_t n = lattice.size();
  const std::size_t sizes = lattice.n_objects() + 1;
  const auto rank = [&](std::size_t c) { return sizes - 1 - lattice.extents().count(c); };
  if (sizes <= 4 * n) {
    return group_by_key<std::uint32_t>(sizes,
                                       [&](auto&& put) {
                                         for_polled(0, n, [&](std::size_t c) {
                                           put(rank(c), static_cast<std::uint32_t>(c));
                                         });
                                       })
        .items;
  }
  std::vector<std::uint64_t> keys;
  resize_polled(keys, n);
  for_polled(0, n, [&](std::size_t c) { keys[c] = (std::uint64_t{rank(c)} << 32) | c; });
  check_interrupt();
  std::sort(keys.begin(), keys.end());
  check_interrupt();
  std::vector<std::uint32_t> out;
  resize_polled(out, n);
  for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<std::uint32_t>(keys[k]);
  return out;
}

// The concepts renumbered layer after layer, each layer in its order when the sweeps begin: the
// data of one layer then lies together in memory, where a sweep reads it.
struct Renumbering {
  std::vector<std::size_t> layer_start;  // layer k holds the numbers [start[k], start[k + 1])
  std::vector<std::uint32_t> number;     // per concept

  explicit Renumbering(const Layering& layering) {
    const std::size_t layers = layering.layer_size.size();
    layer_start.assign(layers + 1, 0);
    for (std::size_t k = 0; k < layers; ++k) {
      layer_start[k + 1] = layer_start[k] + layering.layer_size[k];
    }
    resize_polled(number, layering.layer_of.size());
    for_polled(0, number.size(), [&](std::size_t c) {
      number[c] =
          static_cast<std::uint32_t>(layer_start[layering.layer_of[c]] + layering.position[c]);
    });
  }
};

// Per concept (by its new number), its covers in the layer directly above (or below), in
// cover-list order: the only neighbours a sweep reads.
using NearLists = Grouped<std::uint32_t>;

NearLists near_lists(const std::vector<CoverPair>& covers, const Layering& layering,
                     const Renumbering& renumbering, bool above) {
  const std::vector<std::uint32_t>& layer_of = layering.layer_of;
  const std::vector<std::uint32_t>& number = renumbering.number;
  return group_by_key<std::uint32_t>(layer_of.size(), [&](auto&& put) {
    for_each_polled(covers, [&](const CoverPair& p) {
      if (layer_of[p.second] + 1 != layer_of[p.first]) return;  // not adjacent layers
      put(number[above ? p.first : p.second], number[above ? p.second : p.first]);
    });
  });
}

// Twice the median of `count` (at least two) positions, which it reorders.
std::uint64_t doubled_median(std::uint32_t* p, std::size_t count) {
  if (count <= 8) {
    std::sort(p, p + count);
  } else {
    std::nth_element(p, p + count / 2, p + count);
    if (count % 2 == 0) std::nth_element(p, p + count / 2 - 1, p + count / 2);
  }
  if (count % 2 == 1) return 2 * std::uint64_t{p[count / 2]};
  return std::uint64_t{p[count / 2 - 1]} + p[count / 2];
}

// The median sweeps over the layers of a Layering, on the concepts renumbered. Keys are kept
// doubled, so that every key (a position, or the mean of two) is a whole number below twice the
// larger of the two layers, and a stable counting sort orders a layer.
class Sweeps {
 public:
  Sweeps(Layering& layering, const std::vector<CoverPair>& covers)
      : layering_(layering),
        renumbering_(layering),
        above_(near_lists(covers, layering, renumbering_, /*above=*/true)),
        below_(near_lists(covers, layering, renumbering_, /*above=*/false)) {
    const std::size_t n = layering.layer_of.size();
    resize_polled(order_, n);
    resize_polled(position_, n);
    const std::vector<std::size_t>& start = renumbering_.layer_start;
    for (std::size_t k = 0; k + 1 < start.size(); ++k) {
      for (std::size_t c = start[k]; c < start[k + 1]; ++c) {
        order_[c] = static_cast<std::uint32_t>(c);
        position_[c] = static_cast<std::uint32_t>(c - start[k]);
      }
    }
    const std::size_t widest =
        *std::max_element(layering.layer_size.begin(), layering.layer_size.end());
    keys_.resize(widest);
    sorted_keys_.resize(32);
    sorted_.resize(widest);
    counts_.resize(2 * widest + 1);
  }

  void run(std::uint64_t iterations) {
    std::vector<std::uint32_t> before;
    std::uint64_t t = 0;
    while (t < iterations) {
      if (t + 1 == iterations) {  // a lone downward sweep ends an odd count
        downward();
        break;
      }
      before = order_;
      downward();
      upward();
      t += 2;
      if (order_ == before) {
        // The pair maps this order to itself, and so does every pair after it.
        if ((iterations - t) % 2 == 1) downward();
        break;
      }
    }
    for_polled(0, layering_.position.size(),
               [&](std::size_t c) { layering_.position[c] = position_[renumbering_.number[c]]; });
  }

 private:
  void downward() {
    for (std::size_t k = 1; k < layering_.layer_size.size(); ++k) reorder(k, above_);
    ++layering_.sweeps_run;
  }
  void upward() {
    for (std::size_t k = layering_.layer_size.size() - 1; k-- > 0;) reorder(k, below_);
    ++layering_.sweeps_run;
  }

  // Layer k reordered by the median position of each concept's neighbours in the adjacent layer
  // that `near` lists.
  // The keys are computed by number, so that the neighbour lists are read in the order they are
  // stored; the sort then takes the layer in its current order, which keeps it stable.
  void reorder(std::size_t k, const NearLists& near) {
    const std::size_t first = renumbering_.layer_start[k];
    std::uint32_t* layer = order_.data() + first;
    const std::size_t len = layering_.layer_size[k];
    std::uint64_t range = 0;
    for_polled(first, first + len, [&](std::size_t v) {
      const std::uint64_t key = doubled_key(static_cast<std::uint32_t>(v), near);
      keys_[v - first] = key;
      range = std::max(range, key);
    });
    if (len <= 32) {
      insertion_sort(layer, first, len);
    } else {
      counting_sort(layer, first, len, range);
    }
  }

  // Twice the median of the neighbours' positions, or twice the concept's own position when it
  // has no neighbour in the adjacent layer.
  std::uint64_t doubled_key(std::uint32_t v, const NearLists& near) {
    const std::size_t c = near.size(v);
    const std::uint32_t* nb = near.begin(v);
    if (c == 0) return 2 * std::uint64_t{position_[v]};
    const std::uint64_t a = position_[nb[0]];
    if (c == 1) return 2 * a;
    const std::uint64_t b = position_[nb[1]];
    if (c == 2) return a + b;  // the mean of two, doubled
    if (c == 3) {              // twice the middle one
      const std::uint64_t d = position_[nb[2]];
      return 2 * std::max(std::min(a, b), std::min(std::max(a, b), d));
    }
    if (scratch_.size() < c) scratch_.resize(c);
    for (std::size_t j = 0; j < c; ++j) scratch_[j] = position_[nb[j]];
    return doubled_median(scratch_.data(), c);
  }

  void insertion_sort(std::uint32_t* layer, std::size_t first, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i) {
      const std::uint32_t v = layer[i];
      const std::uint64_t key = keys_[v - first];
      std::size_t j = i;
      for (; j > 0 && sorted_keys_[j - 1] > key; --j) {
        sorted_keys_[j] = sorted_keys_[j - 1];
        sorted_[j] = sorted_[j - 1];
      }
      sorted_keys_[j] = key;
      sorted_[j] = v;
    }
    store(layer, len);
  }

  void counting_sort(std::uint32_t* layer, std::size_t first, std::size_t len,
                     std::uint64_t range) {
    std::fill_n(counts_.begin(), range + 2, 0);
    for (std::size_t i = 0; i < len; ++i) ++counts_[keys_[i] + 1];
    for (std::uint64_t r = 0; r <= range; ++r) counts_[r + 1] += counts_[r];
    for (std::size_t i = 0; i < len; ++i) {
      const std::uint32_t v = layer[i];
      sorted_[counts_[keys_[v - first]]++] = v;
    }
    store(layer, len);
  }

  void store(std::uint32_t* layer, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i) {
      layer[i] = sorted_[i];
      position_[sorted_[i]] = static_cast<std::uint32_t>(i);
    }
  }

  Layering& layering_;
  const Renumbering renumbering_;
  const NearLists above_, below_;
  std::vector<std::uint32_t> order_;        // the concepts' numbers, layer after layer, in order
  std::vector<std::uint32_t> position_;     // per number: the place in its layer
  std::vector<std::uint64_t> keys_;         // per number of the layer being reordered
  std::vector<std::uint64_t> sorted_keys_;  // the insertion sort's keys, in its order
  std::vector<std::uint32_t> sorted_, scratch_;
  std::vector<std::size_t> counts_;
};

}  // namespace

Layering longest_path_layering(const Lattice& lattice, const std::vector<CoverPair>& covers) {
  Layering out;
  const std::size_t n = lattice.size();
  if (n == 0) return out;
  check_covers(lattice, covers);
  // The covers are sorted by lower concept: the upper covers of c are one run of the list.
  std::vector<std::size_t> run_start;
  resize_polled(run_start, n + 1);
  for (const CoverPair& p : covers) ++run_start[p.first + 1];
  for (std::size_t c = 0; c < n; ++c) run_start[c + 1] += run_start[c];
  // Every upper cover has a larger extent: taking the concepts by extent size, largest first,
  // reads only final layers.
  resize_polled(out.layer_of, n);
  std::uint32_t deepest = 0;
  for_each_polled(by_extent_size_descending(lattice), [&](std::uint32_t c) {
    std::uint32_t layer = 0;
    for (std::size_t p = run_start[c]; p < run_start[c + 1]; ++p) {
      layer = std::max(layer, out.layer_of[covers[p].second] + 1);
    }
    out.layer_of[c] = layer;
    deepest = std::max(deepest, layer);
  });
  out.layer_size.assign(std::size_t{deepest} + 1, 0);
  resize_polled(out.position, n);
  for_polled(0, n, [&](std::size_t c) { out.position[c] = out.layer_size[out.layer_of[c]]++; });
  return out;
}

void reduce_crossings(Layering& layering, const Lattice& lattice,
                      const std::vector<CoverPair>& covers, std::uint64_t iterations) {
  if (layering.layer_size.size() < 2 || iterations == 0) return;
  // The layering was made from this lattice's covers, which its making checked.
  if (layering.layer_of.size() != lattice.size()) panic("the layering belongs to another lattice");
  Sweeps(layering, covers).run(iterations);
}

Layering layered_order(const Lattice& lattice, const std::vector<CoverPair>& covers,
                       const LayoutConfig& config) {
  Layering layering = longest_path_layering(lattice, covers);
  reduce_crossings(layering, lattice, covers, config.crossing_iters);
  return layering;
}

void measure_spans(LatticeLayout& layout) {
  if (layout.nodes.empty()) return;
  const auto [min_x, max_x] =
      std::minmax_element(layout.nodes.begin(), layout.nodes.end(),
                          [](const LayoutNode& a, const LayoutNode& b) { return a.x < b.x; });
  const auto [min_y, max_y] =
      std::minmax_element(layout.nodes.begin(), layout.nodes.end(),
                          [](const LayoutNode& a, const LayoutNode& b) { return a.y < b.y; });
  layout.width = std::max(max_x->x - min_x->x, 0.0);
  layout.height = std::max(max_y->y - min_y->y, 0.0);
}

LatticeLayout sugiyama_layout(const Lattice& lattice, const std::vector<CoverPair>& covers,
                              const Layering& layering, const LayoutConfig& config) {
  LatticeLayout out;
  const std::size_t n = lattice.size();
  if (n == 0) return out;
  if (layering.layer_of.size() != n) panic("the layering belongs to another lattice");
  std::vector<double> shift(layering.layer_size.size());
  for (std::size_t k = 0; k < shift.size(); ++k) {
    const std::uint32_t m = layering.layer_size[k];
    shift[k] = static_cast<double>(m > 0 ? m - 1 : 0) * (-config.node_spacing) * 0.5;
  }
  resize_polled(out.nodes, n);
  for_polled(0, n, [&](std::size_t c) {
    const std::uint32_t k = layering.layer_of[c];
    out.nodes[c] = {static_cast<double>(layering.position[c]) * config.node_spacing + shift[k],
                    static_cast<double>(k) * config.layer_spacing, static_cast<std::uint32_t>(c)};
  });
  resize_polled(out.edges, covers.size());
  for_polled(0, covers.size(), [&](std::size_t e) {
    out.edges[e] = {covers[e].second, covers[e].first};
  });
  measure_spans(out);

  QUORLAN_COMPLETION_SITE(kDone, "quorlan_layout::sugiyama", kLayoutFields);
  diagnostics::completed(kDone, "sugiyama layout complete", n, covers.size(),
                         layering.layer_size.size(), config.crossing_iters);
  return out;
}

LatticeLayout sugiyama_layout(const Lattice& lattice, const LayoutConfig& config) {
  const std::vector<CoverPair> covers = compute_covers(lattice);
  return sugiyama_layout(lattice, covers, layered_order(lattice, covers, config), config);
}

}  // namespace quorlan
