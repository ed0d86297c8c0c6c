#include "layout/sugiyama.h"

#include <algorithm>
#include <numeric>

#include "core/interrupt.h"
#include "core/panic.h"
#include "diagnostics/events.h"

namespace quorlan {
namespace {

constexpr const char* kLayoutFields[] = {"message", "nodes", "edges", "layers", "crossing_iters"};

// Neighbour lists in cover order, stored contiguously per concept.
struct Adjacency {
  std::vector<std::size_t> start;
  std::vector<std::uint32_t> items;
  Adjacency(std::size_t n, const std::vector<CoverPair>& covers, bool upward) {
    resize_polled(start, n + 1);
    InterruptTicker tick;
    for (const CoverPair& p : covers) {
      tick();
      ++start[(upward ? p.first : p.second) + 1];
    }
    std::partial_sum(start.begin(), start.end(), start.begin());
    resize_polled(items, covers.size());
    std::vector<std::size_t> fill;
    resize_polled(fill, n);
    for (std::size_t c = 0; c < n; ++c) {
      tick();
      fill[c] = start[c];
    }
    for (const CoverPair& p : covers) {
      tick();
      if (upward) {
        items[fill[p.first]++] = p.second;
      } else {
        items[fill[p.second]++] = p.first;
      }
    }
  }
  std::size_t size(std::uint32_t c) const { return start[c + 1] - start[c]; }
  const std::uint32_t* begin(std::uint32_t c) const { return items.data() + start[c]; }
};

// Reorders `layer` by the median position of each concept's neighbours in the fixed layer
// (`fixed_layer`); `position` holds every concept's position within its own layer.
void reorder_by_median(std::vector<std::uint32_t>& layer, std::size_t fixed_layer,
                       const Adjacency& neighbours, const std::vector<std::size_t>& layer_of,
                       std::vector<std::size_t>& position, std::vector<std::size_t>& scratch,
                       std::vector<std::pair<double, std::uint32_t>>& keyed,
                       InterruptTicker& tick) {
  keyed.clear();
  for (std::size_t i = 0; i < layer.size(); ++i) {
    tick();
    const std::uint32_t v = layer[i];
    scratch.clear();
    const std::uint32_t* nb = neighbours.begin(v);
    for (std::size_t k = 0; k < neighbours.size(v); ++k) {
      if (layer_of[nb[k]] == fixed_layer) scratch.push_back(position[nb[k]]);
    }
    double key;
    if (scratch.empty()) {
      key = static_cast<double>(i);
    } else if (scratch.size() == 1) {
      key = static_cast<double>(scratch[0]);
    } else {
      std::sort(scratch.begin(), scratch.end());
      const std::size_t c = scratch.size();
      key = c % 2 == 1 ? static_cast<double>(scratch[c / 2])
                       : static_cast<double>(scratch[c / 2 - 1] + scratch[c / 2]) * 0.5;
    }
    keyed.emplace_back(key, v);
  }
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    tick();
    return a.first < b.first;
  });
  for (std::size_t i = 0; i < layer.size(); ++i) {
    layer[i] = keyed[i].second;
    position[layer[i]] = i;
  }
}

// Layers: the layer of every concept is the length of its longest cover chain to the top. Every
// upper cover has a larger extent, so taking the concepts by extent size, largest first, reads
// only final layers.
std::vector<std::size_t> longest_path_layers(const Lattice& lattice, const Adjacency& upper) {
  const std::size_t n = lattice.size();
  std::vector<std::uint32_t> order;
  resize_polled(order, n);
  InterruptTicker tick;
  for (std::uint32_t c = 0; c < n; ++c) {
    tick();
    order[c] = c;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    tick();
    return lattice.extents().count(a) > lattice.extents().count(b);
  });
  std::vector<std::size_t> layer_of;
  resize_polled(layer_of, n);
  for (std::uint32_t c : order) {
    tick();
    const std::uint32_t* up = upper.begin(c);
    for (std::size_t k = 0; k < upper.size(c); ++k) {
      layer_of[c] = std::max(layer_of[c], layer_of[up[k]] + 1);
    }
  }
  return layer_of;
}

