// The SVG document of a lattice layout: grey edges under white circles, no text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/concept.h"
#include "layout/sugiyama.h"
#include "order/lattice_order.h"

namespace quorlan {

struct SvgStyle {
  double margin;
  double node_radius;
  double stroke_width;
};

// The document, written in one pass into a buffer of its exact size.
std::string render_svg(const LatticeLayout& layout, const SvgStyle& style);

// What is kept beside one lattice, for its drawings and its order's questions: the order's
// cache (the cover relation first among it) and the layered order, computed by the first
// drawing with the standard parameters and reused by every later one, which then costs only the
// coordinates and the text (8 bytes per concept and 4 per layer). Belongs to the one lattice it
// was used with; callers serialise access.
class LatticeCache {
 public:
  const Layering& layering(const Lattice& lattice);
  bool filled() const { return layering_.has_value(); }
  OrderCache order;

 private:
  std::optional<Layering> layering_;
};

// The one drawing entry: standard layout and style.
std::string lattice_svg(const Lattice& lattice);
std::string lattice_svg(const Lattice& lattice, LatticeCache& cache);
// The same document under a caption naming the number of concepts, as notebooks show it.
std::string lattice_html(const Lattice& lattice);
std::string lattice_html(const Lattice& lattice, LatticeCache& cache);

// The standard drawing's node positions, each the number its document writes (one decimal):
// node k is concept k. Its order is taken from the cache, or put there.
struct DrawnPositions {
  std::vector<double> x, y;
};
DrawnPositions standard_positions(const Lattice& lattice, LatticeCache& cache);

// Number formats of the document, exposed for tests.
void append_one_decimal(std::string& out, double value);
void append_shortest(std::string& out, double value);

}  // namespace quorlan
