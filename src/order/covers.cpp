// Lindig's neighbour step (2000), without comparing candidates with each other.
//
// The lower neighbours of a concept (A, B) are the concepts whose extents are maximal among the
// sets E_x = A ∩ col(x), x ∉ B; each E_x is an extent. Let k be the concept with extent E_x. An
// attribute y ∉ B has E_y ⊇ E_x exactly when y ∈ B_k, so E_x is maximal exactly when every
// y ∈ B_k \ B has E_y = E_x: when the candidates whose set equals E_x number |B_k| − |B|. One
// pass over the rows of A yields every E_x as a key, its size and the sum of random tags of its
// objects, through which an index finds k. Keys can be shared by chance; the exact check is
// x ∈ B_k and B ⊆ B_k, which say A_k ⊆ E_x, and equal sizes make the two equal.
//
// Upper neighbours are the same step with objects and attributes exchanged (intents maximal among
// B ∩ row(g), g ∉ A, through the columns of B). The step is taken on the side with fewer
// candidates. Rows and columns come from the attribute concepts, so the lattice alone suffices.
#include "order/covers.h"

#include <algorithm>
#include <span>

#include "core/grouping.h"
#include "core/interrupt.h"
#include "core/panic.h"

namespace quorlan {
namespace {

std::uint64_t mix(std::uint64_t x) {  // the finaliser of splitmix64
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

void prefetch_address(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

// An incidence relation by lines: line e lists, ascending, the items related to element e.
using Lines = Grouped<std::uint32_t>;

constexpr std::uint32_t kMissing = 0xffffffffu;

// The attribute concept of j (the one with the largest extent among those holding j), per j;
// kMissing for an attribute no concept holds (one an iceberg leaves out).
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
  for (std::int64_t c : best) out.push_back(c < 0 ? kMissing : static_cast<std::uint32_t>(c));
  return out;
}

// The columns of the context: column j is the extent of the attribute concept of j. An
// attribute without one gets an empty column: only an iceberg lacks it, and none of its
// concepts has the attribute or a candidate set made with it.
Lines columns(const Lattice& lattice) {
  const std::vector<std::uint32_t> concept_of = attribute_concepts(lattice);
  const auto size = [&](std::uint32_t c) {
    return c == kMissing ? std::size_t{0} : lattice.extents().count(c);
  };
  Lines out;
  out.start.assign(concept_of.size() + 1, 0);
  for (std::size_t j = 0; j < concept_of.size(); ++j) {
    out.start[j + 1] = out.start[j] + size(concept_of[j]);
  }
  out.items.reserve(out.start.back());
  InterruptTicker tick;
  for (std::uint32_t c : concept_of) {
    tick();
    if (c != kMissing) lattice.extents().to_list(c, out.items);
  }
  return out;
}

// Whether the lattice is whole: it holds the bottom concept, of every attribute. A lattice that
// lacks it is an iceberg (every concept above one of its concepts is in it): the sets a
// look-up seeks may then be missing, and each look-up is confirmed.
bool is_whole(const Lattice& lattice) {
  for (std::size_t i = lattice.size(); i-- > 0;) {
    if (lattice.intents().count(i) == lattice.n_attributes()) return true;
  }
  return false;
}

// The same relation by the other side's elements (of which there are `width`).
Lines by_other_side(const Lines& lines, std::size_t width) {
  InterruptTicker tick;
  return group_by_key<std::uint32_t>(width, [&](auto&& put) {
    for (std::size_t e = 0; e < lines.groups(); ++e) {
      tick();
      for (const std::uint32_t* p = lines.begin(e); p != lines.end(e); ++p) {
        put(*p, static_cast<std::uint32_t>(e));
      }
    }
  });
}

// The concepts by the key of one of their sets: the sum, modulo 2^64, of its members' tags. A
// tag is a random number shifted left past a count field with 1 in it, so that the key carries
// the set's exact size in its low bits (sizes stay below 2^32) and random bits above them. In a
// whole lattice the set sought by a look-up is always in the index, so a key that no other set
// shares names it for certain; only sets that share their key with another are told apart by
// an exact check. In an iceberg every look-up is checked, and a set not found is missing.
class KeyIndex {
 public:
  KeyIndex(const PackedSets& sets, bool colliding, bool whole) : whole_(whole) {
    const unsigned count_bits = sets.capacity() < (std::size_t{1} << 24) ? 24 : 32;
    resize_polled(tags_, sets.capacity());
    for (std::size_t e = 0; e < tags_.size(); ++e) {
      const std::uint64_t random = colliding ? 0 : mix(e + 0x9e3779b97f4a7c15ULL);
      tags_[e] = (random << count_bits) | 1;
    }
    shift_ = 60;  // 16 slots
    while ((std::size_t{1} << (64 - shift_)) < 2 * sets.size()) --shift_;
    resize_polled(slots_, std::size_t{1} << (64 - shift_), Slot{0, kEmpty, 0});
    const std::size_t mask = slots_.size() - 1;
    InterruptTicker tick;
    for (std::uint32_t k = 0; k < sets.size(); ++k) {
      tick();
      std::uint64_t key = 0;
      sets.for_each(k, [&](std::uint32_t e) { key += tags_[e]; });
      std::size_t s = slot(key);
      std::uint32_t shared = 0;
      for (; slots_[s].set != kEmpty; s = (s + 1) & mask) {
        if (slots_[s].key == key) slots_[s].shared = shared = 1;
      }
      slots_[s] = {key, k, shared};
    }
  }

  std::uint64_t tag(std::uint32_t e) const { return tags_[e]; }

  // Asks the memory for the first slot a look-up of `key` reads.
  void prefetch(std::uint64_t key) const { prefetch_address(&slots_[slot(key)]); }

  // The set with this key: the only one, or the first in probe order that `confirm` accepts;
  // `shared` tells which.
  template <class Confirm>
  std::uint32_t find(std::uint64_t key, bool& shared, Confirm&& confirm) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = slot(key); slots_[s].set != kEmpty; s = (s + 1) & mask) {
      const Slot& e = slots_[s];
      if (e.key == key && ((e.shared == 0 && whole_) || confirm(e.set))) {
        shared = e.shared != 0 || !whole_;
        return e.set;
      }
    }
    if (!whole_) {
      shared = true;  // the other candidates with this key are each looked up
      return kMissing;
    }
    panic("cover computation: an intersection of extents is not an extent of the lattice");
  }
  bool whole() const { return whole_; }

