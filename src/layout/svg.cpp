#include "layout/svg.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "core/interrupt.h"

namespace quorlan {

// Floating-point std::to_chars is exact by definition; where the standard library lacks it (GCC
// 10's), the C library's printf serves, which on glibc, macOS and the UCRT also rounds the exact
// binary value correctly, ties to even.
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L

void append_one_decimal(std::string& out, double value) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
  out.append(buf, r.ptr);
}

void append_shortest(std::string& out, double value) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  out.append(buf, r.ptr);
}

#else

void append_one_decimal(std::string& out, double value) {
  char buf[400];
  const int n = std::snprintf(buf, sizeof buf, "%.1f", value);
  out.append(buf, static_cast<std::size_t>(n));
}

void append_shortest(std::string& out, double value) {
  char buf[400];
  for (int digits = 0;; ++digits) {
    const int n = std::snprintf(buf, sizeof buf, "%.*f", digits, value);
    if (std::strtod(buf, nullptr) == value || digits == 1074) {
      out.append(buf, static_cast<std::size_t>(n));
      return;
    }
  }
}

#endif

namespace {

// Appends ` name="value"` with the value in one-decimal form.
void attribute(std::string& out, const char* name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_one_decimal(out, value);
  out += '"';
}

// Line 4 of the document, once per edge whose two ends are among the nodes (the first node
// carrying each id, found through an index instead of a scan per edge).
void write_edges(std::string& out, const LatticeLayout& layout, double dx, double dy) {
  std::vector<std::int64_t> first_with_id;
  for (std::size_t k = 0; k < layout.nodes.size(); ++k) {
    const std::uint32_t id = layout.nodes[k].id;
    if (id >= first_with_id.size()) first_with_id.resize(static_cast<std::size_t>(id) + 1, -1);
    if (first_with_id[id] < 0) first_with_id[id] = static_cast<std::int64_t>(k);
  }
  const auto find = [&](std::uint32_t id) -> const LayoutNode* {
    if (id >= first_with_id.size() || first_with_id[id] < 0) return nullptr;
    return &layout.nodes[static_cast<std::size_t>(first_with_id[id])];
  };
  InterruptTicker tick;
  for (const LayoutEdge& e : layout.edges) {
    tick();
    const LayoutNode* a = find(e.from);
    const LayoutNode* b = find(e.to);
    if (a == nullptr || b == nullptr) continue;
    out += "    <line";
    attribute(out, "x1", a->x + dx);
    attribute(out, "y1", a->y + dy);
    attribute(out, "x2", b->x + dx);
    attribute(out, "y2", b->y + dy);
    out += " />\n";
  }
}

}  // namespace

std::string render_svg(const LatticeLayout& layout, const SvgStyle& style) {
  std::string out;
  // Room for the whole document up front (a line is about 50 bytes per node and 80 per edge): a
  // large one is then never copied to grow, a step no stop could interrupt.
  out.reserve(4096 + 64 * layout.nodes.size() + 96 * layout.edges.size());
  double min_x = std::numeric_limits<double>::infinity();
  double min_y = std::numeric_limits<double>::infinity();
  for (const LayoutNode& node : layout.nodes) {
    min_x = std::min(min_x, node.x);
    min_y = std::min(min_y, node.y);
  }
  const double dx = style.margin - min_x;
  const double dy = style.margin - min_y;
  const double w = layout.width + (style.margin + style.margin);
  const double h = layout.height + (style.margin + style.margin);

  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
  append_one_decimal(out, w);
  out += ' ';
  append_one_decimal(out, h);
  out += '"';
  attribute(out, "width", w);
  attribute(out, "height", h);
  out += ">\n  <g stroke=\"#444\" stroke-width=\"";
  append_shortest(out, style.stroke_width);
  out += "\" fill=\"none\">\n";
  write_edges(out, layout, dx, dy);
  out += "  </g>\n  <g fill=\"white\" stroke=\"#222\" stroke-width=\"";
  append_shortest(out, style.stroke_width);
  out += "\">\n";
  InterruptTicker tick;
  for (const LayoutNode& node : layout.nodes) {
    tick();
    out += "    <circle";
    attribute(out, "cx", node.x + dx);
    attribute(out, "cy", node.y + dy);
    attribute(out, "r", style.node_radius);
    out += " />\n";
  }
  out += "  </g>\n</svg>\n";
  return out;
}

std::string lattice_svg(const Lattice& lattice) {
  const LatticeLayout layout = sugiyama_layout(
      lattice, LayoutConfig{/*node_spacing=*/80.0, /*layer_spacing=*/80.0, /*crossing_iters=*/24});
  return render_svg(layout, SvgStyle{/*margin=*/30.0, /*node_radius=*/6.0, /*stroke_width=*/1.5});
}

std::string lattice_html(const Lattice& lattice) {
  std::string html =
      "<div class=\"quorlan-lattice\"><div style=\"color:#666;font-size:0.85em;"
      "margin-bottom:0.25em;\">Lattice \xE2\x80\x94 ";  // U+2014 EM DASH
  html += std::to_string(lattice.size());
  html += " concepts</div>";
  html += lattice_svg(lattice);
  html += "</div>";
  return html;
}

}  // namespace quorlan
