// The SVG document of a lattice layout: grey edges under white circles, no text.
#pragma once

#include <string>

#include "core/concept.h"
#include "layout/sugiyama.h"

namespace quorlan {

struct SvgStyle {
  double margin;
  double node_radius;
  double stroke_width;
};

std::string render_svg(const LatticeLayout& layout, const SvgStyle& style);

// The one drawing entry: standard layout and style.
std::string lattice_svg(const Lattice& lattice);
// The same document under a caption naming the number of concepts, as notebooks show it.
std::string lattice_html(const Lattice& lattice);

// Number formats of the document, exposed for tests.
void append_one_decimal(std::string& out, double value);
void append_shortest(std::string& out, double value);

}  // namespace quorlan