 private:
  static constexpr std::uint32_t kEmpty = 0xffffffffu;
  struct Slot {
    std::uint64_t key;
    std::uint32_t set;     // kEmpty when free
    std::uint32_t shared;  // 1 when another set has the same key
  };
  // Fibonacci hashing: the top bits of the key times 2^64 / phi.
  std::size_t slot(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ULL) >> shift_);
  }

  std::vector<std::uint64_t> tags_;  // per element of the sets
  std::vector<Slot> slots_;
  unsigned shift_;
  bool whole_;
};

// One side of the step: the concepts' key sets (extents, when lower neighbours are sought), their
// candidate sets (intents), and the lines from key elements to candidates (rows).
struct Side {
  const PackedSets& keys;
  const PackedSets& candidates;
  const Lines& lines;
};

// The neighbour step, one concept at a time; its scratch space is reused throughout.
class NeighbourStep {
 public:
  NeighbourStep(Side side, const CoverOptions& options, bool whole)
      : side_(side),
        index_(side.keys, options.colliding_keys, whole),
        scanned_(options.gathering == CoverGathering::kAuto
                     ? worth_scanning(side)
                     : options.gathering == CoverGathering::kScan),
        in_own_(side.candidates.capacity(), 0) {
    if (!scanned_) key_.assign(side.candidates.capacity(), 0);
    resize_polled(tally_, side.keys.size());
    for (std::size_t k = 0; k < tally_.size(); ++k) {
      tally_[k].candidates = static_cast<std::uint32_t>(side.candidates.count(k));
    }
    next_.resize(side.candidates.capacity());
    met_.resize(side.candidates.capacity());
  }

