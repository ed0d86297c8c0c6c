#include "support/plain_drawing.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <limits>
#include <numeric>

#include "core/panic.h"

namespace quorlan::reference {
namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t x) {
  h ^= x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h * 0xff51afd7ed558ccdULL;
}

// Extents are unique among the concepts of a lattice, so an extent identifies its concept.
class ExtentIndex {
 public:
  explicit ExtentIndex(const PackedSets& extents) : extents_(extents) {
    std::size_t capacity = 16;
    while (capacity < 2 * extents.size()) capacity *= 2;
    slots_.assign(capacity, kEmpty);
    std::vector<std::uint32_t> members;
    for (std::size_t i = 0; i < extents.size(); ++i) {
      members.clear();
      extents.to_list(i, members);
      std::size_t s = hash(members.data(), members.size()) & (capacity - 1);
      while (slots_[s] != kEmpty) s = (s + 1) & (capacity - 1);
      slots_[s] = static_cast<std::uint32_t>(i);
    }
  }

  std::uint32_t find(const std::uint32_t* members, std::size_t len) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = hash(members, len) & mask; slots_[s] != kEmpty; s = (s + 1) & mask) {
      if (same(slots_[s], members, len)) return slots_[s];
    }
    panic("cover computation: an intersection of extents is not an extent of the lattice");
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xffffffffu;

  static std::uint64_t hash(const std::uint32_t* members, std::size_t len) {
    std::uint64_t h = len;
    for (std::size_t k = 0; k < len; ++k) h = mix(h, members[k]);
    return h;
  }
  bool same(std::uint32_t i, const std::uint32_t* members, std::size_t len) const {
    if (extents_.count(i) != len) return false;
    if (extents_.is_list(i)) return std::equal(members, members + len, extents_.list(i));
    const Word* w = extents_.bits(i);
    return std::all_of(members, members + len, [&](std::uint32_t g) { return test_bit(w, g); });
  }

  const PackedSets& extents_;
  std::vector<std::uint32_t> slots_;
};

// The attribute concept of j, per j: of the concepts whose intent holds j, the first with the
// largest extent.
std::vector<std::uint32_t> attribute_concepts(const Lattice& lattice) {
  std::vector<std::vector<std::uint32_t>> holding(lattice.n_attributes());
  for (std::uint32_t i = 0; i < lattice.size(); ++i) {
    lattice.intents().for_each(i, [&](std::uint32_t j) { holding[j].push_back(i); });
  }
  const auto smaller = [&](std::uint32_t a, std::uint32_t b) {
    return lattice.extents().count(a) < lattice.extents().count(b);
  };
  std::vector<std::uint32_t> out;
  for (const std::vector<std::uint32_t>& concepts : holding) {
    if (concepts.empty()) panic("cover computation: the lattice lacks a bottom concept");
    out.push_back(*std::max_element(concepts.begin(), concepts.end(), smaller));
  }
  return out;
}

// The incidence rebuilt from the columns: row g lists, ascending, the attributes whose
// attribute concept holds g.
struct ObjectRows {
  std::vector<std::size_t> start;  // row g is items[start[g], start[g + 1])
  std::vector<std::uint32_t> items;
};

ObjectRows object_rows(const Lattice& lattice, const std::vector<std::uint32_t>& columns) {
  const std::size_t n = lattice.n_objects();
  ObjectRows rows{std::vector<std::size_t>(n + 1, 0), {}};
  for (std::uint32_t c : columns) {
    lattice.extents().for_each(c, [&](std::uint32_t g) { ++rows.start[g + 1]; });
  }
  for (std::size_t g = 0; g < n; ++g) rows.start[g + 1] += rows.start[g];
  rows.items.resize(rows.start[n]);
  std::vector<std::size_t> fill(rows.start.begin(), rows.start.end() - 1);
  for (std::size_t j = 0; j < columns.size(); ++j) {
    lattice.extents().for_each(columns[j], [&](std::uint32_t g) {
      rows.items[fill[g]++] = static_cast<std::uint32_t>(j);
    });
  }
  return rows;
}

// Lindig's neighbour step, one concept at a time; its scratch space is reused throughout.
class NeighbourStep {
 public:
  NeighbourStep(const Lattice& lattice, const ObjectRows& rows)
      : lattice_(lattice),
        rows_(rows),
        index_(lattice.extents()),
        in_b_(lattice.n_attributes(), 0),
        removed_(lattice.n_attributes(), 0),
        count_(lattice.n_attributes(), 0),
        bucket_start_(lattice.n_attributes(), 0) {}