// Initial order: each layer lists its concepts in ascending index; `position` is each concept's
// place in its layer.
std::vector<std::vector<std::uint32_t>> initial_order(const std::vector<std::size_t>& layer_of,
                                                      std::vector<std::size_t>& position) {
  const std::size_t layers = 1 + *std::max_element(layer_of.begin(), layer_of.end());
  std::vector<std::vector<std::uint32_t>> out(layers);
  resize_polled(position, layer_of.size());
  InterruptTicker tick;
  for (std::uint32_t c = 0; c < layer_of.size(); ++c) {
    tick();
    position[c] = out[layer_of[c]].size();
    out[layer_of[c]].push_back(c);
  }
  return out;
}

// Crossing reduction: downward sweeps (even t) against the layer above, upward sweeps (odd t)
// against the layer below, each seeing the adjacent layer as the sweep left it.
void median_sweeps(std::vector<std::vector<std::uint32_t>>& layers, const Adjacency& upper,
                   const Adjacency& lower, const std::vector<std::size_t>& layer_of,
                   std::vector<std::size_t>& position, std::uint64_t iterations) {
  const std::size_t count = layers.size();
  if (count < 2) return;
  std::vector<std::size_t> scratch;
  std::vector<std::pair<double, std::uint32_t>> keyed;
  InterruptTicker tick;
  for (std::uint64_t t = 0; t < iterations; ++t) {
    if (t % 2 == 0) {
      for (std::size_t k = 1; k < count; ++k) {
        reorder_by_median(layers[k], k - 1, upper, layer_of, position, scratch, keyed, tick);
      }
    } else {
      for (std::size_t k = count - 1; k-- > 0;) {
        reorder_by_median(layers[k], k + 1, lower, layer_of, position, scratch, keyed, tick);
      }
    }
  }
}

// Coordinates: evenly spaced rows centred on x = 0; nodes in concept-index order.
std::vector<LayoutNode> coordinates(const std::vector<std::vector<std::uint32_t>>& layers,
                                    std::size_t n, const LayoutConfig& config) {
  std::vector<LayoutNode> nodes;
  resize_polled(nodes, n);
  InterruptTicker tick;
  for (std::size_t k = 0; k < layers.size(); ++k) {
    tick();
    const std::size_t m = layers[k].size();
    const double shift = static_cast<double>(m > 0 ? m - 1 : 0) * (-config.node_spacing) * 0.5;
    for (std::size_t j = 0; j < m; ++j) {
      tick();
      const std::uint32_t id = layers[k][j];
      nodes[id] = {static_cast<double>(j) * config.node_spacing + shift,
                   static_cast<double>(k) * config.layer_spacing, id};
    }
  }
  return nodes;
}

// The spans of the node centres, never below 0.
void bounding_box(LatticeLayout& layout) {
  const auto [min_x, max_x] =
      std::minmax_element(layout.nodes.begin(), layout.nodes.end(),
                          [](const LayoutNode& a, const LayoutNode& b) { return a.x < b.x; });
  const auto [min_y, max_y] =
      std::minmax_element(layout.nodes.begin(), layout.nodes.end(),
                          [](const LayoutNode& a, const LayoutNode& b) { return a.y < b.y; });
  layout.width = std::max(max_x->x - min_x->x, 0.0);
  layout.height = std::max(max_y->y - min_y->y, 0.0);
}

}  // namespace

LatticeLayout sugiyama_layout(const Lattice& lattice, const LayoutConfig& config) {
  LatticeLayout out;
  const std::size_t n = lattice.size();
  if (n == 0) return out;
  const std::vector<CoverPair>& covers = lattice.covers();
  InterruptTicker tick;
  for (const CoverPair& p : covers) {
    tick();
    if (p.first >= n || p.second >= n) panic("cover pair names a concept outside the lattice");
  }
  const Adjacency upper(n, covers, /*upward=*/true);
  const Adjacency lower(n, covers, /*upward=*/false);
  const std::vector<std::size_t> layer_of = longest_path_layers(lattice, upper);
  std::vector<std::size_t> position;
  std::vector<std::vector<std::uint32_t>> layers = initial_order(layer_of, position);
  median_sweeps(layers, upper, lower, layer_of, position, config.crossing_iters);
  out.nodes = coordinates(layers, n, config);
  out.edges.reserve(covers.size());
  for (const CoverPair& p : covers) {
    tick();
    out.edges.push_back({p.second, p.first});
  }
  bounding_box(out);

  QUORLAN_COMPLETION_SITE(kDone, "quorlan_layout::sugiyama", kLayoutFields);
  diagnostics::completed(kDone, "sugiyama layout complete", n, covers.size(), layers.size(),
                         config.crossing_iters);
  return out;
}

}  // namespace quorlan
