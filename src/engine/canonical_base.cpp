// The Duquenne–Guigues canonical base (Guigues & Duquenne 1986). The intents and the
// pseudo-intents are together the closed sets of one closure system: close a set under the
// implications P → P'' of the pseudo-intents P it does not equal. Its close-by-one tree, walked
// with siblings from the largest generating attribute down, meets the sets in lectic order
// (Ganter 1984), so every pseudo-intent comes after all the pseudo-intents it contains and the
// implications found so far always suffice. Each child's closure starts from its parent's
// closed set and adds only the new attributes (the tree walk of LinCbO, Janoštík, Konečný &
// Krajča 2021), and is computed when the child is reached rather than when its parent is
// expanded, since implications found below its larger siblings take part in it. The premises
// come out in ascending lectic order, as the base lists them.
#include "engine/canonical_base.h"

#include <algorithm>
#include <random>

#include "core/interrupt.h"
#include "diagnostics/events.h"
#include "engine/forms.h"
#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"

namespace quorlan {
namespace {

// The enumeration's forms of the context and its memo of refuted attributes, shared with it.
using internal::DenseContext;
using internal::FailureMemo;
using internal::Refutation;
using internal::SparseContext;

constexpr const char* kBaseFields[] = {"message", "algorithm", "implications", "objects",
                                       "attributes"};

// The implications found so far. Finding those an added attribute x makes applicable (x in the
// premise, the premise within the set T) takes one of two ways, whichever costs less: scan the
// implications whose premise holds x, or look up every subset of T that contains x and is no
// larger than the largest premise in a table of premises, hashed as the XOR of one random key
// per attribute (Zobrist).
class Implications {
 public:
  explicit Implications(std::size_t m) : keys_(m), by_attribute_(m), premises_(m), added_(m) {
    std::mt19937_64 rng(0x9e3779b97f4a7c15ULL);
    for (std::uint64_t& k : keys_) k = rng() | 1;
    slots_.assign(1024, kEmpty);
  }

  std::size_t size() const { return premises_.size(); }
  // What implication id adds to its premise: ascending, as a list or as bit words.
  const PackedSets& added() const { return added_; }

  // premise → premise + added (added: ascending, disjoint from the premise).
  void add(const std::vector<std::uint32_t>& premise, const std::vector<std::uint32_t>& added) {
    const auto id = static_cast<std::uint32_t>(size());
    std::uint64_t hash = 0;
    for (std::uint32_t x : premise) {
      by_attribute_[x].push_back(id);
      hash ^= keys_[x];
    }
    premises_.push_list(premise.data(), premise.size());
    added_.push_list(added.data(), added.size());
    largest_premise_ = std::max(largest_premise_, premise.size());
    if (2 * (size() + 1) > slots_.size()) grow();
    insert(hash, id);
  }

  // Calls fire(id) for every implication whose premise holds x and lies within T (the bits
  // `in_t`; `members` lists count of T's other members) until fire answers true; answers
  // whether it did. An implication whose premise also holds a member added after x may fire
  // again for that member, adding nothing then.
  template <class Fire>
  bool any_fired_by(std::uint32_t x, const Word* in_t, const std::uint32_t* members,
                    std::size_t count, Fire&& fire) {
    const std::vector<std::uint32_t>& scan = by_attribute_[x];
    if (scan.empty()) return false;
    if (subset_lookups(count, scan.size()) >= scan.size()) {
      for (std::uint32_t id : scan) {
        if (within(id, in_t) && fire(id)) return true;
      }
      return false;
    }
    return any_subset(members, count, 0, 0, keys_[x], in_t, fire);
  }

 private:
  static constexpr std::uint32_t kEmpty = UINT32_MAX;

  bool within(std::uint32_t id, const Word* in_t) const {
    if (!premises_.is_list(id)) {
      return subset_below(premises_.bits(id), in_t, premises_.words_per_set() * kWordBits);
    }
    const std::uint32_t* p = premises_.list(id);
    return std::all_of(p, p + premises_.count(id),
                       [&](std::uint32_t a) { return test_bit(in_t, a); });
  }

  // How many subsets of t attributes with fewer members than the largest premise there are,
  // counted up to `cap`.
  std::size_t subset_lookups(std::size_t t, std::size_t cap) const {
    std::size_t total = 1, term = 1;
    for (std::size_t s = 1; s < largest_premise_ && s <= t && total < cap; ++s) {
      term = term * (t - s + 1) / s;
      total += term;
    }
    return total;
  }

