// Layered drawing of a lattice's Hasse diagram (Sugiyama, Tagawa & Toda 1981, reduced): longest-
// path layers from the top, median-heuristic sweeps that reorder the layers, then evenly spaced
// rows centred on x = 0. No dummy nodes; edges spanning layers take no part in the ordering.
//
// The work splits in two. `layered_order` decides the layer and the place of every concept from
// the cover relation (the costly part: the layers, the sweeps); `sugiyama_layout` turns such an
// order into coordinates. A caller that draws one lattice many times keeps the `Layering` and pays
// only for the coordinates and the text after the first drawing.
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

// Sets the width and height of a layout from its nodes: the spans of their centres (0 without
// nodes).
void measure_spans(LatticeLayout& layout);

// The layers of a lattice's concepts and their order within each layer: 8 bytes per concept and
// 4 per layer. Layer 0 holds the top concept; every other concept lies one layer below the
// lowest of its upper covers (the length of its longest cover chain to the top).
struct Layering {
  std::vector<std::uint32_t> layer_of;    // per concept
  std::vector<std::uint32_t> position;    // per concept: its place in its layer, from 0
  std::vector<std::uint32_t> layer_size;  // per layer
  std::uint64_t sweeps_run = 0;           // the sweeps run; the others were known to change nothing
};

// The layers by longest path from the top, each in ascending concept order, from the lattice's
// cover relation (compute_covers). Time: concepts plus cover pairs.
Layering longest_path_layering(const Lattice& lattice, const std::vector<CoverPair>& covers);

// The median sweeps: `iterations` of them, downward first, then alternating. A sweep is a
// function of the current order alone, so once a downward and an upward sweep in a row leave
// the order as they found it, the sweeps still to come are skipped (with a last downward one
// when their number is odd): the result is the same as running every one. Time per sweep:
// concepts plus the cover pairs between adjacent layers.
void reduce_crossings(Layering& layering, const Lattice& lattice,
                      const std::vector<CoverPair>& covers, std::uint64_t iterations);

// Both of the above: the order a drawing with these parameters has.
Layering layered_order(const Lattice& lattice, const std::vector<CoverPair>& covers,
                       const LayoutConfig& config);

// The drawing's coordinates, from an order that `layered_order` computed for this lattice, its
// covers and these parameters. Reports the layout's completion (nodes, edges, layers, sweeps
// configured) unless the lattice has no concepts. Time: concepts plus cover pairs.
LatticeLayout sugiyama_layout(const Lattice& lattice, const std::vector<CoverPair>& covers,
                              const Layering& layering, const LayoutConfig& config);

// Lays the lattice out: its covers, layered_order, then the coordinates.
LatticeLayout sugiyama_layout(const Lattice& lattice, const LayoutConfig& config);

}  // namespace quorlan
