#include "order/lattice_order.h"

#include <algorithm>
#include <unordered_map>

#include "core/interrupt.h"
#include "core/panic.h"

namespace quorlan {
namespace {

std::uint64_t mix(std::uint64_t h, std::uint32_t x) {
  h ^= x + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h * 0xFF51AFD7ED558CCDull;
}

// A set of one side as bit words, for membership tests.
std::vector<Word> words_of(const PackedSets& sets, std::size_t i) {
  std::vector<Word> w(sets.words_per_set());
  sets.to_words(i, w.data());
  return w;
}

IndexList list_of(const PackedSets& sets, std::size_t i) {
  IndexList out;
  sets.to_list(i, out);
  return out;
}

// acc := acc ∩ set i of `sets`, both ascending.
void intersect_with(IndexList& acc, const PackedSets& sets, std::size_t i) {
  if (!sets.is_list(i)) {
    const Word* w = sets.bits(i);
    std::erase_if(acc, [&](std::uint32_t x) { return !test_bit(w, x); });
    return;
  }
  const std::uint32_t* p = sets.list(i);
  const std::uint32_t* end = p + sets.count(i);
  std::size_t kept = 0;
  for (std::uint32_t x : acc) {
    p = std::lower_bound(p, end, x);
    if (p == end) break;
    if (*p == x) acc[kept++] = x;
  }
  acc.resize(kept);
}

IndexList intersection(const IndexList& a, const IndexList& b) {
  IndexList out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

IndexList all_below(std::size_t n) {
  IndexList out(n);
  for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<std::uint32_t>(k);
  return out;
}

void sort_unique(IndexList& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Derived sets counted by their content: how many attributes (or objects) led to each.
class DerivedCounts {
 public:
  void add(IndexList set) {
    std::uint64_t h = 0;
    for (std::uint32_t x : set) h = mix(h, x);
    std::vector<std::size_t>& bucket = by_hash_[h];
    for (std::size_t k : bucket) {
      if (sets_[k] == set) {
        ++counts_[k];
        return;
      }
    }
    bucket.push_back(sets_.size());
    sets_.push_back(std::move(set));
    counts_.push_back(1);
  }
  std::size_t size() const { return sets_.size(); }
  const IndexList& set(std::size_t k) const { return sets_[k]; }
  std::size_t count(std::size_t k) const { return counts_[k]; }

 private:
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> by_hash_;
  std::vector<IndexList> sets_;
  std::vector<std::size_t> counts_;
};

}  // namespace

LatticeOrder::LatticeOrder(const Lattice& lattice, const Context& context)
    : lattice_(lattice),
      context_(context),
      columns_(group_by_key<std::uint32_t>(context.n_attributes(), [&](auto put) {
        const PackedSets& rows = context.rows();
        for_polled(0, rows.size(), [&](std::size_t g) {
          rows.for_each(g, [&](std::uint32_t j) { put(j, static_cast<std::uint32_t>(g)); });
        });
      })) {
  std::size_t slots = 16;
  while (slots < 2 * lattice.size()) slots *= 2;
  table_.assign(slots, 0);
  for_polled(0, lattice.size(), [&](std::size_t i) {
    std::size_t s = hash_of_concept(static_cast<std::uint32_t>(i)) & (slots - 1);
    while (table_[s] != 0) s = (s + 1) & (slots - 1);
    table_[s] = static_cast<std::uint32_t>(i + 1);
  });
}

std::uint64_t LatticeOrder::hash_of(const std::uint32_t* items, std::size_t count) {
  std::uint64_t h = 0;
  for (std::size_t k = 0; k < count; ++k) h = mix(h, items[k]);
  return h;
}

std::uint64_t LatticeOrder::hash_of_concept(std::uint32_t i) const {
  std::uint64_t h = 0;
  lattice_.intents().for_each(i, [&](std::uint32_t x) { h = mix(h, x); });
  return h;
}

bool LatticeOrder::intent_equals(std::uint32_t i, const IndexList& intent) const {
  const PackedSets& intents = lattice_.intents();
  if (intents.count(i) != intent.size()) return false;
  std::size_t k = 0;
  return !intents.any_of(i, [&](std::uint32_t x) { return intent[k++] != x; });
}

std::optional<std::uint32_t> LatticeOrder::find_intent(const IndexList& intent) const {
  const std::size_t mask = table_.size() - 1;
  for (std::size_t s = hash_of(intent.data(), intent.size()) & mask; table_[s] != 0;
       s = (s + 1) & mask) {
    if (intent_equals(table_[s] - 1, intent)) return table_[s] - 1;
  }
  return std::nullopt;
}

IndexList LatticeOrder::intent_of(const IndexList& objects) const {
  if (objects.empty()) return all_below(context_.n_attributes());
  IndexList acc = list_of(context_.rows(), objects[0]);
  for (std::size_t k = 1; k < objects.size() && !acc.empty(); ++k) {
    intersect_with(acc, context_.rows(), objects[k]);
  }
  return acc;
}

IndexList LatticeOrder::extent_of(const IndexList& attributes) const {
  if (attributes.empty()) return all_below(context_.n_objects());
  const auto column = [&](std::uint32_t j) {
    return IndexList(columns_.begin(j), columns_.end(j));
  };
  IndexList acc = column(attributes[0]);
  for (std::size_t k = 1; k < attributes.size() && !acc.empty(); ++k) {
    acc = intersection(acc, column(attributes[k]));
  }
  return acc;
}

std::optional<std::uint32_t> LatticeOrder::generated_by_attributes(IndexList attributes) const {
  sort_unique(attributes);
  return find_intent(intent_of(extent_of(attributes)));
}

std::optional<std::uint32_t> LatticeOrder::generated_by_objects(IndexList objects) const {
  sort_unique(objects);
  return find_intent(intent_of(objects));
}

// Each object g outside A leads to the intent B ∩ g' of (A ∪ {g})''; that concept is an upper
// neighbour when every object it adds to A leads to it.
IndexList LatticeOrder::upper_neighbours(std::uint32_t i) const {
  const std::vector<Word> a = words_of(lattice_.extents(), i);
  const std::vector<Word> b = words_of(lattice_.intents(), i);
  DerivedCounts derived;
  InterruptTicker tick;
  for (std::uint32_t g = 0; g < context_.n_objects(); ++g) {
    tick();
    if (test_bit(a.data(), g)) continue;
    IndexList d;
    context_.rows().for_each(g, [&](std::uint32_t j) {
      if (test_bit(b.data(), j)) d.push_back(j);
    });
    derived.add(std::move(d));
  }
  IndexList out;
  const std::size_t a_size = lattice_.extents().count(i);
  for (std::size_t k = 0; k < derived.size(); ++k) {
    const std::optional<std::uint32_t> c = find_intent(derived.set(k));
    if (c && lattice_.extents().count(*c) - a_size == derived.count(k)) out.push_back(*c);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Each attribute m outside B leads to the intent of A ∩ m', that of (B ∪ {m})''; that concept
// is a lower neighbour when every attribute it adds to B leads to it.
IndexList LatticeOrder::lower_neighbours(std::uint32_t i) const {
  const IndexList a = list_of(lattice_.extents(), i);
  const std::vector<Word> b = words_of(lattice_.intents(), i);
  // The objects of A in each column outside B, gathered row by row.
  std::unordered_map<std::uint32_t, IndexList> columns;
  InterruptTicker tick;
  for (std::uint32_t g : a) {
    tick();
    context_.rows().for_each(g, [&](std::uint32_t j) {
      if (!test_bit(b.data(), j)) columns[j].push_back(g);
    });
  }
  DerivedCounts derived;
  const std::size_t outside = context_.n_attributes() - lattice_.intents().count(i);
  if (columns.size() < outside) {  // the attributes no object of A has: all lead to A = ∅
    const IndexList all = intent_of({});
    for (std::size_t k = columns.size(); k < outside; ++k) derived.add(all);
  }
  for (const auto& [j, objects] : columns) {
    tick();
    derived.add(intent_of(objects));
  }
  IndexList out;
  const std::size_t b_size = lattice_.intents().count(i);
  for (std::size_t k = 0; k < derived.size(); ++k) {
    if (derived.set(k).size() - b_size != derived.count(k)) continue;
    if (const std::optional<std::uint32_t> c = find_intent(derived.set(k))) out.push_back(*c);
  }
  std::sort(out.begin(), out.end());
  return out;
}

IndexList LatticeOrder::up_set(std::uint32_t i) const {
  const PackedSets& intents = lattice_.intents();
  const std::vector<Word> b = words_of(intents, i);
  IndexList out;
  InterruptTicker tick;
  for (std::uint32_t j = 0; j < lattice_.size(); ++j) {
    tick();
    if (intents.count(j) > intents.count(i)) continue;
    if (!intents.any_of(j, [&](std::uint32_t x) { return !test_bit(b.data(), x); })) {
      out.push_back(j);
    }
  }
  return out;
}

IndexList LatticeOrder::down_set(std::uint32_t i) const {
  const PackedSets& intents = lattice_.intents();
  const IndexList b = list_of(intents, i);
  IndexList out;
  InterruptTicker tick;
  for (std::uint32_t j = 0; j < lattice_.size(); ++j) {
    tick();
    if (intents.count(j) < b.size()) continue;
    IndexList common = b;
    intersect_with(common, intents, j);
    if (common.size() == b.size()) out.push_back(j);
  }
  return out;
}

std::optional<std::uint32_t> LatticeOrder::join(std::uint32_t i, std::uint32_t j) const {
  return find_intent(intersection(list_of(lattice_.intents(), i), list_of(lattice_.intents(), j)));
}

std::optional<std::uint32_t> LatticeOrder::meet(std::uint32_t i, std::uint32_t j) const {
  return find_intent(
      intent_of(intersection(list_of(lattice_.extents(), i), list_of(lattice_.extents(), j))));
}

std::optional<std::uint32_t> LatticeOrder::top() const {
  if (lattice_.size() == 0) return std::nullopt;
  std::uint32_t best = 0;
  for (std::uint32_t j = 1; j < lattice_.size(); ++j) {
    if (lattice_.extents().count(j) > lattice_.extents().count(best)) best = j;
  }
  return best;
}

std::optional<std::uint32_t> LatticeOrder::bottom() const {
  return find_intent(all_below(context_.n_attributes()));
}

// Pairs come by ascending lower index, so each concept's lower covers come out ascending.
CoversByUpper::CoversByUpper(std::size_t n, const std::vector<CoverPair>& covers)
    : lowers_(group_by_key<std::uint32_t>(n, [&](auto put) {
        for (const CoverPair& c : covers) put(c.second, c.first);
      })) {}

const std::vector<CoverPair>& OrderCache::covers(const Lattice& lattice) {
  if (!covers_) covers_ = std::make_unique<std::vector<CoverPair>>(compute_covers(lattice));
  return *covers_;
}

const CoversByUpper& OrderCache::by_upper(const Lattice& lattice) {
  if (!by_upper_) by_upper_ = std::make_unique<CoversByUpper>(lattice.size(), covers(lattice));
  return *by_upper_;
}

const LatticeOrder& OrderCache::order(const Lattice& lattice, const Context& context) {
  if (!order_) order_ = std::make_unique<LatticeOrder>(lattice, context);
  return *order_;
}

IndexList upper_covers_in(const std::vector<CoverPair>& covers, std::uint32_t i) {
  const auto first = std::lower_bound(covers.begin(), covers.end(), CoverPair{i, 0});
  IndexList out;
  for (auto p = first; p != covers.end() && p->first == i; ++p) out.push_back(p->second);
  return out;
}

ComparableSets::ComparableSets(const Lattice& lattice, const IndexList& chosen)
    : by_extent_(lattice.extents().words_per_set() <= lattice.intents().words_per_set()),
      words_(by_extent_ ? lattice.extents().words_per_set() : lattice.intents().words_per_set()),
      bits_(chosen.size() * words_) {
  const PackedSets& side = by_extent_ ? lattice.extents() : lattice.intents();
  for_polled(0, chosen.size(),
             [&](std::size_t k) { side.to_words(chosen[k], bits_.data() + k * words_); });
}

bool ComparableSets::below(std::size_t s, std::size_t t) const {
  const Word* small = bits_.data() + (by_extent_ ? s : t) * words_;
  const Word* large = bits_.data() + (by_extent_ ? t : s) * words_;
  for (std::size_t w = 0; w < words_; ++w) {
    if ((small[w] & ~large[w]) != 0) return false;
  }
  return true;
}

std::vector<CoverPair> shown_covers(const Lattice& lattice, const IndexList& shown) {
  const ComparableSets sets(lattice, shown);
  // By ascending extent size: whatever lies between s and t comes before t.
  std::vector<std::size_t> by_size(shown.size());
  for (std::size_t k = 0; k < shown.size(); ++k) by_size[k] = k;
  std::stable_sort(by_size.begin(), by_size.end(), [&](std::size_t x, std::size_t y) {
    return lattice.extents().count(shown[x]) < lattice.extents().count(shown[y]);
  });
  std::vector<CoverPair> out;
  std::vector<std::size_t> covers;
  InterruptTicker tick;
  for (std::size_t s = 0; s < shown.size(); ++s) {
    covers.clear();
    const std::size_t size = lattice.extents().count(shown[s]);
    for (std::size_t t : by_size) {
      tick();
      if (lattice.extents().count(shown[t]) <= size || !sets.below(s, t)) continue;
      if (std::none_of(covers.begin(), covers.end(),
                       [&](std::size_t u) { return sets.below(u, t); })) {
        covers.push_back(t);
        out.emplace_back(shown[s], shown[t]);
      }
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

// Set `i` of `sets` without the members of the sets `others`, ascending.
IndexList without_others(const PackedSets& sets, std::uint32_t i, const IndexList& others,
                         std::vector<Word>& scratch) {
  IndexList out;
  if (others.empty()) {
    sets.to_list(i, out);
    return out;
  }
  std::vector<Word> one(sets.words_per_set());
  scratch.assign(sets.words_per_set(), 0);
  for (std::uint32_t o : others) {
    sets.to_words(o, one.data());
    for (std::size_t w = 0; w < one.size(); ++w) scratch[w] |= one[w];
  }
  sets.for_each(i, [&](std::uint32_t x) {
    if (!test_bit(scratch.data(), x)) out.push_back(x);
  });
  return out;
}

}  // namespace

ReducedLabels reduced_labels(const Lattice& lattice, const IndexList& shown,
                             const std::vector<CoverPair>& covers) {
  std::unordered_map<std::uint32_t, std::size_t> place;
  for (std::size_t k = 0; k < shown.size(); ++k) place.emplace(shown[k], k);
  std::vector<IndexList> lowers(shown.size()), uppers(shown.size());
  for (const auto& [lower, upper] : covers) {
    const auto l = place.find(lower), u = place.find(upper);
    if (l == place.end() || u == place.end()) {
      throw Panic("reduced_labels: a cover joins a concept that is not shown");
    }
    lowers[u->second].push_back(lower);
    uppers[l->second].push_back(upper);
  }
  ReducedLabels out;
  out.objects.reserve(shown.size());
  out.attributes.reserve(shown.size());
  std::vector<Word> scratch;
  for_polled(0, shown.size(), [&](std::size_t k) {
    out.objects.push_back(without_others(lattice.extents(), shown[k], lowers[k], scratch));
    out.attributes.push_back(without_others(lattice.intents(), shown[k], uppers[k], scratch));
  });
  return out;
}

}  // namespace quorlan
