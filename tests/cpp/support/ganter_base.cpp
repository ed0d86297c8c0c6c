// The canonical base by Ganter's procedure as quorlan computed it before the tree walk: every
// set closed under the implications found so far, in lectic order, each successor searched from
// the last attribute down and each candidate closed from nothing (LinClosure counters, or whole
// passes over a short list). Kept to check the walk against and to time it by.
#include "support/ganter_base.h"

#include "core/sets.h"

namespace quorlan::reference {
namespace {

// The implications found so far, indexed for LinClosure (Beeri & Bernstein 1979; Maier): each
// implication keeps a counter of premise attributes still missing from the set being closed,
// and every attribute lists the implications whose premise holds it. Counters are reset lazily
// by an epoch stamp, so a closure costs time in the implications it touches, not in |L|.
class ImplicationList {
 public:
  ImplicationList(std::size_t attributes, std::size_t words)
      : words_(words), by_attribute_(attributes) {}

  void add(const Word* premise, const Word* conclusion) {
    const std::uint32_t id = static_cast<std::uint32_t>(premise_size_.size());
    std::uint32_t size = 0;
    for_each_bit(premise, words_, [&](std::uint32_t x) {
      by_attribute_[x].push_back(id);
      ++size;
    });
    if (size == 0) unconditional_.push_back(id);
    premises_.insert(premises_.end(), premise, premise + words_);
    premise_size_.push_back(size);
    conclusions_.insert(conclusions_.end(), conclusion, conclusion + words_);
    missing_.push_back(0);
    stamp_.push_back(0);
  }

  // Closes t under the list in place. Returns false as soon as t gains an attribute below
  // `limit` that `a` lacks: the candidate is rejected then, whatever else the closure adds.
  bool close(Word* t, const Word* a, std::size_t limit) {
    if (premise_size_.empty()) return true;
    // Few implications (or long attribute lists): whole-word passes over the list are cheaper
    // than counting; both give the same closure and the same early rejection.
    std::size_t touched = 0;
    for_each_bit(t, words_, [&](std::uint32_t x) { touched += by_attribute_[x].size(); });
    if (touched * 4 > premise_size_.size() * words_) return close_by_passes(t, a, limit);
    ++epoch_;
    queue_.clear();
    for_each_bit(t, words_, [&](std::uint32_t x) { queue_.push_back(x); });
    for (std::uint32_t id : unconditional_) {
      if (!fire(id, t, a, limit)) return false;
    }
    for (std::size_t q = 0; q < queue_.size(); ++q) {
      for (std::uint32_t id : by_attribute_[queue_[q]]) {
        if (stamp_[id] != epoch_) {
          stamp_[id] = epoch_;
          missing_[id] = premise_size_[id];
        }
        if (--missing_[id] == 0 && !fire(id, t, a, limit)) return false;
      }
    }
    return true;
  }

 private:
  bool close_by_passes(Word* t, const Word* a, std::size_t limit) const {
    const std::size_t count = premise_size_.size();
    for (bool changed = true; changed;) {
      changed = false;
      const Word* p = premises_.data();
      const Word* c = conclusions_.data();
      for (std::size_t k = 0; k < count; ++k, p += words_, c += words_) {
        if (!subset_below(p, t, words_ * kWordBits)) continue;
        bool grew = false;
        for (std::size_t w = 0; w < words_; ++w) {
          if ((c[w] & ~t[w]) != 0) {
            t[w] |= c[w];
            grew = true;
          }
        }
        if (grew) {
          changed = true;
          if (!agree_below(t, a, limit)) return false;
        }
      }
    }
    return true;
  }

  // Adds the conclusion of `id` to t, queueing what it adds; false as soon as it adds an
  // attribute below `limit` that `a` lacks.
  bool fire(std::uint32_t id, Word* t, const Word* a, std::size_t limit) {
    const Word* c = conclusions_.data() + static_cast<std::size_t>(id) * words_;
    const bool rejected = any_bit_of(
        words_,
        [&](std::size_t w) {
          const Word added = c[w] & ~t[w];
          t[w] |= added;
          return added;
        },
        [&](std::uint32_t x) {
          if (x < limit && !test_bit(a, x)) return true;
          queue_.push_back(x);
          return false;
        });
    return !rejected;
  }

  std::size_t words_;
  std::vector<std::vector<std::uint32_t>> by_attribute_;
  std::vector<std::uint32_t> unconditional_;
  std::vector<std::uint32_t> premise_size_;
  std::vector<Word> premises_, conclusions_;
  std::vector<std::uint32_t> missing_, stamp_;
  std::uint32_t epoch_ = 0;
  std::vector<std::uint32_t> queue_;
};

// t := (the members of a below i) + i.
void prefix_plus(const Word* a, std::size_t i, std::size_t words, Word* t) {
  copy_below(a, i, words, t);
  set_bit(t, i);
}

}  // namespace

CanonicalBase ganter_base(const Context& context) {
  // Closures by the context's own derivation operators alone, so that nothing of the engine's
  // forms of the context is shared with what is checked against this.
  const std::size_t m = context.n_attributes();
  const std::size_t words = AttributeSet::empty(m).word_count();
  CanonicalBase base{"duquenne-guigues", {}};
  ImplicationList list(m, words);
  std::vector<Word> a(words, 0), t(words);
  for (;;) {
    // C = A'': the intent of A's extent.
    const AttributeSet set = AttributeSet::from_words(m, a.data());
    const ObjectSet extent = context.extent(set);
    const AttributeSet closure = context.intent(extent);
    if (!(closure == set)) {
      base.implications.push_back({set, closure, extent.count(), 1.0});
      list.add(a.data(), closure.words());
    }
    // The next set closed under the implications found so far, in lectic order.
    bool accepted = false;
    for (std::size_t i = m; i-- > 0 && !accepted;) {
      if (test_bit(a.data(), i)) continue;
      prefix_plus(a.data(), i, words, t.data());
      accepted = list.close(t.data(), a.data(), i);
    }
    if (!accepted) break;
    a.swap(t);
  }
  return base;
}

}  // namespace quorlan::reference