  // Appends the pairs (lower neighbour, i).
  void run(std::size_t i, std::deque<CoverPair>& pairs) {
    extent_.clear();
    lattice_.extents().to_list(i, extent_);
    lattice_.intents().for_each(i, [&](std::uint32_t x) { in_b_[x] = 1; });
    deliver_candidate_extents();
    bool candidate_left = false;
    for (std::uint32_t j : touched_) {
      const std::uint32_t k = index_.find(buckets_.data() + bucket_start_[j], count_[j]);
      const bool blocked = lattice_.intents().any_of(
          k, [&](std::uint32_t x) { return x != j && !in_b_[x] && removed_[x] != i + 1; });
      if (blocked) {
        removed_[j] = i + 1;  // j left the candidates while treating concept i
      } else {
        pairs.emplace_back(k, static_cast<std::uint32_t>(i));
        candidate_left = true;
      }
    }
    // The attributes no object of A has generate the concept with the empty extent, whose intent
    // is every attribute: taken one by one, each is blocked while another candidate is left, so
    // that concept is a neighbour exactly when the group is not empty and nothing else is left.
    const std::size_t outside = lattice_.n_attributes() - lattice_.intents().count(i);
    if (outside > touched_.size() && !candidate_left) {
      if (empty_extent_ < 0) empty_extent_ = index_.find(nullptr, 0);
      pairs.emplace_back(static_cast<std::uint32_t>(empty_extent_), static_cast<std::uint32_t>(i));
    }
    for (std::uint32_t x : touched_) count_[x] = 0;
    lattice_.intents().for_each(i, [&](std::uint32_t x) { in_b_[x] = 0; });
  }

 private:
  // Every A ∩ col(j) with j outside B and not empty, into the bucket of j: a counting sort of
  // the occurrences in the rows of A. touched_ lists those j in the order first met.
  void deliver_candidate_extents() {
    const auto each_occurrence = [&](auto&& f) {
      for (std::uint32_t g : extent_) {
        for (std::size_t p = rows_.start[g]; p < rows_.start[g + 1]; ++p) {
          if (!in_b_[rows_.items[p]]) f(g, rows_.items[p]);
        }
      }
    };
    touched_.clear();
    each_occurrence([&](std::uint32_t, std::uint32_t x) {
      if (count_[x]++ == 0) touched_.push_back(x);
    });
    std::size_t total = 0;
    for (std::uint32_t x : touched_) {
      bucket_start_[x] = total;
      total += count_[x];
      count_[x] = 0;
    }
    buckets_.resize(total);
    each_occurrence(
        [&](std::uint32_t g, std::uint32_t x) { buckets_[bucket_start_[x] + count_[x]++] = g; });
  }

  const Lattice& lattice_;
  const ObjectRows& rows_;
  ExtentIndex index_;
  std::int64_t empty_extent_ = -1;  // the concept with no objects, looked up when first needed
  std::vector<std::uint8_t> in_b_;
  std::vector<std::uint64_t> removed_;
  std::vector<std::uint32_t> count_, touched_, buckets_, extent_;
  std::vector<std::size_t> bucket_start_;
};

// The pairs come grouped by upper concept, ascending; bucketing them by lower concept keeps
// that order within each bucket, so the result is sorted by lower, then upper, in two passes.
// They are gathered in a deque, which grows without copying what it holds.
std::vector<CoverPair> sorted_by_lower(const std::deque<CoverPair>& pairs, std::size_t concepts) {
  std::vector<std::size_t> start;
  start.assign(concepts + 1, 0);
  for (const CoverPair& p : pairs) {
    ++start[p.first + 1];
  }
  for (std::size_t c = 0; c < concepts; ++c) start[c + 1] += start[c];
  std::vector<CoverPair> out;
  out.resize(pairs.size());
  for (const CoverPair& p : pairs) {
    out[start[p.first]++] = p;
  }
  return out;
}

}  // namespace

std::vector<CoverPair> lindig_covers(const Lattice& lattice) {
  if (lattice.size() < 2) return {};
  std::deque<CoverPair> pairs;
  const ObjectRows rows = object_rows(lattice, attribute_concepts(lattice));
  NeighbourStep step(lattice, rows);
  for (std::size_t i = 0; i < lattice.size(); ++i) step.run(i, pairs);
  return sorted_by_lower(pairs, lattice.size());
}

