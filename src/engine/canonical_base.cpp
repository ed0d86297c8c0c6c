#include "engine/canonical_base.h"

#include <bit>

#include "diagnostics/events.h"
#include "engine/dense_context.h"

namespace quorlan {
namespace {

constexpr const char* kBaseFields[] = {"message", "algorithm", "implications", "objects",
                                       "attributes"};

// The implications found so far, indexed for LinClosure (Beeri & Bernstein 1979; Maier): each
// implication keeps a counter of premise attributes still missing from the set being closed,
// and every attribute lists the implications whose premise holds it. Counters are reset lazily
// by an epoch stamp, so a closure costs time in the implications it touches, not in |L|.
class ImplicationList {
 public:
  ImplicationList(std::size_t attributes, std::size_t words)
      : W_(words), by_attribute_(attributes) {}

  void add(const Word* premise, const Word* conclusion) {
    const std::uint32_t id = static_cast<std::uint32_t>(premise_size_.size());
    std::uint32_t size = 0;
    for (std::size_t w = 0; w < W_; ++w) {
      Word bits = premise[w];
      while (bits != 0) {
        by_attribute_[w * kWordBits + static_cast<std::size_t>(std::countr_zero(bits))].push_back(
            id);
        bits &= bits - 1;
        ++size;
      }
    }
    if (size == 0) unconditional_.push_back(id);
    premises_.insert(premises_.end(), premise, premise + W_);
    premise_size_.push_back(size);
    conclusions_.insert(conclusions_.end(), conclusion, conclusion + W_);
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
    for (std::size_t w = 0; w < W_; ++w) {
      Word bits = t[w];
      while (bits != 0) {
        touched +=
            by_attribute_[w * kWordBits + static_cast<std::size_t>(std::countr_zero(bits))].size();
        bits &= bits - 1;
      }
    }
    if (touched * 4 > premise_size_.size() * W_) return close_by_passes(t, a, limit);
    ++epoch_;
    queue_.clear();
    for (std::size_t w = 0; w < W_; ++w) {
      Word bits = t[w];
      while (bits != 0) {
        queue_.push_back(static_cast<std::uint32_t>(w * kWordBits + std::countr_zero(bits)));
        bits &= bits - 1;
      }
    }
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
      for (std::size_t k = 0; k < count; ++k, p += W_, c += W_) {
        bool applies = true;
        for (std::size_t w = 0; w < W_ && applies; ++w) applies = (p[w] & ~t[w]) == 0;
        if (!applies) continue;
        bool grew = false;
        for (std::size_t w = 0; w < W_; ++w) {
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

  bool fire(std::uint32_t id, Word* t, const Word* a, std::size_t limit) {
    const Word* c = conclusions_.data() + static_cast<std::size_t>(id) * W_;
    for (std::size_t w = 0; w < W_; ++w) {
      Word added = c[w] & ~t[w];
      if (added == 0) continue;
      t[w] |= added;
      while (added != 0) {
        const std::size_t x = w * kWordBits + static_cast<std::size_t>(std::countr_zero(added));
        if (x < limit && !test_bit(a, x)) return false;
        queue_.push_back(static_cast<std::uint32_t>(x));
        added &= added - 1;
      }
    }
    return true;
  }

  std::size_t W_;
  std::vector<std::vector<std::uint32_t>> by_attribute_;
  std::vector<std::uint32_t> unconditional_;
  std::vector<std::uint32_t> premise_size_;
  std::vector<Word> premises_, conclusions_;
  std::vector<std::uint32_t> missing_, stamp_;
  std::uint32_t epoch_ = 0;
  std::vector<std::uint32_t> queue_;
};

}  // namespace

CanonicalBase canonical_base(const Context& context) {
  const DenseContext dc(context);
  const std::size_t W = dc.row_words;
  const std::size_t NW = dc.col_words;
  CanonicalBase base{"duquenne-guigues", {}};
  ImplicationList list(dc.m, W);

  std::vector<Word> a(W, 0), c(W), t(W), ext(NW);
  const ObjectSet all_objects = ObjectSet::full(dc.n);
  std::vector<std::uint32_t> members;

  for (;;) {
    // C = A'' through the columns of A's members and the rows of the resulting extent.
    std::copy(all_objects.words(), all_objects.words() + NW, ext.begin());
    for (std::size_t j = 0; j < dc.m; ++j) {
      if (!test_bit(a.data(), j)) continue;
      const Word* col = dc.col(j);
      for (std::size_t w = 0; w < NW; ++w) ext[w] &= col[w];
    }
    members.clear();
    std::size_t support = 0;
    for (std::size_t w = 0; w < NW; ++w) {
      Word bits = ext[w];
      support += static_cast<std::size_t>(std::popcount(bits));
      while (bits != 0) {
        members.push_back(static_cast<std::uint32_t>(w * kWordBits + std::countr_zero(bits)));
        bits &= bits - 1;
      }
    }
    dc.intent_of(members.data(), members.size(), c.data());
    if (c != a) {
      base.implications.push_back({AttributeSet::from_words(dc.m, a.data()),
                                   AttributeSet::from_words(dc.m, c.data()), support, 1.0});
      list.add(a.data(), c.data());
    }
    if (dc.m == 0) break;

    bool accepted = false;
    for (std::size_t i = dc.m; i-- > 0;) {
      if (test_bit(a.data(), i)) continue;
      // T = (A below i) + i, closed under the implications found so far.
      for (std::size_t w = 0; w < W; ++w) {
        const std::size_t lo = w * kWordBits;
        Word keep = 0;
        if (i >= lo + kWordBits) {
          keep = ~Word{0};
        } else if (i > lo) {
          keep = (Word{1} << (i - lo)) - 1;
        }
        t[w] = a[w] & keep;
      }
      set_bit(t.data(), i);
      if (!list.close(t.data(), a.data(), i)) continue;
      a.swap(t);
      accepted = true;
      break;
    }
    if (!accepted) break;
  }
  QUORLAN_EVENT(Debug, "quorlan_engine::canonical_base", kBaseFields,
                "canonical base computation complete", "duquenne-guigues",
                static_cast<std::uint64_t>(base.implications.size()),
                static_cast<std::uint64_t>(dc.n), static_cast<std::uint64_t>(dc.m));
  return base;
}

}  // namespace quorlan