  // Looks up x plus the `size` members hashed in `hash`, then extends them by each member of
  // members[from, count) in turn.
  template <class Fire>
  bool any_subset(const std::uint32_t* members, std::size_t count, std::size_t from,
                  std::size_t size, std::uint64_t hash, const Word* in_t, Fire& fire) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = hash & mask; slots_[s] != kEmpty; s = (s + 1) & mask) {
      // Equal hashes of two premises that both apply would only fire the other one as well.
      if (slot_hash_[s] == hash && within(slots_[s], in_t) && fire(slots_[s])) return true;
    }
    if (size + 1 >= largest_premise_) return false;
    for (std::size_t k = from; k < count; ++k) {
      if (any_subset(members, count, k + 1, size + 1, hash ^ keys_[members[k]], in_t, fire)) {
        return true;
      }
    }
    return false;
  }

  void insert(std::uint64_t hash, std::uint32_t id) {
    std::size_t s = hash & (slots_.size() - 1);
    while (slots_[s] != kEmpty) s = (s + 1) & (slots_.size() - 1);
    slots_[s] = id;
    slot_hash_[s] = hash;
  }

  void grow() {
    std::vector<std::uint32_t> ids;
    std::vector<std::uint64_t> hashes;
    for (std::size_t s = 0; s < slots_.size(); ++s) {
      if (slots_[s] == kEmpty) continue;
      ids.push_back(slots_[s]);
      hashes.push_back(slot_hash_[s]);
    }
    slots_.assign(slots_.size() * 2, kEmpty);
    slot_hash_.assign(slots_.size(), 0);
    for (std::size_t k = 0; k < ids.size(); ++k) insert(hashes[k], ids[k]);
  }

  std::vector<std::uint64_t> keys_;
  std::vector<std::vector<std::uint32_t>> by_attribute_;
  PackedSets premises_, added_;
  std::size_t largest_premise_ = 0;
  std::vector<std::uint32_t> slots_;
  std::vector<std::uint64_t> slot_hash_ = std::vector<std::uint64_t>(1024, 0);
};

// The context's side of the walk, on bit words: a node's extent narrowed from its parent's by
// the columns of the attributes it adds, and the closure of an extent.
class DenseSide {
 public:
  explicit DenseSide(const Context& context) : dc_(context) {}
  std::size_t n() const { return dc_.n; }
  std::size_t m() const { return dc_.m; }

  // Extents are kept as a stack; a handle names one, and popping it drops it and all above.
  std::size_t push_all() {
    const std::size_t at = extents_.size();
    extents_.resize(at + dc_.col_words);
    fill_below(dc_.n, dc_.col_words, extents_.data() + at);
    return at;
  }
  // Pushes the extent `parent` narrowed by the columns of the attributes `added`.
  std::size_t push_narrowed(std::size_t parent, const std::uint32_t* added, std::size_t count) {
    const std::size_t at = extents_.size();
    extents_.resize(at + dc_.col_words);
    Word* e = extents_.data() + at;
    std::copy(extents_.data() + parent, extents_.data() + parent + dc_.col_words, e);
    for (std::size_t k = 0; k < count; ++k) {
      const Word* c = dc_.col(added[k]);
      for (std::size_t w = 0; w < dc_.col_words; ++w) e[w] &= c[w];
    }
    return at;
  }
  void pop_to(std::size_t handle) { extents_.resize(handle); }
  std::size_t support(std::size_t at) const {
    return count_bits(extents_.data() + at, dc_.col_words);
  }
  // Appends to `extra` the attributes of the extent's closure that `in_t` lacks. The rows of
  // the extent are intersected until nothing outside T is left, which for an intent (most
  // closed sets) usually takes a few rows.
  void closure_beyond(std::size_t at, const Word* in_t, std::vector<std::uint32_t>& extra) {
    closure_.resize(dc_.row_words);
    fill_below(dc_.m, dc_.row_words, closure_.data());
    Word* c = closure_.data();
    const std::size_t every = dc_.row_words <= 4 ? 1 : 4;
    std::size_t rows = 0;
    any_bit(extents_.data() + at, dc_.col_words, [&](std::uint32_t g) {
      const Word* r = dc_.row(g);
      for (std::size_t w = 0; w < dc_.row_words; ++w) c[w] &= r[w];
      return ++rows % every == 0 && subset_below(c, in_t, dc_.row_words * kWordBits);
    });
    any_bit_of(
        dc_.row_words, [&](std::size_t w) { return c[w] & ~in_t[w]; },
        [&](std::uint32_t a) {
          extra.push_back(a);
          return false;
        });
  }

 private:
  DenseContext dc_;
  std::vector<Word> extents_, closure_;
};

// The same on index lists, for sparse contexts: extents are object lists, and an extent's
// closure is found by counting its rows' attributes.
class SparseSide {
 public:
  explicit SparseSide(const Context& context) : sc_(context), count_(sc_.m, 0) {}
  std::size_t n() const { return sc_.n; }
  std::size_t m() const { return sc_.m; }

