#include "engine/dense_search.h"

#include <algorithm>

namespace quorlan {

DenseContext::DenseContext(const Context& context)
    : n(context.n_objects()),
      m(context.n_attributes()),
      row_words(words_for(m)),
      col_words(words_for(n)),
      rows(n * row_words, 0),
      cols(m * col_words, 0) {
  const PackedSets& source = context.rows();
  const std::size_t available = std::min(n, source.size());
  for (std::size_t g = 0; g < available; ++g) {
    source.to_words(g, rows.data() + g * row_words);
    source.for_each(g, [&](std::uint32_t j) { set_bit(cols.data() + j * col_words, g); });
  }
}

void DenseContext::intent_of(const std::uint32_t* extent, std::size_t count, Word* out) const {
  fill_below(m, row_words, out);
  for (std::size_t k = 0; k < count; ++k) {
    const Word* r = row(extent[k]);
    for (std::size_t w = 0; w < row_words; ++w) out[w] &= r[w];
  }
}

namespace {

constexpr std::size_t kNone = SIZE_MAX;
constexpr std::uint32_t kNoAttribute = UINT32_MAX;
// A failure memo entry with this bit names the attribute that witnessed the failure rather than
// where the failed intent is kept.
constexpr std::size_t kWitnessBit = std::size_t{1} << 63;
// The words of failed intents kept on the current path at most: past that, a failure keeps only
// its witness, so that memory stays linear in the attributes however wide the context.
constexpr std::size_t kFailedIntentWords = std::size_t{1} << 20;

class DenseSearch {
 public:
  // The marks restore the arenas and the failure memo when the frame is popped.
  struct Frame : FrameBase {
    std::size_t ext_mark = 0, intent_mark = 0, undo_mark = 0, failed_words = 0;
  };

  DenseSearch(const DenseContext& dc, CanonicityStrategy strategy)
      : dc_(dc),
        strategy_(strategy),
        words_(dc.row_words),
        failure_(dc.m, kNone),
        out_(dc.n, dc.m) {}

  Lattice run(SiblingOrder order) {
    walk_tree(*this, order);
    return std::move(out_);
  }

  Frame expand_root() {
    extents_.resize(dc_.n);
    for (std::size_t g = 0; g < dc_.n; ++g) extents_[g] = static_cast<std::uint32_t>(g);
    intents_.resize(words_);
    dc_.intent_of(extents_.data(), dc_.n, intents_.data());
    out_.push(extents_.data(), dc_.n, intents_.data());
    return expand(0, dc_.n, 0, 0);
  }

  Frame descend(const Frame&, std::size_t c) {
    const Child ch = children_[c];
    out_.push(extents_.data() + ch.ext_off, ch.ext_len, intents_.data() + ch.intent_off);
    return expand(ch.ext_off, ch.ext_len, ch.intent_off, ch.j + 1);
  }

  void leave(const Frame& f) {
    failure_.undo_to(f.undo_mark);
    failed_words_ = f.failed_words;
    extents_.resize(f.ext_mark);
    intents_.resize(f.intent_mark);
    children_.resize(f.child_begin);
  }

 private:
  // Lists the canonical children of (A, B) from attribute y on; they stay in the arenas until
  // the frame is popped.
  Frame expand(std::size_t a_off, std::size_t a_len, std::size_t b_off, std::uint32_t y) {
    Frame f;
    f.child_begin = children_.size();
    f.ext_mark = extents_.size();
    f.intent_mark = intents_.size();
    f.undo_mark = failure_.mark();
    f.failed_words = failed_words_;
    const bool dense = a_len > dc_.dense_threshold();
    if (dense) dc_.to_bits(extents_.data() + a_off, a_len, a_bits_);
    for (std::uint32_t j = y; j < dc_.m; ++j) {
      if (test_bit(intents_.data() + b_off, j) || pruned(j, b_off)) continue;
      const std::size_t c_off = extents_.size();
      const bool canonical = strategy_ == CanonicityStrategy::kColumnTest
                                 ? column_test(a_off, a_len, dense, b_off, j)
                                 : failure_set_test(a_off, a_len, dense, b_off, j);
      if (canonical) {
        children_.push_back({c_off, extents_.size() - c_off, intents_.size() - words_, j});
      }
    }
    f.child_end = children_.size();
    return f;
  }

  // What an ancestor learnt about j still refutes it here. FCbO keeps the failed intent: it
  // refutes while its part below j is not within B. In-Close, and FCbO past its budget of
  // failed intents, keeps an attribute that witnessed the failure: it refutes while it stays
  // outside B.
  bool pruned(std::uint32_t j, std::size_t b_off) const {
    const std::size_t what = failure_[j];
    if (what == kNone) return false;
    const Word* b = intents_.data() + b_off;
    if ((what & kWitnessBit) != 0) return !test_bit(b, what & ~kWitnessBit);
    return !subset_below(intents_.data() + what, b, j);
  }

