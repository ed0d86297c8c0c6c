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
      std::size_t s = hash(buf) & (cap - 1);
      while (slots_[s] != kEmpty) s = (s + 1) & (cap - 1);
      slots_[s] = static_cast<std::uint32_t>(i);
    }
  }

  std::uint32_t find(const std::vector<std::uint32_t>& members) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = hash(members) & mask; slots_[s] != kEmpty; s = (s + 1) & mask) {
      if (same(slots_[s], members)) return slots_[s];
    }
    panic("cover computation: an intersection of extents is not an extent of the lattice");
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xffffffffu;

  static std::uint64_t hash(const std::vector<std::uint32_t>& members) {
    std::uint64_t h = members.size();
    for (std::uint32_t x : members) h = mix(h, x);
    return h;
  }
  bool same(std::uint32_t i, const std::vector<std::uint32_t>& members) const {
    if (extents_.count(i) != members.size()) return false;
    if (extents_.is_list(i)) {
      return std::equal(members.begin(), members.end(), extents_.list(i));
    }
    const Word* w = extents_.bits(i);
    for (std::uint32_t x : members) {
      if (((w[x / kWordBits] >> (x % kWordBits)) & 1u) == 0) return false;
    }
    return true;
  }

  const PackedSets& extents_;
  std::vector<std::uint32_t> slots_;
};

}  // namespace

// Lower neighbours of each concept (A, B) are the maximal sets among A ∩ col(j), j ∉ B; Lindig's
// test (2000) picks each of them exactly once without comparing candidates pairwise. Columns
// are the extents of the attribute concepts, so the lattice alone suffices.
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
  const std::size_t nw = words_for(n);
  std::vector<Word> columns(m * nw, 0);
  for (std::size_t j = 0; j < m; ++j) {
    if (attribute_concept[j] < 0) panic("cover computation: the lattice lacks a bottom concept");
    extents.to_words(static_cast<std::size_t>(attribute_concept[j]), columns.data() + j * nw);
  }

  ExtentIndex index(extents);
  const std::size_t mw = words_for(m);
  std::vector<Word> b(mw), d(mw), candidates(mw);
  std::vector<std::uint32_t> a, c;
  for (std::size_t i = 0; i < N; ++i) {
    a.clear();
    extents.to_list(i, a);
    intents.to_words(i, b.data());
    // candidates ("min" in Lindig's paper): attributes outside B not yet known to generate
    // a concept below some other candidate.
    for (std::size_t w = 0; w < mw; ++w) candidates[w] = ~b[w];
    if (m % kWordBits != 0) candidates[m / kWordBits] &= (Word{1} << (m % kWordBits)) - 1;
    for (std::size_t w = m / kWordBits + (m % kWordBits != 0); w < mw; ++w) candidates[w] = 0;
    for (std::size_t j = 0; j < m; ++j) {
      if ((b[j / kWordBits] >> (j % kWordBits)) & 1u) continue;
      const Word* col = columns.data() + j * nw;
      c.clear();
      for (std::uint32_t g : a) {
        if ((col[g / kWordBits] >> (g % kWordBits)) & 1u) c.push_back(g);
      }
      const std::uint32_t k = index.find(c);
      intents.to_words(k, d.data());
      d[j / kWordBits] &= ~(Word{1} << (j % kWordBits));
      bool blocked = false;
      for (std::size_t w = 0; w < mw && !blocked; ++w)
        blocked = (d[w] & ~b[w] & candidates[w]) != 0;
      if (blocked) {
        candidates[j / kWordBits] &= ~(Word{1} << (j % kWordBits));
      } else {
        pairs.emplace_back(k, static_cast<std::uint32_t>(i));
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace quorlan
