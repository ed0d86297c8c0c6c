#include "layout/sugiyama.h"

#include <algorithm>
#include <numeric>

#include "core/panic.h"
#include "diagnostics/events.h"

namespace quorlan {
namespace {

constexpr const char* kLayoutFields[] = {"message", "nodes", "edges", "layers", "crossing_iters"};

// Neighbour lists in cover order, stored contiguously per concept.
struct Adjacency {
  std::vector<std::size_t> start;
  std::vector<std::uint32_t> items;
  Adjacency(std::size_t n, const std::vector<CoverPair>& covers, bool upward) : start(n + 1, 0) {
    for (const CoverPair& p : covers) ++start[(upward ? p.first : p.second) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    items.resize(covers.size());
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (const CoverPair& p : covers) {
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
                       std::vector<std::pair<double, std::uint32_t>>& keyed) {
  keyed.clear();
  for (std::size_t i = 0; i < layer.size(); ++i) {
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
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < layer.size(); ++i) {
    layer[i] = keyed[i].second;
    position[layer[i]] = i;
  }
}

}  // namespace

LatticeLayout sugiyama_layout(const Lattice& lattice, const LayoutConfig& config) {
  LatticeLayout out;
  const std::size_t n = lattice.size();
  if (n == 0) return out;
  const std::vector<CoverPair>& covers = lattice.covers();
  for (const CoverPair& p : covers) {
    if (p.first >= n || p.second >= n) panic("cover pair names a concept outside the lattice");
  }

  const Adjacency upper(n, covers, /*upward=*/true);
  std::vector<std::uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return lattice.extents().count(a) > lattice.extents().count(b);
  });
  std::vector<std::size_t> layer_of(n, 0);
  std::size_t max_layer = 0;
  for (std::uint32_t c : order) {
    std::size_t l = 0;
    const std::uint32_t* up = upper.begin(c);
    for (std::size_t k = 0; k < upper.size(c); ++k) l = std::max(l, layer_of[up[k]] + 1);
    layer_of[c] = l;
    max_layer = std::max(max_layer, l);
  }
  const std::size_t L = max_layer + 1;
  std::vector<std::vector<std::uint32_t>> layers(L);
  std::vector<std::size_t> position(n);
  for (std::uint32_t c = 0; c < n; ++c) {
    position[c] = layers[layer_of[c]].size();
    layers[layer_of[c]].push_back(c);
  }

  if (L >= 2) {
    const Adjacency lower(n, covers, /*upward=*/false);
    std::vector<std::size_t> scratch;
    std::vector<std::pair<double, std::uint32_t>> keyed;
    for (std::uint64_t t = 0; t < config.crossing_iters; ++t) {
      if (t % 2 == 0) {
        for (std::size_t k = 1; k < L; ++k) {
          reorder_by_median(layers[k], k - 1, upper, layer_of, position, scratch, keyed);
        }
      } else {
        for (std::size_t k = L - 1; k-- > 0;) {
          reorder_by_median(layers[k], k + 1, lower, layer_of, position, scratch, keyed);
        }
      }
    }
  }

  out.nodes.resize(n);
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  bool first = true;
  for (std::size_t k = 0; k < L; ++k) {
    const std::size_t m = layers[k].size();
    const double shift = static_cast<double>(m > 0 ? m - 1 : 0) * (-config.node_spacing) * 0.5;
    for (std::size_t j = 0; j < m; ++j) {
      const double x = static_cast<double>(j) * config.node_spacing + shift;
      const double y = static_cast<double>(k) * config.layer_spacing;
      const std::uint32_t id = layers[k][j];
      out.nodes[id] = {x, y, id};
      if (first) {
        min_x = max_x = x;
        min_y = max_y = y;
        first = false;
      }
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
    }
  }
  out.edges.reserve(covers.size());
  for (const CoverPair& p : covers) out.edges.push_back({p.second, p.first});
  out.width = std::max(max_x - min_x, 0.0);
  out.height = std::max(max_y - min_y, 0.0);

  QUORLAN_EVENT(Debug, "quorlan_layout::sugiyama", kLayoutFields, "sugiyama layout complete",
                static_cast<std::uint64_t>(n), static_cast<std::uint64_t>(covers.size()),
                static_cast<std::uint64_t>(L), static_cast<std::uint64_t>(config.crossing_iters));
  return out;
}

}  // namespace quorlan
