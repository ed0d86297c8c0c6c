#include "engine/internal/dense_search.h"

#include <algorithm>
#include <memory>

#include "engine/forms.h"

namespace quorlan::internal {

DenseContext::DenseContext(const Context& context, std::size_t min_support)
    : n(context.n_objects()),
      m(context.n_attributes()),
      row_words(words_for(m)),
      col_words(words_for(n)),
      rows(n * row_words, 0),
      cols(m * col_words, 0) {
  const PackedSets& source = context.rows();
  const std::size_t available = std::min(n, source.size());
  const std::vector<bool> kept = frequent_attributes(context, min_support);
  for (std::size_t g = 0; g < available; ++g) {
    source.for_each(g, [&](std::uint32_t j) {
      if (!kept[j]) return;
      set_bit(rows.data() + g * row_words, j);
      set_bit(cols.data() + j * col_words, g);
    });
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

// Words holding the attributes below j, and the bits of the last of them that are below j.
std::size_t words_below(std::uint32_t j) { return j / kWordBits + 1; }
Word last_word_below(std::uint32_t j) { return low_mask(j % kWordBits); }

// A node of the tree: its extent of ext_len objects, as bit words at ext_bits_[ext_off] or as
// a list at extents_[ext_off]; its intent at intents_[intent_off] (whole below j + 1 once its
// parent is expanded, whole once it is); and the attribute j that generated it.
struct Child {
  std::size_t ext_off, ext_len, intent_off;
  std::uint32_t j;
  bool bits;
};

// With kCut, candidates of fewer objects than the support are cut (an iceberg); without, the
// test is left out of the inner loop, which runs once per attribute and node.
template <bool kCut>
class DenseSearch {
 public:
  // The marks restore the arenas and the failure memo when the frame is popped.
  struct Frame : FrameBase {
    std::size_t ext_mark = 0, bits_mark = 0, intent_mark = 0, undo_mark = 0, failed_mark = 0;
  };

  DenseSearch(const DenseContext& dc, const EnumerationLimits& limits)
      : dc_(dc),
        min_support_(limits.min_support),
        words_(dc.row_words),
        valid_(dc.row_words),
        outside_(dc.row_words),
        running_(dc.row_words),
        failure_(dc.m),
        out_(dc.n, dc.m, limits) {
    fill_below(dc.m, words_, valid_.data());
    a_bits_.resize(dc.col_words);
    c_bits_.resize(dc.col_words);
    c_list_.resize(dc.n + 1);
  }

  EnumerationResult run(SiblingOrder order) {
    walk_tree(*this, order);
    return std::move(out_).result();
  }
  bool open() const { return out_.open(); }
  std::uint64_t found() const { return out_.count(); }

  // The root's intent starts empty; its expansion finds the attributes every object has.
  Frame expand_root() {
    ext_bits_.resize(dc_.col_words);
    fill_below(dc_.n, dc_.col_words, ext_bits_.data());
    intents_.assign(words_, 0);
    const Child root{0, dc_.n, 0, 0, true};
    Frame f = expand(root, 0);
    emit(root);
    return f;
  }

  // A node is handed to the lattice once its expansion has completed its intent, before any
  // of its children.
  Frame descend(const Frame&, std::size_t c) {
    const Child ch = children_[c];
    Frame f = expand(ch, ch.j + 1);
    emit(ch);
    return f;
  }

  void leave(const Frame& f) {
    failure_.undo_to(f.undo_mark);
    failed_size_ = f.failed_mark;
    extents_.resize(f.ext_mark);
    ext_bits_.resize(f.bits_mark);
    intents_.resize(f.intent_mark);
    children_.resize(f.child_begin);
  }

 private:
  // Tries the attributes from y on, ascending, on the node (A, B), where B holds the node's
  // attributes below y and grows to its whole intent here (Andrews' partial closure): an
  // attribute every object of A has joins B; any other candidate C = A ∩ column j is tested on
  // the rows of its objects, where the attributes below j outside B that every row has refute
  // it and a row that leaves none ends the test. Below the attribute tried, B is always whole,
  // so tests and failure memos read it exactly. The canonical children get B and their
  // attribute, and their expansion completes the rest.
  [[gnu::noinline]] Frame expand(const Child& node, std::uint32_t y) {
    Frame f;
    f.child_begin = children_.size();
    f.ext_mark = extents_.size();
    f.bits_mark = ext_bits_.size();
    f.intent_mark = intents_.size();
    f.undo_mark = failure_.mark();
    f.failed_mark = failed_size_;
    Word* b = intents_.data() + node.intent_off;
    for (std::size_t w = 0; w < words_; ++w) outside_[w] = ~b[w] & valid_[w];
    dense_ = node.bits;
    if (dense_) std::copy_n(ext_bits_.data() + node.ext_off, dc_.col_words, a_bits_.data());
    try_attributes(node, y, b);
    f.child_end = children_.size();
    give_children_intents(f, node.intent_off);
    return f;
  }

  // The attributes outside B from y on, ascending, a word at a time; a word's bits are read
  // before any of them joins B, which changes nothing below the attribute tried.
  [[gnu::always_inline]] void try_attributes(const Child& node, std::uint32_t y, Word* b) {
    // Kept in registers: the loop's calls could otherwise have them read from memory each time.
    const std::size_t a_off = node.ext_off, a_len = node.ext_len;
    for (std::size_t w = y / kWordBits; w < words_; ++w) {
      Word todo = outside_[w] & (w == y / kWordBits ? ~low_mask(y % kWordBits) : ~Word{0});
      for (; todo != 0; todo &= todo - 1) {
        const auto j = static_cast<std::uint32_t>(w * kWordBits) +
                       static_cast<std::uint32_t>(std::countr_zero(todo));
        if (pruned(j, b)) continue;
        c_len_ = candidate(a_off, a_len, j);
        if (c_len_ == a_len) {  // j is in every row of A: in the node's intent
          set_bit(b, j);
          clear_bit(outside_.data(), j);
        } else if (kCut && c_len_ < min_support_) {
          // Infrequent, and so below every node of the subtree: neither a child nor a failure.
        } else if (refuted_below(j)) {
          remember_failure(j);
        } else {
          add_child(j);
        }
      }
    }
  }

  // Each canonical child of the frame gets B, now whole, and its own attribute.
  [[gnu::always_inline]] void give_children_intents(const Frame& f, std::size_t b_off) {
    intents_.resize(intents_.size() + (f.child_end - f.child_begin) * words_);
    for (std::size_t c = f.child_begin, d_off = f.intent_mark; c < f.child_end;
         ++c, d_off += words_) {
      children_[c].intent_off = d_off;
      std::copy_n(intents_.data() + b_off, words_, intents_.data() + d_off);
      set_bit(intents_.data() + d_off, children_[c].j);
    }
  }

  // The candidate as a child: large extents as bit words, the others as lists.
  void add_child(std::uint32_t j) {
    if (dense_ && c_len_ > dc_.dense_threshold()) {
      children_.push_back({ext_bits_.size(), c_len_, 0, j, true});
      ext_bits_.insert(ext_bits_.end(), c_bits_.begin(), c_bits_.end());
      return;
    }
    children_.push_back({extents_.size(), c_len_, 0, j, false});
    if (dense_) {
      for_each_bit(c_bits_.data(), dc_.col_words, [&](std::uint32_t g) { extents_.push_back(g); });
    } else {
      extents_.insert(extents_.end(), c_list_.begin(),
                      c_list_.begin() + static_cast<std::ptrdiff_t>(c_len_));
    }
  }

  void emit(const Child& node) {
    const Word* intent = intents_.data() + node.intent_off;
    out_.add([&](Lattice& out) {
      if (node.bits) {
        out.push_words(ext_bits_.data() + node.ext_off, node.ext_len, intent);
      } else {
        out.push(extents_.data() + node.ext_off, node.ext_len, intent);
      }
    });
  }

  // C = A ∩ column j, as bits in c_bits_ for a large A, else as a list in c_list_; returns |C|.
  std::size_t candidate(std::size_t a_off, std::size_t a_len, std::uint32_t j) {
    const Word* column = dc_.col(j);
    if (dense_) return and_count(a_bits_.data(), column, c_bits_.data(), dc_.col_words);
    const std::uint32_t* a = extents_.data() + a_off;
    std::uint32_t* out = c_list_.data();
    std::size_t len = 0;
    for (std::size_t k = 0; k < a_len; ++k) {  // without a branch per object
      out[len] = a[k];
      len += test_bit(column, a[k]);
    }
    return len;
  }

  // Calls f(g) for every object g of the candidate, ascending, until f answers true.
  template <class F>
  bool any_object(F&& f) const {
    if (dense_) return any_bit(c_bits_.data(), dc_.col_words, f);
    for (std::size_t k = 0; k < c_len_; ++k) {
      if (f(c_list_[k])) return true;
    }
    return false;
  }

  // Leaves in running_ the attributes below j outside B that every object of the candidate
  // has; true when there is one (it is not canonical).
  bool refuted_below(std::uint32_t j) {
    const std::size_t lo = words_below(j);
    std::copy(outside_.begin(), outside_.begin() + static_cast<std::ptrdiff_t>(lo),
              running_.begin());
    running_[lo - 1] &= last_word_below(j);
    Word any = 0;
    for (std::size_t w = 0; w < lo; ++w) any |= running_[w];
    if (any == 0) return false;
    const bool emptied = any_object([&](std::uint32_t g) {
      const Word* r = dc_.row(g);
      Word left = 0;
      for (std::size_t w = 0; w < lo; ++w) left |= running_[w] &= r[w];
      return left == 0;
    });
    return !emptied;
  }

  // What refuted j, for the whole subtree: every refuting attribute (Outrata and Vychodil's
  // failure set, for In-Close's order as for FCbO's) as words below j, or one of them past the
  // budget of words.
  void remember_failure(std::uint32_t j) {
    const std::size_t lo = words_below(j);
    if (failed_size_ + lo <= kRefutationBudgetWords) {
      if (!failed_) failed_.reset(new Word[kRefutationBudgetWords]);  // written before read
      failure_.set(j, Refutation::kept_at(failed_size_));
      std::copy_n(running_.data(), lo, failed_.get() + failed_size_);
      failed_size_ += lo;
      return;
    }
    std::uint32_t witness = 0;
    any_bit(running_.data(), lo, [&](std::uint32_t k) {
      witness = k;
      return true;
    });
    failure_.set(j, Refutation::witness(witness));
  }

  // What an ancestor learnt about j still refutes it here: one of its refuting attributes is
  // still outside B (B only grows down the tree, and C only shrinks).
  bool pruned(std::uint32_t j, const Word* b) const {
    const Refutation what = failure_[j];
    if (what.is_none()) return false;
    if (what.is_witness()) return !test_bit(b, what.attribute());
    return !subset_below(failed_.get() + what.offset(), b, j);
  }

  const DenseContext& dc_;
  std::size_t min_support_;  // candidates of fewer objects are cut
  std::size_t words_;        // words per intent
  std::vector<std::uint32_t> extents_;
  std::vector<Word> ext_bits_, intents_;
  std::vector<Child> children_;
  std::vector<Word> a_bits_, c_bits_;
  bool dense_ = false;                 // the node's extent is in a_bits_ too
  std::vector<std::uint32_t> c_list_;  // the candidate, when A is not dense
  std::size_t c_len_ = 0;              // ... and its size
  std::vector<Word> valid_;            // every attribute
  std::vector<Word> outside_;          // the attributes outside B
  std::vector<Word> running_;          // what the rows of a candidate have in common so far
  // Per attribute, what made it fail in an ancestor.
  FailureMemo failure_;
  std::unique_ptr<Word[]> failed_;  // kRefutationBudgetWords words, from the first failure on
  std::size_t failed_size_ = 0;
  ConceptOutput out_;
};

}  // namespace

EnumerationResult dense_search(const DenseContext& dc, SiblingOrder order,
                               const EnumerationLimits& limits) {
  if (limits.min_support > 0) return DenseSearch<true>(dc, limits).run(order);
  return DenseSearch<false>(dc, limits).run(order);
}

}  // namespace quorlan::internal
