#include "layout/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/heap.h"
#include "core/interrupt.h"

namespace quorlan {
namespace {

// Room for any number in either format: a double in fixed notation has at most 309 digits
// before the point and 1074 after it (the shortest form of the smallest subnormal).
constexpr std::size_t kNumberRoom = 1100;

// One digit after the point, correctly rounded, ties to even. Whole numbers, which are all the
// numbers of a standard drawing, are written directly; the rest go through the exact
// conversion of the standard library (or, where it lacks one, of the C library, which on glibc,
// macOS and the UCRT also rounds the exact binary value correctly, ties to even).
char* one_decimal(char* p, double value) {
  if (value > -1e15 && value < 1e15 &&
      value == static_cast<double>(static_cast<std::int64_t>(value))) {
    if (std::signbit(value)) *p++ = '-';  // also for -0.0, as the general form writes it
    const std::int64_t whole = static_cast<std::int64_t>(value);
    const std::uint64_t digits =
        whole < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(whole) : whole;
    p = std::to_chars(p, p + 20, digits).ptr;
    *p++ = '.';
    *p++ = '0';
    return p;
  }
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  return std::to_chars(p, p + kNumberRoom, value, std::chars_format::fixed, 1).ptr;
#else
  return p + std::snprintf(p, kNumberRoom, "%.1f", value);
#endif
}

// The shortest text that reads back as the same value, without exponent.
char* shortest(char* p, double value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  return std::to_chars(p, p + kNumberRoom, value, std::chars_format::fixed).ptr;
#else
  for (int digits = 0;; ++digits) {
    const int n = std::snprintf(p, kNumberRoom, "%.*f", digits, value);
    if (std::strtod(p, nullptr) == value || digits == 1074) return p + n;
  }
#endif
}

std::string one_decimal_text(double value) {
  char buf[kNumberRoom];
  return std::string(buf, one_decimal(buf, value));
}

// The text of the drawn x and y of every node, formatted once: each edge line then copies the
// texts of its two ends.
class NodeTexts {
 public:
  NodeTexts(const LatticeLayout& layout, double dx, double dy) {
    resize_polled(start_, 2 * layout.nodes.size() + 1);
    text_.reserve(16 * layout.nodes.size());
    char buf[kNumberRoom];
    for_polled(0, layout.nodes.size(), [&](std::size_t k) {
      text_.append(buf, one_decimal(buf, layout.nodes[k].x + dx));
      start_[2 * k + 1] = text_.size();
      text_.append(buf, one_decimal(buf, layout.nodes[k].y + dy));
      start_[2 * k + 2] = text_.size();
    });
  }
  std::string_view x(std::size_t k) const { return piece(2 * k); }
  std::string_view y(std::size_t k) const { return piece(2 * k + 1); }

 private:
  std::string_view piece(std::size_t i) const {
    return std::string_view(text_).substr(start_[i], start_[i + 1] - start_[i]);
  }
  std::string text_;
  std::vector<std::size_t> start_;
};

// The position in `nodes` of the first node carrying each id (a layout from a lattice has node
// k carrying id k; any other is looked up in a sorted copy of the ids).
class FirstWithId {
 public:
  explicit FirstWithId(const std::vector<LayoutNode>& nodes) {
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      if (nodes[k].id != k) {
        sorted_.reserve(nodes.size());
        for (std::size_t j = 0; j < nodes.size(); ++j) sorted_.emplace_back(nodes[j].id, j);
        std::sort(sorted_.begin(), sorted_.end());
        return;
      }
    }
    identity_ = nodes.size();
  }
  // The node's position, or -1 when no node carries the id.
  std::int64_t find(std::uint32_t id) const {
    if (sorted_.empty()) return id < identity_ ? static_cast<std::int64_t>(id) : -1;
    const auto it = std::lower_bound(sorted_.begin(), sorted_.end(),
                                     std::pair<std::uint32_t, std::size_t>(id, 0));
    return it != sorted_.end() && it->first == id ? static_cast<std::int64_t>(it->second) : -1;
  }

