// Layered drawing of a lattice's Hasse diagram (Sugiyama, Tagawa & Toda 1981, reduced): longest-
// path layers from the top, median-heuristic sweeps that reorder the layers, then evenly spaced
// rows centred on x = 0. No dummy nodes; edges spanning layers take no part in the ordering.
#pragma once

#include <cstdint>
#include <vector>

#include "core/concept.h"

namespace quorlan {

struct LayoutConfig {
  double node_spacing;
  double layer_spacing;
  std::uint64_t crossing_iters;
};

struct LayoutNode {
  double x, y;
  std::uint32_t id;
};

struct LayoutEdge {
  std::uint32_t from;  // the upper concept (larger extent)
  std::uint32_t to;    // the lower concept
};

struct LatticeLayout {
  std::vector<LayoutNode> nodes;  // node i is concept i
  std::vector<LayoutEdge> edges;  // in cover order
  double width = 0.0, height = 0.0;
};

// Fills the lattice's cover cache if it is still empty.
LatticeLayout sugiyama_layout(const Lattice& lattice, const LayoutConfig& config);

}  // namespace quorlan