  // Appends C = A ∩ column j to the extent arena (reserving first: A lives there too).
  void append_candidate(std::size_t a_off, std::size_t a_len, bool dense, std::uint32_t j) {
    if (dense) {
      dc_.filter_bits(a_bits_.data(), j, extents_);
    } else {
      extents_.reserve(extents_.size() + a_len);
      dc_.filter(extents_.data() + a_off, a_len, j, extents_);
    }
  }

  // FCbO: the candidate's intent must agree with B below j. On success C and D stay in the
  // arenas; on failure D is kept as the failed intent of j.
  bool failure_set_test(std::size_t a_off, std::size_t a_len, bool dense, std::size_t b_off,
                        std::uint32_t j) {
    const std::size_t c_off = extents_.size();
    append_candidate(a_off, a_len, dense, j);
    const std::size_t d_off = intents_.size();
    intents_.resize(d_off + words_);
    dc_.intent_of(extents_.data() + c_off, extents_.size() - c_off, intents_.data() + d_off);
    if (agree_below(intents_.data() + d_off, intents_.data() + b_off, j)) return true;
    extents_.resize(c_off);
    if (failed_words_ + words_ <= kFailedIntentWords) {
      failed_words_ += words_;
      failure_.set(j, d_off);
    } else {
      // The smallest attribute below j that D adds to B refutes j as long as B lacks it.
      const Word* d = intents_.data() + d_off;
      const Word* b = intents_.data() + b_off;
      std::uint32_t witness = 0;
      any_bit_of(
          words_, [&](std::size_t w) { return d[w] & ~b[w]; },
          [&](std::uint32_t k) {
            witness = k;
            return true;
          });
      intents_.resize(d_off);
      failure_.set(j, kWitnessBit | witness);
    }
    return false;
  }

  // In-Close: no attribute k < j outside B may hold every object of C (exactly the attributes
  // the closure of C would add below j); tested on the columns before any closure, and only a
  // canonical C gets its intent.
  bool column_test(std::size_t a_off, std::size_t a_len, bool dense, std::size_t b_off,
                   std::uint32_t j) {
    const Word* b = intents_.data() + b_off;
    std::uint32_t witness = kNoAttribute;
    const auto refutes = [&](std::uint32_t k, auto&& holds_all) {
      if (!holds_all(dc_.col(k))) return false;
      witness = k;
      return true;
    };
    const std::size_t c_off = extents_.size();
    if (dense) {
      c_bits_.resize(dc_.col_words);
      dc_.intersect_bits(a_bits_.data(), j, c_bits_.data());
      any_clear_bit_below(b, j, [&](std::uint32_t k) {
        return refutes(k, [&](const Word* column) {
          return subset_below(c_bits_.data(), column, dc_.col_words * kWordBits);
        });
      });
      if (witness == kNoAttribute)
        for_each_bit(c_bits_.data(), dc_.col_words,
                     [&](std::uint32_t g) { extents_.push_back(g); });
    } else {
      append_candidate(a_off, a_len, false, j);
      const std::uint32_t* c = extents_.data() + c_off;
      const std::size_t c_len = extents_.size() - c_off;
      any_clear_bit_below(b, j, [&](std::uint32_t k) {
        return refutes(k, [&](const Word* column) {
          return std::all_of(c, c + c_len, [&](std::uint32_t g) { return test_bit(column, g); });
        });
      });
      if (witness != kNoAttribute) extents_.resize(c_off);
    }
    if (witness != kNoAttribute) {
      failure_.set(j, kWitnessBit | witness);
      return false;
    }
    const std::size_t d_off = intents_.size();
    intents_.resize(d_off + words_);
    dc_.intent_of(extents_.data() + c_off, extents_.size() - c_off, intents_.data() + d_off);
    return true;
  }

  // A canonical child: its extent extents_[ext_off, +ext_len), its intent at
  // intents_[intent_off] and the attribute j that generated it.
  struct Child {
    std::size_t ext_off, ext_len, intent_off;
    std::uint32_t j;
  };

  const DenseContext& dc_;
  CanonicityStrategy strategy_;
  std::size_t words_;  // words per intent
  std::vector<std::uint32_t> extents_;
  std::vector<Word> intents_;
  std::vector<Child> children_;
  std::vector<Word> a_bits_, c_bits_;
  // Per attribute, what made it fail in an ancestor, or kNone: the offset of the failed intent,
  // or the witnessing attribute with kWitnessBit.
  FailureMemo<std::size_t> failure_;
  std::size_t failed_words_ = 0;  // of failed intents kept on the current path
  Lattice out_;
};

}  // namespace

Lattice dense_search(const DenseContext& dc, CanonicityStrategy strategy, SiblingOrder order) {
  return DenseSearch(dc, strategy).run(order);
}

}  // namespace quorlan