  // The neighbours of concept i on this side, in no particular order.
  void run(std::uint32_t i, std::vector<std::uint32_t>& neighbours) {
    own_.clear();
    side_.candidates.to_list(i, own_);
    for (std::uint32_t x : own_) in_own_[x] = 1;
    std::uint64_t* const key = scanned_ ? keys_on_chain(i) : keys_listed(i);
    group_by_key(key);
    for (const Group& g : groups_) index_.prefetch(g.key);
    for (Group& g : groups_) {
      g.found = find(i, g.key, g.first, g.shared);
      if (g.found != kMissing) prefetch_address(&tally_[g.found]);
    }
    distinct_.clear();
    for (const Group& g : groups_) {
      // Candidates with one key share their set, unless another set has that key too (or the
      // lattice is an iceberg, where one may be missing).
      if (!g.shared) {
        count_generators(i, g.found, g.size);
        continue;
      }
      for (std::uint32_t x = g.first; x != kNone; x = next_[x]) {
        bool shared = true;
        const std::uint32_t k = x == g.first ? g.found : find(i, g.key, x, shared);
        if (k != kMissing) count_generators(i, k, 1);
      }
    }
    if (!scanned_) {
      for (std::uint32_t x : met()) key[x] = 0;
    }
    for (std::uint32_t k : distinct_) {
      if (tally_[k].generators == tally_[k].candidates - own_.size()) neighbours.push_back(k);
    }
    // Candidates met on no line all give the empty key set; that concept is a neighbour when
    // there are such candidates and no other.
    if (met_count_ == 0 && own_.size() < side_.candidates.capacity()) {
      bool shared = false;
      // Only the empty set has the key 0 (its count field is 0).
      const std::uint32_t k = index_.find(0, shared, [](std::uint32_t) { return true; });
      if (k != kMissing) neighbours.push_back(k);
    }
    for (std::uint32_t x : own_) in_own_[x] = 0;
  }

 private:
  // Every candidate's key is kept, and the candidates met found by a scan, when they are few
  // (up to kScanned) and the lines of a concept's key set are not far fewer (on average, by the
  // sizes of the key sets and of the lines): then a scan costs less than listing them as met.
  // Measured: a scan wins on mushroom (17 line items per candidate), random contexts (0.4 and
  // more) and bob-ross (1.5); listing wins on T10I4D100K (0.08).
  static constexpr std::size_t kScanned = 1024;
  static bool worth_scanning(const Side& side) {
    const std::size_t candidates = side.candidates.capacity();
    if (candidates > kScanned || side.keys.capacity() == 0) return false;
    double key_elements = 0;
    for (std::size_t k = 0; k < side.keys.size(); ++k) {
      key_elements += static_cast<double>(side.keys.count(k));
    }
    const double line_items =
        static_cast<double>(side.lines.items.size()) / static_cast<double>(side.keys.capacity());
    const double lines_per_concept =
        key_elements / static_cast<double>(side.keys.size()) * line_items;
    return lines_per_concept >= 0.2 * static_cast<double>(candidates);
  }

  // The keys of every candidate, in a full array per concept of a chain: the concepts met in
  // turn whose key sets shrink, each holding the next. Concept i takes the keys of the last
  // concept of the chain whose key set holds its own, less the tags of the key elements it
  // lacks, when those are fewer than its own (lists come in depth-first or lectic order, where
  // such a concept is usually its parent); otherwise it adds up its own key set. The lines also
  // meet the concept's own candidates, which the scan passes over: adding for them costs less
  // than testing for them. met_ lists the other candidates met.
  std::uint64_t* keys_on_chain(std::uint32_t i) {
    while (!chain_.empty() && !holds_key_set(chain_.back())) chain_.pop_back();
    if (chain_keys_.size() == chain_.size()) {
      chain_keys_.emplace_back(side_.candidates.capacity());
    }
    std::vector<std::uint64_t>& key = chain_keys_[chain_.size()];
    const std::size_t own_keys = side_.keys.count(i);
    if (!chain_.empty() && side_.keys.count(chain_.back()) - own_keys < own_keys) {
      key = chain_keys_[chain_.size() - 1];
      subtract_missing(chain_.back(), i, key.data());
    } else {
      std::fill(key.begin(), key.end(), 0);
      side_.keys.for_each(i, [&](std::uint32_t g) { add_line(g, index_.tag(g), key.data()); });
    }
    chain_.push_back(i);
    met_count_ = 0;
    for (std::uint32_t x = 0; x < key.size(); ++x) {
      met_[met_count_] = x;
      met_count_ += static_cast<std::size_t>(key[x] != 0) & static_cast<std::size_t>(!in_own_[x]);
    }
    return key.data();
  }

  // Whether the key set of concept p holds that of the current concept: whether p's candidate
  // set lies within the current one.
  bool holds_key_set(std::uint32_t p) const {
    const PackedSets& c = side_.candidates;
    return c.count(p) <= own_.size() && !c.any_of(p, [&](std::uint32_t x) { return !in_own_[x]; });
  }