  std::size_t push_all() {
    starts_.push_back(extents_.size());
    for (std::size_t g = 0; g < sc_.n; ++g) extents_.push_back(static_cast<std::uint32_t>(g));
    ends_.push_back(extents_.size());
    return starts_.size() - 1;
  }
  std::size_t push_narrowed(std::size_t parent, const std::uint32_t* added, std::size_t count) {
    const std::size_t begin = starts_[parent], end = ends_[parent];
    starts_.push_back(extents_.size());
    for (std::size_t k = begin; k < end; ++k) {
      const std::uint32_t g = extents_[k];
      const std::uint32_t* row = sc_.items.data() + sc_.row_start[g];
      const std::uint32_t* row_end = sc_.items.data() + sc_.row_start[g + 1];
      const bool all = std::all_of(added, added + count, [&](std::uint32_t a) {
        return std::binary_search(row, row_end, a);
      });
      if (all) extents_.push_back(g);
    }
    ends_.push_back(extents_.size());
    return starts_.size() - 1;
  }
  void pop_to(std::size_t handle) {
    extents_.resize(starts_[handle]);
    starts_.resize(handle);
    ends_.resize(handle);
  }
  std::size_t support(std::size_t at) const { return ends_[at] - starts_[at]; }
  void closure_beyond(std::size_t at, const Word* in_t, std::vector<std::uint32_t>& extra) {
    const std::size_t size = support(at);
    if (size == 0) {
      for (std::uint32_t a = 0; a < sc_.m; ++a) {
        if (!test_bit(in_t, a)) extra.push_back(a);
      }
      return;
    }
    touched_.clear();
    for (std::size_t k = starts_[at]; k < ends_[at]; ++k) {
      const std::uint32_t g = extents_[k];
      for (std::size_t p = sc_.row_start[g]; p < sc_.row_start[g + 1]; ++p) {
        if (count_[sc_.items[p]]++ == 0) touched_.push_back(sc_.items[p]);
      }
    }
    for (std::uint32_t a : touched_) {
      if (count_[a] == size && !test_bit(in_t, a)) extra.push_back(a);
      count_[a] = 0;
    }
    std::sort(extra.begin(), extra.end());
  }

 private:
  SparseContext sc_;
  std::vector<std::uint32_t> extents_;
  std::vector<std::size_t> starts_, ends_;  // node k's extent is extents_[starts_[k], ends_[k])
  std::vector<std::uint32_t> count_, touched_;
};

// The walk over the closed sets, on one side of the context.
template <class Side>
class BaseSearch {
 public:
  explicit BaseSearch(const Context& context)
      : side_(context),
        m_(side_.m()),
        implications_(m_),
        in_t_(words_for(m_), 0),
        position_(m_, 0),
        failure_(m_) {
    trail_.reserve(m_);  // T never has more members; the closure reads the trail as it grows
  }

  std::vector<Implication> run() {
    std::vector<Frame> stack;
    stack.push_back(enter(/*gen=*/-1, side_.push_all()));
    InterruptTicker tick(64);
    while (!stack.empty()) {
      tick();
      Frame& f = stack.back();
      const std::int64_t j = next_child(f);
      if (j < 0) {
        failure_.undo_to(f.undo_mark);
        side_.pop_to(f.extent);
        undo_to(f.node_mark);
        stack.pop_back();
        continue;
      }
      const std::size_t extent =
          side_.push_narrowed(f.extent, trail_.data() + f.base_mark, trail_.size() - f.base_mark);
      stack.push_back(enter(j, extent));
    }
    return std::move(found_);
  }

 private:
  static constexpr std::uint32_t kNoAttribute = UINT32_MAX;

  // A node of the walk: its set is T when the node was entered (the first node_mark attributes
  // of the trail); for a pseudo-intent, its closure is added on top as the base its children
  // start from. Its children are generated by attributes above gen, tried from `next` down.
  struct Frame {
    std::size_t node_mark, base_mark;
    std::int64_t gen, next;
    std::uint32_t first_added;  // the smallest attribute of the base outside the node, or m
    std::size_t extent;         // the side's handle of the node's extent
    std::size_t undo_mark;      // the failure memo
  };

  bool in_t(std::uint32_t x) const { return test_bit(in_t_.data(), x); }

  void add(std::uint32_t x) {
    set_bit(in_t_.data(), x);
    position_[x] = static_cast<std::uint32_t>(trail_.size());
    trail_.push_back(x);
  }

  // x is in T and was added before the trail position `limit`.
  bool added_before(std::uint32_t x, std::size_t limit) const {
    return in_t(x) && position_[x] < limit;
  }

  void undo_to(std::size_t mark) {
    for (; trail_.size() > mark; trail_.pop_back()) clear_bit(in_t_.data(), trail_.back());
  }

