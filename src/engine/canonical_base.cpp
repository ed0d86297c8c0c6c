#include "engine/canonical_base.h"

#include <bit>

#include "diagnostics/events.h"
#include "engine/dense_context.h"

namespace quorlan {
namespace {

constexpr const char* kBaseFields[] = {"message", "algorithm", "implications", "objects",
                                       "attributes"};

// The implications found so far, premises and conclusions as flat word arrays.
class ImplicationList {
 public:
  explicit ImplicationList(std::size_t words) : W_(words) {}
  std::size_t size() const { return size_; }
  void add(const Word* premise, const Word* conclusion) {
    data_.insert(data_.end(), premise, premise + W_);
    data_.insert(data_.end(), conclusion, conclusion + W_);
    ++size_;
  }
  // Closes t under the list in place, repeating passes until one adds nothing. Returns false
  // as soon as t gains an attribute below `limit` that `a` lacks: the candidate is then
  // rejected anyway, whatever the rest of the closure would add.
  bool close(Word* t, const Word* a, std::size_t limit) const {
    bool changed = true;
    while (changed) {
      changed = false;
      const Word* p = data_.data();
      for (std::size_t k = 0; k < size_; ++k, p += 2 * W_) {
        bool applies = true;
        for (std::size_t w = 0; w < W_ && applies; ++w) applies = (p[w] & ~t[w]) == 0;
        if (!applies) continue;
        const Word* concl = p + W_;
        bool grew = false;
        for (std::size_t w = 0; w < W_; ++w) {
          if ((concl[w] & ~t[w]) != 0) {
            t[w] |= concl[w];
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

 private:
  std::size_t W_;
  std::size_t size_ = 0;
  std::vector<Word> data_;
};

}  // namespace

CanonicalBase canonical_base(const Context& context) {
  const DenseContext dc(context);
  const std::size_t W = dc.row_words;
  const std::size_t NW = dc.col_words;
  CanonicalBase base{"duquenne-guigues", {}};
  ImplicationList list(W);

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
      t[i / kWordBits] |= Word{1} << (i % kWordBits);
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