  // Takes off the lines of the key elements of p (a holder of i's key set) that i lacks.
  void subtract_missing(std::uint32_t p, std::uint32_t i, std::uint64_t* key) {
    const PackedSets& keys = side_.keys;
    if (!keys.is_list(i)) {
      const Word* own = keys.bits(i);
      keys.for_each(p, [&](std::uint32_t g) {
        if (!test_bit(own, g)) add_line(g, std::uint64_t{0} - index_.tag(g), key);
      });
      return;
    }
    const std::uint32_t* own = keys.list(i);
    const std::uint32_t* const own_end = own + keys.count(i);
    keys.for_each(p, [&](std::uint32_t g) {
      if (own != own_end && *own == g) {
        ++own;
      } else {
        add_line(g, std::uint64_t{0} - index_.tag(g), key);
      }
    });
  }

  void add_line(std::uint32_t g, std::uint64_t tag, std::uint64_t* key) {
    tick_();
    const std::uint32_t* const end = side_.lines.end(g);
    for (const std::uint32_t* p = side_.lines.begin(g); p != end; ++p) key[*p] += tag;
  }

  // Many candidates: the keys of those met only, gathered in one array and cleared after use.
  std::uint64_t* keys_listed(std::uint32_t i) {
    met_count_ = 0;
    std::uint64_t* const key = key_.data();
    side_.keys.for_each(i, [&](std::uint32_t g) {
      tick_();
      const std::uint64_t tag = index_.tag(g);
      const std::uint32_t* const end = side_.lines.end(g);
      for (const std::uint32_t* p = side_.lines.begin(g); p != end; ++p) {
        const std::uint32_t x = *p;
        if (in_own_[x]) continue;
        if (key[x] == 0) met_[met_count_++] = x;
        key[x] += tag;
      }
    });
    return key;
  }

  // The concept whose key set is candidate x's, given its key. A concept once found while at i
  // lies below i (its key set within i's).
  std::uint32_t find(std::uint32_t i, std::uint64_t key, std::uint32_t x, bool& shared) const {
    return index_.find(key, shared, [&](std::uint32_t c) {
      return member(c, x) && (tally_[c].stamp == i + 1 || holds_own(c));
    });
  }

  void count_generators(std::uint32_t i, std::uint32_t k, std::uint32_t count) {
    Tally& t = tally_[k];
    if (t.stamp != i + 1) {
      t.stamp = i + 1;
      t.generators = 0;
      distinct_.push_back(k);
    }
    t.generators += count;
  }

  // The candidates met, grouped by key (a small hash table of its own): one look-up in the
  // large index per group instead of one per candidate.
  void group_by_key(const std::uint64_t* key) {
    groups_.clear();
    std::size_t size = 16;
    while (size < 2 * met_count_) size *= 2;
    if (table_.size() < size) table_.resize(size);
    std::fill_n(table_.begin(), size, kNone);
    for (std::uint32_t x : met()) {
      std::size_t s = (key[x] >> 32) & (size - 1);  // random bits of the key
      for (; table_[s] != kNone && groups_[table_[s]].key != key[x]; s = (s + 1) & (size - 1)) {
      }
      if (table_[s] == kNone) {
        table_[s] = static_cast<std::uint32_t>(groups_.size());
        groups_.push_back({key[x], x, 0, 0, false});
        next_[x] = kNone;
      } else {
        Group& g = groups_[table_[s]];
        next_[x] = g.first;
        g.first = x;
      }
      ++groups_[table_[s]].size;
    }
  }

  std::span<const std::uint32_t> met() const { return {met_.data(), met_count_}; }

  bool member(std::uint32_t k, std::uint32_t x) const {
    const PackedSets& c = side_.candidates;
    if (!c.is_list(k)) return test_bit(c.bits(k), x);
    return std::binary_search(c.list(k), c.list(k) + c.count(k), x);
  }

  // Whether the candidate set of k holds the concept's own one.
  bool holds_own(std::uint32_t k) const {
    const PackedSets& c = side_.candidates;
    if (c.count(k) < own_.size()) return false;
    if (!c.is_list(k)) {
      return std::all_of(own_.begin(), own_.end(),
                         [&](std::uint32_t x) { return test_bit(c.bits(k), x); });
    }
    std::size_t shared = 0;
    for (const std::uint32_t* p = c.list(k); p != c.list(k) + c.count(k); ++p)
      shared += in_own_[*p];
    return shared == own_.size();
  }

