// Lower neighbours of each concept (A, B) are the maximal sets among A ∩ col(j), j ∉ B. Lindig's
// test (2000) picks each of them exactly once without comparing candidates pairwise: j is kept
// as a candidate ("min" in the paper) until a concept it generates is seen to contain another
// candidate, and a concept is a neighbour when its generator finds no other candidate in it.
// The test is right in any order of the attributes, so the attributes that some object of A has
// come first, their extents A ∩ col(j) delivered all at once through the rows, and the others
// (all generating the concept with the empty extent) last, as one group. Rows and columns come
// from the extents of the attribute concepts, so the lattice alone suffices.
#include "core/covers.h"

#include <algorithm>
#include <deque>

#include "core/interrupt.h"
#include "core/panic.h"

namespace quorlan {
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
    resize_polled(slots_, capacity, kEmpty);
    std::vector<std::uint32_t> members;
    InterruptTicker tick;
    for (std::size_t i = 0; i < extents.size(); ++i) {
      tick();
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

// The attribute concept of j (the one with the largest extent among those holding j), per j.
std::vector<std::uint32_t> attribute_concepts(const Lattice& lattice) {
  const PackedSets& extents = lattice.extents();
  std::vector<std::int64_t> best(lattice.n_attributes(), -1);
  InterruptTicker tick;
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    tick();
    lattice.intents().for_each(i, [&](std::uint32_t j) {
      if (best[j] < 0 || extents.count(i) > extents.count(static_cast<std::size_t>(best[j]))) {
        best[j] = static_cast<std::int64_t>(i);
      }
    });
  }
  std::vector<std::uint32_t> out;
  out.reserve(best.size());
  for (std::int64_t c : best) {
    if (c < 0) panic("cover computation: the lattice lacks a bottom concept");
    out.push_back(static_cast<std::uint32_t>(c));
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
  InterruptTicker tick;
  for (std::uint32_t c : columns) {
    tick();
    lattice.extents().for_each(c, [&](std::uint32_t g) { ++rows.start[g + 1]; });
  }
  for (std::size_t g = 0; g < n; ++g) rows.start[g + 1] += rows.start[g];
  rows.items.resize(rows.start[n]);
  std::vector<std::size_t> fill(rows.start.begin(), rows.start.end() - 1);
  for (std::size_t j = 0; j < columns.size(); ++j) {
    tick();
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
  resize_polled(start, concepts + 1);
  InterruptTicker tick;
  for (const CoverPair& p : pairs) {
    tick();
    ++start[p.first + 1];
  }
  for (std::size_t c = 0; c < concepts; ++c) start[c + 1] += start[c];
  std::vector<CoverPair> out;
  resize_polled(out, pairs.size());
  for (const CoverPair& p : pairs) {
    tick();
    out[start[p.first]++] = p;
  }
  return out;
}

}  // namespace

std::vector<CoverPair> compute_covers(const Lattice& lattice) {
  if (lattice.size() < 2) return {};
  std::deque<CoverPair> pairs;
  const ObjectRows rows = object_rows(lattice, attribute_concepts(lattice));
  NeighbourStep step(lattice, rows);
  InterruptTicker tick;
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    tick();
    step.run(i, pairs);
  }
  return sorted_by_lower(pairs, lattice.size());
}

}  // namespace quorlan