 private:
  std::size_t identity_ = 0;
  std::vector<std::pair<std::uint32_t, std::size_t>> sorted_;
};

// The document is written twice by the same code: to a Counter that only measures it, then to
// a Writer into a buffer of that size.
class Counter {
 public:
  Counter& operator<<(std::string_view s) {
    size_ += s.size();
    return *this;
  }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

class Writer {
 public:
  explicit Writer(char* p) : p_(p) {}
  Writer& operator<<(std::string_view s) {
    if (!s.empty()) std::memcpy(p_, s.data(), s.size());  // an empty view may hold no address
    p_ += s.size();
    return *this;
  }

 private:
  char* p_;
};

constexpr std::string_view kLineOpen = "    <line x1=\"", kY1 = "\" y1=\"", kX2 = "\" x2=\"",
                           kY2 = "\" y2=\"", kClose = "\" />\n";
constexpr std::string_view kCircleOpen = "    <circle cx=\"", kCy = "\" cy=\"", kR = "\" r=\"";

// A layout's document between a prefix and a suffix (the caption of the HTML fragment): every
// number formatted once, then written out.
class Document {
 public:
  Document(const LatticeLayout& layout, const SvgStyle& style, std::string_view prefix,
           std::string_view suffix)
      : layout_(layout), prefix_(prefix), suffix_(suffix), first_(layout.nodes) {
    double min_x = std::numeric_limits<double>::infinity();
    double min_y = std::numeric_limits<double>::infinity();
    for (const LayoutNode& node : layout.nodes) {
      min_x = std::min(min_x, node.x);
      min_y = std::min(min_y, node.y);
    }
    width_ = one_decimal_text(layout.width + (style.margin + style.margin));
    height_ = one_decimal_text(layout.height + (style.margin + style.margin));
    radius_ = one_decimal_text(style.node_radius);
    char buf[kNumberRoom];
    stroke_.assign(buf, shortest(buf, style.stroke_width));
    text_.emplace(layout, style.margin - min_x, style.margin - min_y);
  }

  template <class Out>
  void write(Out& out) const {
    out << prefix_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << width_ << " " << height_
        << "\" width=\"" << width_ << "\" height=\"" << height_
        << "\">\n  <g stroke=\"#444\" stroke-width=\"" << stroke_ << "\" fill=\"none\">\n";
    const NodeTexts& t = *text_;
    // Each edge joins the first nodes carrying its two ids; one whose ends are not both there
    // is left out.
    for_each_polled(layout_.edges, [&](const LayoutEdge& e) {
      const std::int64_t a = first_.find(e.from), b = first_.find(e.to);
      if (a < 0 || b < 0) return;
      const auto i = static_cast<std::size_t>(a), j = static_cast<std::size_t>(b);
      out << kLineOpen << t.x(i) << kY1 << t.y(i) << kX2 << t.x(j) << kY2 << t.y(j) << kClose;
    });
    out << "  </g>\n  <g fill=\"white\" stroke=\"#222\" stroke-width=\"" << stroke_ << "\">\n";
    for_polled(0, layout_.nodes.size(), [&](std::size_t k) {
      out << kCircleOpen << t.x(k) << kCy << t.y(k) << kR << radius_ << kClose;
    });
    out << "  </g>\n</svg>\n" << suffix_;
  }

