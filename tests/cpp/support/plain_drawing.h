// The drawing as it was computed before it was made fast, kept as the reference of the tests and
// as the "before" of the drawing benchmark: Lindig's neighbour test with a scan of each candidate's
// intent, the layout with every sweep run and every neighbour filtered per step, and the document
// written through std::to_chars. Each phase is a function of its own so that it can be timed.
#pragma once

#include <string>
#include <vector>

#include "core/concept.h"
#include "layout/sugiyama.h"
#include "layout/svg.h"

namespace quorlan::reference {

// Pairs (lower, upper), sorted by lower, then upper.
std::vector<CoverPair> lindig_covers(const Lattice& lattice);

// The layers of the concepts in their order after the sweeps.
struct PlainLayers {
  std::vector<std::size_t> layer_of;
  std::vector<std::vector<std::uint32_t>> layers;
};

PlainLayers plain_layering(const Lattice& lattice, const std::vector<CoverPair>& covers);
void plain_sweeps(PlainLayers& layers, std::size_t n, const std::vector<CoverPair>& covers,
                  std::uint64_t iterations);
LatticeLayout plain_coordinates(const PlainLayers& layers, const std::vector<CoverPair>& covers,
                                const LayoutConfig& config);
// The three above in a row.
LatticeLayout plain_layout(const Lattice& lattice, const std::vector<CoverPair>& covers,
                           const LayoutConfig& config);
std::string plain_svg(const LatticeLayout& layout, const SvgStyle& style);

}  // namespace quorlan::reference