  // T is a new closed set with its extent at `extent`: an intent, or a pseudo-intent whose
  // implication joins the base and whose closure becomes the base of its children.
  Frame enter(std::int64_t gen, std::size_t extent) {
    Frame f{trail_.size(),
            trail_.size(),
            gen,
            static_cast<std::int64_t>(m_) - 1,
            static_cast<std::uint32_t>(m_),
            extent,
            failure_.mark()};
    extra_.clear();
    side_.closure_beyond(extent, in_t_.data(), extra_);
    if (!extra_.empty()) {
      premise_.assign(trail_.begin(), trail_.end());
      std::sort(premise_.begin(), premise_.end());
      record(side_.support(extent));
      implications_.add(premise_, extra_);
      for (std::uint32_t a : extra_) add(a);  // an intent: closed under every implication
      f.base_mark = trail_.size();
      f.first_added = extra_.front();
    }
    return f;
  }

  void record(std::size_t support) {
    Implication imp{AttributeSet::empty(m_), AttributeSet::empty(m_), support, 1.0};
    for (std::uint32_t a : premise_) imp.premise.insert(a);
    imp.conclusion = imp.premise;
    for (std::uint32_t a : extra_) imp.conclusion.insert(a);
    found_.push_back(std::move(imp));
  }

  // The next canonical child of f, with T extended to it, or -1. T is f's base otherwise.
  std::int64_t next_child(Frame& f) {
    undo_to(f.base_mark);
    for (; f.next > f.gen; --f.next) {
      const auto j = static_cast<std::uint32_t>(f.next);
      if (added_before(j, f.node_mark)) continue;
      // Every child holds the base, so none generated above its first added attribute is
      // canonical, and the one generated by that attribute is the base itself.
      if (j > f.first_added) continue;
      if (j == f.first_added) return f.next--;
      const Refutation what = failure_[j];
      if (!what.is_none() && !added_before(what.attribute(), f.node_mark)) continue;
      const std::uint32_t refuted = close_with(j);
      if (refuted == kNoAttribute) return f.next--;
      failure_.set(j, Refutation::witness(refuted));
      undo_to(f.base_mark);
    }
    return -1;
  }

  // Adds j to T and closes it under the implications, each found when the last attribute of
  // its premise is taken from the trail; stops at the first attribute below j it would add,
  // which refutes the child (returned; an ancestor's refutation holds in its whole subtree, as
  // B only grows and so do the implications), or answers kNoAttribute.
  std::uint32_t close_with(std::uint32_t j) {
    std::uint32_t refuted = kNoAttribute;
    add(j);
    for (std::size_t next = trail_.size() - 1; next < trail_.size() && refuted == kNoAttribute;
         ++next) {
      const std::uint32_t x = trail_[next];
      implications_.any_fired_by(x, in_t_.data(), trail_.data(), next, [&](std::uint32_t id) {
        return any_beyond_t(implications_.added(), id, [&](std::uint32_t a) {
          if (a < j) {
            refuted = a;
            return true;
          }
          add(a);
          return false;
        });
      });
    }
    return refuted;
  }

  // pred(a) for each attribute a of set id not in T, ascending, until pred answers true.
  template <class Pred>
  bool any_beyond_t(const PackedSets& sets, std::uint32_t id, Pred&& pred) {
    if (sets.is_list(id)) {
      return sets.any_of(id, [&](std::uint32_t a) { return !in_t(a) && pred(a); });
    }
    const Word* b = sets.bits(id);
    // A word at a time, before pred adds to T: the attributes it adds are all of this set.
    return any_bit_of(
        sets.words_per_set(), [&](std::size_t w) { return b[w] & ~in_t_[w]; }, pred);
  }

  Side side_;
  std::size_t m_;
  Implications implications_;
  std::vector<Word> in_t_;
  std::vector<std::uint32_t> trail_;     // the members of T in the order they were added
  std::vector<std::uint32_t> position_;  // of each member of T in the trail
  FailureMemo failure_;                  // per attribute: the witness of its failure in an ancestor
  std::vector<std::uint32_t> premise_, extra_;
  std::vector<Implication> found_;
};

}  // namespace

CanonicalBase canonical_base(const Context& context, ClosureForm form) {
  CanonicalBase base{"duquenne-guigues", {}};
  const bool lists = form == ClosureForm::kLists ||
                     (form == ClosureForm::kAsSearched && prefers_sparse_search(context));
  base.implications =
      lists ? BaseSearch<SparseSide>(context).run() : BaseSearch<DenseSide>(context).run();
  QUORLAN_COMPLETION_SITE(kDone, "quorlan_engine::canonical_base", kBaseFields);
  diagnostics::completed(kDone, "canonical base computation complete", base.algorithm,
                         base.implications.size(), context.n_objects(), context.n_attributes());
  return base;
}

}  // namespace quorlan
