#include "engine/close_by_one.h"

#include "engine/sparse_search.h"

namespace quorlan {
namespace {

constexpr std::size_t kNone = SIZE_MAX;

struct Child {
  std::size_t ext_off, ext_len, intent_off;
  std::uint32_t y;
};

// A node on the stack: its children are children_[child_begin, child_end), `taken` of them
// visited; the marks restore the arenas and the failure memo when it is popped.
struct Frame {
  std::size_t child_begin, child_end, taken;
  std::size_t ext_mark, intent_mark, undo_mark;
};

class Search {
 public:
  Search(const DenseContext& dc, CanonicityStrategy strategy, SiblingOrder order)
      : dc_(dc), strategy_(strategy), order_(order), W_(dc.row_words), failure_(dc.m, kNone) {}

  Lattice run() {
    Lattice out(dc_.n, dc_.m);
    extents_.resize(dc_.n);
    for (std::size_t g = 0; g < dc_.n; ++g) extents_[g] = static_cast<std::uint32_t>(g);
    intents_.resize(W_);
    dc_.intent_of(extents_.data(), dc_.n, intents_.data());
    out.push(extents_.data(), dc_.n, intents_.data());

    std::vector<Frame> stack;
    stack.push_back(expand(0, dc_.n, 0, 0));
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.child_begin + f.taken < f.child_end) {
        const Child ch = children_[sibling_at(order_, f.child_begin, f.child_end, f.taken++)];
        out.push(extents_.data() + ch.ext_off, ch.ext_len, intents_.data() + ch.intent_off);
        Frame next = expand(ch.ext_off, ch.ext_len, ch.intent_off, ch.y);
        stack.push_back(next);
      } else {
        failure_.undo_to(f.undo_mark);
        extents_.resize(f.ext_mark);
        intents_.resize(f.intent_mark);
        children_.resize(f.child_begin);
        stack.pop_back();
      }
    }
    return out;
  }

 private:
  // Generates the canonical children of (A, B) from attribute y on; they stay in the arenas
  // until the frame is popped.
  Frame expand(std::size_t a_off, std::size_t a_len, std::size_t b_off, std::uint32_t y) {
    Frame f{children_.size(), 0, 0, extents_.size(), intents_.size(), failure_.mark()};
    const bool dense = a_len > dc_.dense_threshold();
    if (dense) dc_.to_bits(extents_.data() + a_off, a_len, a_bits_);
    for (std::uint32_t j = y; j < dc_.m; ++j) {
      if (test_bit(intents_.data() + b_off, j)) continue;
      if (failure_[j] != kNone) {
        // FCbO: a failed intent of an ancestor; In-Close: the attribute that made an ancestor's
        // candidate non-canonical. Either still lying outside B proves this candidate fails too.
        if (strategy_ == CanonicityStrategy::kFailureSets
                ? !subset_below(intents_.data() + failure_[j], intents_.data() + b_off, j)
                : !test_bit(intents_.data() + b_off, failure_[j])) {
          continue;
        }
      }
      // C = A ∩ column j, appended to the extent arena (reserve first: A lives there too).
      const std::size_t c_off = extents_.size();
      const Word* b = intents_.data() + b_off;
      if (strategy_ == CanonicityStrategy::kColumnTest) {
        if (dense) {
          c_bits_.resize(dc_.col_words);
          dc_.intersect_bits(a_bits_.data(), j, c_bits_.data());
          const std::uint32_t k = dc_.column_below_bits(c_bits_.data(), b, j);
          if (k != kNoAttribute) {
            failure_.set(j, k);
            continue;
          }
          dc_.append_members(c_bits_.data(), extents_);
        } else {
          extents_.reserve(c_off + a_len);
          dc_.filter(extents_.data() + a_off, a_len, j, extents_);
          const std::uint32_t k =
              dc_.column_below_list(extents_.data() + c_off, extents_.size() - c_off, b, j);
          if (k != kNoAttribute) {
            extents_.resize(c_off);
            failure_.set(j, k);
            continue;
          }
        }
      } else if (dense) {
        dc_.filter_bits(a_bits_.data(), j, extents_);
      } else {
        extents_.reserve(c_off + a_len);
        dc_.filter(extents_.data() + a_off, a_len, j, extents_);
      }
      const std::size_t c_len = extents_.size() - c_off;
      const std::size_t d_off = intents_.size();
      intents_.resize(d_off + W_);
      dc_.intent_of(extents_.data() + c_off, c_len, intents_.data() + d_off);
      if (strategy_ == CanonicityStrategy::kFailureSets &&
          !agree_below(intents_.data() + d_off, intents_.data() + b_off, j)) {
        extents_.resize(c_off);
        failure_.set(j, d_off);
        continue;
      }
      children_.push_back({c_off, c_len, d_off, j + 1});
    }
    f.child_end = children_.size();
    return f;
  }

  // Every attribute of `fail` below j is in `b`.
  bool subset_below(const Word* fail, const Word* b, std::size_t j) const {
    const std::size_t whole = j / kWordBits;
    for (std::size_t w = 0; w < whole; ++w) {
      if ((fail[w] & ~b[w]) != 0) return false;
    }
    const std::size_t rest = j % kWordBits;
    if (rest == 0) return true;
    return (fail[whole] & ~b[whole] & ((Word{1} << rest) - 1)) == 0;
  }

  const DenseContext& dc_;
  CanonicityStrategy strategy_;
  SiblingOrder order_;
  std::size_t W_;
  std::vector<std::uint32_t> extents_;
  std::vector<Word> intents_;
  std::vector<Child> children_;
  std::vector<Word> a_bits_;
  std::vector<Word> c_bits_;
  // Per attribute, what made it fail in an ancestor, or kNone: FCbO keeps the offset of the
  // failed intent, In-Close the witnessing attribute.
  FailureMemo<std::size_t> failure_;
};

}  // namespace

Lattice close_by_one_search(const DenseContext& dc, CanonicityStrategy strategy,
                            SiblingOrder order) {
  return Search(dc, strategy, order).run();
}

Lattice close_by_one_search(const Context& context, CanonicityStrategy strategy,
                            SiblingOrder order) {
  if (prefers_sparse_search(context)) {
    return sparse_close_by_one_search(SparseContext(context), strategy, order);
  }
  return close_by_one_search(DenseContext(context), strategy, order);
}

}  // namespace quorlan