 private:
  const LatticeLayout& layout_;
  std::string_view prefix_, suffix_;
  FirstWithId first_;
  std::string width_, height_, radius_, stroke_;
  std::optional<NodeTexts> text_;  // made once the placement is known
};

// The document, in one pass into a buffer of its exact size.
std::string render_document(const LatticeLayout& layout, const SvgStyle& style,
                            std::string_view prefix, std::string_view suffix) {
  const Document document(layout, style, prefix, suffix);
  Counter counter;
  document.write(counter);
  std::string out;
  resize_polled(out, counter.size());
  Writer writer(out.data());
  document.write(writer);
  return out;
}

constexpr LayoutConfig kStandardLayout{/*node_spacing=*/80.0, /*layer_spacing=*/80.0,
                                       /*crossing_iters=*/24};
constexpr SvgStyle kStandardStyle{/*margin=*/30.0, /*node_radius=*/6.0, /*stroke_width=*/1.5};

// The standard drawing's document, its order taken from the cache (and put there by the first
// drawing). The drawing's scratch arrays (tens of MB for a large lattice: the covers' index, the
// sweeps' lists, the layout) go back to the system before the caller copies the document, so
// that they do not add to the peak of that copy.
std::string standard_document(const Lattice& lattice, LatticeCache& cache, std::string_view prefix,
                              std::string_view suffix) {
  std::string document = render_document(sugiyama_layout(lattice, cache.order.covers(lattice),
                                                         cache.layering(lattice), kStandardLayout),
                                         kStandardStyle, prefix, suffix);
  release_free_heap();
  return document;
}

std::string caption(const Lattice& lattice) {
  return "<div class=\"quorlan-lattice\"><div style=\"color:#666;font-size:0.85em;"
         "margin-bottom:0.25em;\">Lattice \xE2\x80\x94 " +  // U+2014 EM DASH
         std::to_string(lattice.size()) +
         " concepts</div>";
}

}  // namespace

void append_one_decimal(std::string& out, double value) { out += one_decimal_text(value); }

void append_shortest(std::string& out, double value) {
  char buf[kNumberRoom];
  out.append(buf, shortest(buf, value));
}

std::string render_svg(const LatticeLayout& layout, const SvgStyle& style) {
  return render_document(layout, style, {}, {});
}

const Layering& LatticeCache::layering(const Lattice& lattice) {
  if (!layering_) layering_ = layered_order(lattice, order.covers(lattice), kStandardLayout);
  return *layering_;
}

std::string lattice_svg(const Lattice& lattice) {
  LatticeCache once;
  return lattice_svg(lattice, once);
}

std::string lattice_svg(const Lattice& lattice, LatticeCache& cache) {
  return standard_document(lattice, cache, {}, {});
}

DrawnPositions standard_positions(const Lattice& lattice, LatticeCache& cache) {
  const LatticeLayout layout = sugiyama_layout(lattice, cache.order.covers(lattice),
                                               cache.layering(lattice), kStandardLayout);
  double min_x = std::numeric_limits<double>::infinity();
  double min_y = std::numeric_limits<double>::infinity();
  for (const LayoutNode& node : layout.nodes) {
    min_x = std::min(min_x, node.x);
    min_y = std::min(min_y, node.y);
  }
  DrawnPositions out;
  char buf[kNumberRoom];
  // The text's tenths as an integer, divided by ten: the correctly rounded value of the text.
  const auto written = [&](double v) {
    const char* end = one_decimal(buf, v);
    std::int64_t tenths = 0;
    for (const char* c = buf; c < end; ++c) {
      if (*c >= '0' && *c <= '9') tenths = tenths * 10 + (*c - '0');
    }
    return static_cast<double>(buf[0] == '-' ? -tenths : tenths) / 10.0;
  };
  for_polled(0, layout.nodes.size(), [&](std::size_t k) {
    out.x.push_back(written(layout.nodes[k].x + (kStandardStyle.margin - min_x)));
    out.y.push_back(written(layout.nodes[k].y + (kStandardStyle.margin - min_y)));
  });
  return out;
}

std::string lattice_html(const Lattice& lattice) {
  LatticeCache once;
  return lattice_html(lattice, once);
}

std::string lattice_html(const Lattice& lattice, LatticeCache& cache) {
  return standard_document(lattice, cache, caption(lattice), "</div>");
}

}  // namespace quorlan