namespace {

// Neighbour lists in cover order, stored contiguously per concept.
struct Adjacency {
  std::vector<std::size_t> start;
  std::vector<std::uint32_t> items;
  Adjacency(std::size_t n, const std::vector<CoverPair>& covers, bool upward)
      : start(n + 1, 0), items(covers.size()) {
    for (const CoverPair& p : covers) ++start[(upward ? p.first : p.second) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
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

void reorder_by_median(std::vector<std::uint32_t>& layer, std::size_t fixed_layer,
                       const Adjacency& neighbours, const std::vector<std::size_t>& layer_of,
                       std::vector<std::size_t>& position) {
  std::vector<std::pair<double, std::uint32_t>> keyed;
  std::vector<std::size_t> scratch;
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

void append_one_decimal(std::string& out, double value) {
  char buf[1100];  // the longest fixed form of a double, with room to spare
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
  out.append(buf, r.ptr);
}

void attribute(std::string& out, const char* name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_one_decimal(out, value);
  out += '"';
}

}  // namespace

PlainLayers plain_layering(const Lattice& lattice, const std::vector<CoverPair>& covers) {
  const std::size_t n = lattice.size();
  const Adjacency upper(n, covers, /*upward=*/true);
  std::vector<std::uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return lattice.extents().count(a) > lattice.extents().count(b);
  });
  PlainLayers out;
  out.layer_of.assign(n, 0);
  for (std::uint32_t c : order) {
    const std::uint32_t* up = upper.begin(c);
    for (std::size_t k = 0; k < upper.size(c); ++k) {
      out.layer_of[c] = std::max(out.layer_of[c], out.layer_of[up[k]] + 1);
    }
  }
  if (n == 0) return out;
  out.layers.resize(1 + *std::max_element(out.layer_of.begin(), out.layer_of.end()));
  for (std::uint32_t c = 0; c < n; ++c) out.layers[out.layer_of[c]].push_back(c);
  return out;
}

void plain_sweeps(PlainLayers& layers, std::size_t n, const std::vector<CoverPair>& covers,
                  std::uint64_t iterations) {
  const std::size_t count = layers.layers.size();
  if (count < 2) return;
  const Adjacency upper(n, covers, /*upward=*/true);
  const Adjacency lower(n, covers, /*upward=*/false);
  std::vector<std::size_t> position(n);
  for (const auto& layer : layers.layers) {
    for (std::size_t i = 0; i < layer.size(); ++i) position[layer[i]] = i;
  }
  for (std::uint64_t t = 0; t < iterations; ++t) {
    if (t % 2 == 0) {
      for (std::size_t k = 1; k < count; ++k) {
        reorder_by_median(layers.layers[k], k - 1, upper, layers.layer_of, position);
      }
    } else {
      for (std::size_t k = count - 1; k-- > 0;) {
        reorder_by_median(layers.layers[k], k + 1, lower, layers.layer_of, position);
      }
    }
  }
}

LatticeLayout plain_coordinates(const PlainLayers& layers, const std::vector<CoverPair>& covers,
                                const LayoutConfig& config) {
  LatticeLayout out;
  out.nodes.resize(layers.layer_of.size());
  if (out.nodes.empty()) return out;
  for (std::size_t k = 0; k < layers.layers.size(); ++k) {
    const std::size_t m = layers.layers[k].size();
    const double shift = static_cast<double>(m > 0 ? m - 1 : 0) * (-config.node_spacing) * 0.5;
    for (std::size_t j = 0; j < m; ++j) {
      const std::uint32_t id = layers.layers[k][j];
      out.nodes[id] = {static_cast<double>(j) * config.node_spacing + shift,
                       static_cast<double>(k) * config.layer_spacing, id};
    }
  }
  for (const CoverPair& p : covers) out.edges.push_back({p.second, p.first});
  measure_spans(out);
  return out;
}

LatticeLayout plain_layout(const Lattice& lattice, const std::vector<CoverPair>& covers,
                           const LayoutConfig& config) {
  PlainLayers layers = plain_layering(lattice, covers);
  plain_sweeps(layers, lattice.size(), covers, config.crossing_iters);
  return plain_coordinates(layers, covers, config);
}

std::string plain_svg(const LatticeLayout& layout, const SvgStyle& style) {
  std::string out;
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
  char stroke[1100];
  const auto s =
      std::to_chars(stroke, stroke + sizeof stroke, style.stroke_width, std::chars_format::fixed);
  const std::string stroke_width(stroke, s.ptr);

  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
  append_one_decimal(out, w);
  out += ' ';
  append_one_decimal(out, h);
  out += '"';
  attribute(out, "width", w);
  attribute(out, "height", h);
  out += ">\n  <g stroke=\"#444\" stroke-width=\"" + stroke_width + "\" fill=\"none\">\n";
  // Each edge joins the first nodes carrying its two ids.
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
  for (const LayoutEdge& e : layout.edges) {
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
  out += "  </g>\n  <g fill=\"white\" stroke=\"#222\" stroke-width=\"" + stroke_width + "\">\n";
  for (const LayoutNode& node : layout.nodes) {
    out += "    <circle";
    attribute(out, "cx", node.x + dx);
    attribute(out, "cy", node.y + dy);
    attribute(out, "r", style.node_radius);
    out += " />\n";
  }
  out += "  </g>\n</svg>\n";
  return out;
}

}  // namespace quorlan::reference