  const Side side_;
  KeyIndex index_;
  bool scanned_;
  InterruptTicker tick_;
  std::vector<std::uint8_t> in_own_;  // marks the concept's own candidate set
  std::vector<std::uint32_t> own_;    // that set as a list
  std::vector<std::uint32_t> met_;    // the other candidates met: the first met_count_
  std::size_t met_count_ = 0;
  std::vector<std::uint32_t> chain_;  // scanned: the chain of concepts, latest last
  std::vector<std::vector<std::uint64_t>> chain_keys_;  // scanned: the keys of each
  std::vector<std::uint64_t> key_;                      // listed: per candidate, 0 when not met
  static constexpr std::uint32_t kNone = 0xffffffffu;
  struct Group {
    std::uint64_t key;
    std::uint32_t first;  // the candidates of the group: first, next_[first], ...
    std::uint32_t size;
    std::uint32_t found;  // the concept of the key set of `first`
    bool shared;          // another concept has the same key
  };
  std::vector<Group> groups_;
  std::vector<std::uint32_t> table_;  // group numbers by key, kNone for free slots
  std::vector<std::uint32_t> next_;   // per candidate: the next one of its group
  struct Tally {
    std::uint32_t stamp;       // i + 1 once found while at concept i
    std::uint32_t generators;  // the candidates giving it, while at i
    std::uint32_t candidates;  // the size of its candidate set
  };
  std::vector<Tally> tally_;             // per concept
  std::vector<std::uint32_t> distinct_;  // the concepts given while at i
};

// Pairs as they are found, packed in one word each: lower concept in the high half.
class FoundPairs {
 public:
  void add(std::uint32_t lower, std::uint32_t upper) {
    pairs_.push_back((std::uint64_t{lower} << 32) | upper);
  }

  // Lower neighbours come grouped by upper concept, ascending; bucketing them by lower concept
  // keeps that order within each bucket, so the result is sorted by lower, then upper.
  std::vector<CoverPair> sorted_by_lower(std::size_t concepts) const {
    return group_by_key<CoverPair>(concepts,
                                   [&](auto&& put) {
                                     for_polled(0, pairs_.size(), [&](std::size_t k) {
                                       put(lower(k), {lower(k), upper(k)});
                                     });
                                   })
        .items;
  }

  // Upper neighbours come grouped by lower concept, ascending, and sorted within each group.
  std::vector<CoverPair> in_order() const {
    std::vector<CoverPair> out;
    resize_polled(out, pairs_.size());
    InterruptTicker tick;
    for (std::size_t k = 0; k < pairs_.size(); ++k) {
      tick();
      out[k] = {lower(k), upper(k)};
    }
    return out;
  }

 private:
  std::uint32_t lower(std::size_t k) const { return static_cast<std::uint32_t>(pairs_[k] >> 32); }
  std::uint32_t upper(std::size_t k) const { return static_cast<std::uint32_t>(pairs_[k]); }

  GrowArray<std::uint64_t> pairs_;  // grows by remapping its pages, not by copying them
};

// take(i, neighbours) for every concept i below `size`, with its neighbours on the step's side.
template <class Take>
void each_neighbours(std::size_t size, NeighbourStep& step, Take&& take) {
  std::vector<std::uint32_t> neighbours;
  InterruptTicker tick;
  for (std::uint32_t i = 0; i < size; ++i) {
    tick();
    neighbours.clear();
    step.run(i, neighbours);
    take(i, neighbours);
  }
}

}  // namespace

std::vector<CoverPair> compute_covers(const Lattice& lattice, const CoverOptions& options) {
  if (lattice.size() < 2) return {};
  const bool from_attributes =
      options.side == CoverSide::kAttributes ||
      (options.side == CoverSide::kAuto && lattice.n_attributes() <= lattice.n_objects());
  const Lines by_attribute = columns(lattice);
  const bool whole = is_whole(lattice);
  FoundPairs pairs;
  if (from_attributes) {
    // Lower covers, found in any order and sorted once all are.
    const Lines rows = by_other_side(by_attribute, lattice.n_objects());
    NeighbourStep step({lattice.extents(), lattice.intents(), rows}, options, whole);
    each_neighbours(lattice.size(), step, [&](std::uint32_t i, std::vector<std::uint32_t>& ks) {
      for (std::uint32_t k : ks) pairs.add(k, i);
    });
    return pairs.sorted_by_lower(lattice.size());
  }
  // Upper covers, each concept's sorted as found: the pairs come in the result's order.
  NeighbourStep step({lattice.intents(), lattice.extents(), by_attribute}, options, whole);
  each_neighbours(lattice.size(), step, [&](std::uint32_t i, std::vector<std::uint32_t>& ks) {
    std::sort(ks.begin(), ks.end());
    for (std::uint32_t k : ks) pairs.add(i, k);
  });
  return pairs.in_order();
}

}  // namespace quorlan
