#include "core/concept.h"

#include <algorithm>

#include "core/panic.h"

namespace quorlan {

std::vector<Concept> Lattice::concepts() const {
  std::vector<Concept> out;
  out.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) out.push_back(concept_at(i));
  return out;
}

const std::vector<CoverPair>& Lattice::covers() const {
  if (!covers_) covers_ = std::make_unique<std::vector<CoverPair>>(compute_covers(*this));
  return *covers_;
}

namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t x) {
  h ^= x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h * 0xff51afd7ed558ccdULL;
}

// Extents are unique among the concepts of a lattice, so an extent identifies its concept.
class ExtentIndex {
 public:
  explicit ExtentIndex(const PackedSets& extents) : extents_(extents) {
    std::size_t cap = 16;
    while (cap < 2 * extents.size()) cap *= 2;
    slots_.assign(cap, kEmpty);
    std::vector<std::uint32_t> buf;
    for (std::size_t i = 0; i < extents.size(); ++i) {
      buf.clear();
      extents.to_list(i, buf);
      std::size_t s = hash(buf.data(), buf.size()) & (cap - 1);
      while (slots_[s] != kEmpty) s = (s + 1) & (cap - 1);
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

}  // namespace

// Lower neighbours of each concept (A, B) are the maximal sets among A ∩ col(j), j ∉ B. Lindig's
// test (2000) picks each of them exactly once without comparing candidates pairwise: j is kept
// as a candidate ("min" in the paper) until a concept it generates is seen to contain another
// candidate, and a concept is a neighbour when its generator finds no other candidate in it.
// The test is right in any order of the attributes, so the attributes that some object of A has
// come first, their extents A ∩ col(j) delivered all at once through the rows, and the others
// (all generating the concept with the empty extent) last, as one group. Rows and columns come
// from the extents of the attribute concepts, so the lattice alone suffices.
std::vector<CoverPair> compute_covers(const Lattice& lattice) {
  const std::size_t N = lattice.size();
  const std::size_t n = lattice.n_objects();
  const std::size_t m = lattice.n_attributes();
  const PackedSets& extents = lattice.extents();
  const PackedSets& intents = lattice.intents();
  std::vector<CoverPair> pairs;
  if (N < 2) return pairs;

  // The attribute concept of j is the one with the largest extent among those holding j.
  std::vector<std::int64_t> attribute_concept(m, -1);
  for (std::size_t i = 0; i < N; ++i) {
    intents.for_each(i, [&](std::uint32_t j) {
      std::int64_t& best = attribute_concept[j];
      if (best < 0 || extents.count(i) > extents.count(static_cast<std::size_t>(best))) {
        best = static_cast<std::int64_t>(i);
      }
    });
  }
  // Row g lists the attributes whose column holds g, ascending.
  std::vector<std::size_t> row_start(n + 1, 0);
  for (std::size_t j = 0; j < m; ++j) {
    if (attribute_concept[j] < 0) panic("cover computation: the lattice lacks a bottom concept");
    extents.for_each(static_cast<std::size_t>(attribute_concept[j]),
                     [&](std::uint32_t g) { ++row_start[g + 1]; });
  }
  for (std::size_t g = 0; g < n; ++g) row_start[g + 1] += row_start[g];
  std::vector<std::uint32_t> row_items(row_start[n]);
  {
    std::vector<std::size_t> fill(row_start.begin(), row_start.end() - 1);
    for (std::size_t j = 0; j < m; ++j) {
      extents.for_each(static_cast<std::size_t>(attribute_concept[j]), [&](std::uint32_t g) {
        row_items[fill[g]++] = static_cast<std::uint32_t>(j);
      });
    }
  }

  ExtentIndex index(extents);
  std::int64_t empty_extent = -1;  // the concept with no objects, looked up when first needed
  std::vector<std::uint8_t> in_b(m, 0);
  std::vector<std::uint64_t> removed(m, 0);  // j left the candidates while treating concept i - 1
  std::vector<std::uint32_t> count(m, 0), touched, buckets;
  std::vector<std::size_t> bucket_start(m, 0);
  std::vector<std::uint32_t> a;
  for (std::size_t i = 0; i < N; ++i) {
    const std::uint64_t stamp = i + 1;
    a.clear();
    extents.to_list(i, a);
    intents.for_each(i, [&](std::uint32_t x) { in_b[x] = 1; });
    touched.clear();
    for (std::uint32_t g : a) {
      for (std::size_t p = row_start[g]; p < row_start[g + 1]; ++p) {
        const std::uint32_t x = row_items[p];
        if (!in_b[x] && count[x]++ == 0) touched.push_back(x);
      }
    }
    std::size_t total = 0;
    for (std::uint32_t x : touched) {
      bucket_start[x] = total;
      total += count[x];
      count[x] = 0;
    }
    buckets.resize(total);
    for (std::uint32_t g : a) {
      for (std::size_t p = row_start[g]; p < row_start[g + 1]; ++p) {
        const std::uint32_t x = row_items[p];
        if (!in_b[x]) buckets[bucket_start[x] + count[x]++] = g;
      }
    }
    bool candidate_left = false;
    for (std::uint32_t j : touched) {
      const std::uint32_t k = index.find(buckets.data() + bucket_start[j], count[j]);
      const bool blocked = intents.any_of(
          k, [&](std::uint32_t x) { return x != j && !in_b[x] && removed[x] != stamp; });
      if (blocked) {
        removed[j] = stamp;
      } else {
        pairs.emplace_back(k, static_cast<std::uint32_t>(i));
        candidate_left = true;
      }
    }
    // The attributes no object of A has generate the concept with the empty extent, whose intent
    // is every attribute: taken one by one, each is blocked while another candidate is left, so
    // that concept is a neighbour exactly when the group is not empty and nothing else is left.
    const std::size_t outside = m - intents.count(i);
    if (outside > touched.size() && !candidate_left) {
      if (empty_extent < 0) empty_extent = index.find(nullptr, 0);
      pairs.emplace_back(static_cast<std::uint32_t>(empty_extent), static_cast<std::uint32_t>(i));
    }
    for (std::uint32_t x : touched) count[x] = 0;
    intents.for_each(i, [&](std::uint32_t x) { in_b[x] = 0; });
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace quorlan
