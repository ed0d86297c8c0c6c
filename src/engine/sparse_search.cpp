#include "engine/sparse_search.h"

#include <algorithm>

namespace quorlan {

SparseContext::SparseContext(const Context& context)
    : n(context.n_objects()), m(context.n_attributes()), col_words(words_for(n)) {
  row_start.reserve(n + 1);
  row_start.push_back(0);
  cols.assign(m * col_words, 0);
  const std::size_t available = std::min(n, context.incidence().size());
  for (std::size_t g = 0; g < n; ++g) {
    if (g < available) {
      context.row(g).for_each([&](std::uint32_t j) {
        items.push_back(j);
        cols[j * col_words + g / kWordBits] |= Word{1} << (g % kWordBits);
      });
    }
    row_start.push_back(items.size());
  }
}

bool prefers_sparse_search(const Context& context) {
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  if (m <= 256 || n == 0) return false;
  std::size_t incidences = 0;
  for (const AttributeSet& row : context.incidence()) incidences += row.count();
  // Below 1 incidence in 20 cells, lists win over bit words.
  return incidences * 20 < n * m;
}

namespace {

constexpr std::size_t kNone = SIZE_MAX;

struct Child {
  std::size_t ext_off, ext_len, int_off, int_len;
  std::uint32_t y;
};

struct Frame {
  std::size_t child_begin, child_end, next;
  std::size_t ext_mark, int_mark, undo_mark;
};

struct Failure {
  std::size_t off = kNone;  // FCbO: the failed intent in the intent arena; In-Close: unused
  std::size_t len = 0;      // FCbO: its length; In-Close: the witnessing attribute
};

class SparseSearch {
 public:
  SparseSearch(const SparseContext& sc, CanonicityStrategy strategy)
      : sc_(sc),
        strategy_(strategy),
        in_b_(words_for(sc.m), 0),
        count_(sc.m, 0),
        bucket_start_(sc.m, 0),
        failure_(sc.m) {}

  Lattice run() {
    Lattice out(sc_.n, sc_.m);
    for (std::size_t g = 0; g < sc_.n; ++g) ext_.push_back(static_cast<std::uint32_t>(g));
    intent_of(0, sc_.n, 0, ints_);
    out.push_lists(ext_.data(), sc_.n, ints_.data(), ints_.size());

    std::vector<Frame> stack;
    stack.push_back(expand(0, sc_.n, 0, ints_.size(), 0));
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next < f.child_end) {
        const Child ch = children_[f.next++];
        out.push_lists(ext_.data() + ch.ext_off, ch.ext_len, ints_.data() + ch.int_off, ch.int_len);
        Frame next = expand(ch.ext_off, ch.ext_len, ch.int_off, ch.int_len, ch.y);
        stack.push_back(next);
      } else {
        while (undo_.size() > f.undo_mark) {
          failure_[undo_.back().first] = undo_.back().second;
          undo_.pop_back();
        }
        ext_.resize(f.ext_mark);
        ints_.resize(f.int_mark);
        children_.resize(f.child_begin);
        stack.pop_back();
      }
    }
    return out;
  }

 private:
  bool in_b(std::uint32_t x) const { return (in_b_[x / kWordBits] >> (x % kWordBits)) & 1u; }

  // Appends to `out` the attributes from `from` on common to the objects ext_[off, off+len)
  // (every attribute from `from` on when the extent is empty).
  void intent_of(std::size_t off, std::size_t len, std::uint32_t from,
                 std::vector<std::uint32_t>& out) const {
    const std::size_t start = out.size();
    if (len == 0) {
      for (std::size_t x = from; x < sc_.m; ++x) out.push_back(static_cast<std::uint32_t>(x));
      return;
    }
    const std::uint32_t g0 = ext_[off];
    const std::uint32_t* first = sc_.items.data() + sc_.row_start[g0];
    const std::uint32_t* last = sc_.items.data() + sc_.row_start[g0 + 1];
    first = std::lower_bound(first, last, from);
    out.insert(out.end(), first, last);
    for (std::size_t k = 1; k < len && out.size() > start; ++k) {
      const std::uint32_t g = ext_[off + k];
      std::size_t keep = start;
      for (std::size_t p = start; p < out.size(); ++p) {
        if (sc_.has(g, out[p])) out[keep++] = out[p];
      }
      out.resize(keep);
    }
  }

  Frame expand(std::size_t a_off, std::size_t a_len, std::size_t b_off, std::size_t b_len,
               std::uint32_t y) {
    Frame f{children_.size(), 0, 0, ext_.size(), ints_.size(), undo_.size()};
    for (std::size_t k = 0; k < b_len; ++k) {
      const std::uint32_t x = ints_[b_off + k];
      in_b_[x / kWordBits] |= Word{1} << (x % kWordBits);
    }
    // The smallest attribute outside B: the only one whose empty extension can be canonical.
    std::uint32_t j0 = 0;
    for (std::size_t k = 0; k < b_len && ints_[b_off + k] == j0; ++k) ++j0;

    // Deliver every occurrence at or after y, outside B, into its attribute's bucket.
    touched_.clear();
    for (std::size_t k = 0; k < a_len; ++k) {
      const std::uint32_t g = ext_[a_off + k];
      const std::uint32_t* last = sc_.items.data() + sc_.row_start[g + 1];
      for (const std::uint32_t* p = std::lower_bound(sc_.items.data() + sc_.row_start[g], last, y);
           p != last; ++p) {
        if (in_b(*p)) continue;
        if (count_[*p]++ == 0) touched_.push_back(*p);
      }
    }
    std::sort(touched_.begin(), touched_.end());
    std::size_t total = 0;
    for (std::uint32_t x : touched_) {
      bucket_start_[x] = total;
      total += count_[x];
      count_[x] = 0;
    }
    buckets_.resize(total);
    for (std::size_t k = 0; k < a_len; ++k) {
      const std::uint32_t g = ext_[a_off + k];
      const std::uint32_t* last = sc_.items.data() + sc_.row_start[g + 1];
      for (const std::uint32_t* p = std::lower_bound(sc_.items.data() + sc_.row_start[g], last, y);
           p != last; ++p) {
        if (!in_b(*p)) buckets_[bucket_start_[*p] + count_[*p]++] = g;
      }
    }
    if (j0 >= y && j0 < sc_.m && !in_b(j0) && count_[j0] == 0) {
      touched_.insert(std::lower_bound(touched_.begin(), touched_.end(), j0), j0);
      bucket_start_[j0] = 0;
    }

    for (std::uint32_t j : touched_) {
      const std::size_t c_begin = bucket_start_[j];
      const std::size_t c_len = count_[j];
      if (pruned(j)) continue;
      const std::size_t c_off = ext_.size();
      ext_.insert(ext_.end(), buckets_.begin() + static_cast<std::ptrdiff_t>(c_begin),
                  buckets_.begin() + static_cast<std::ptrdiff_t>(c_begin + c_len));
      const std::size_t d_off = ints_.size();
      if (strategy_ == CanonicityStrategy::kFailureSets) {
        intent_of(c_off, c_len, 0, ints_);
        // B ⊆ D, so D agrees with B below j exactly when both hold as many attributes there.
        const auto below = [&](std::size_t off, std::size_t len) {
          return std::lower_bound(ints_.begin() + static_cast<std::ptrdiff_t>(off),
                                  ints_.begin() + static_cast<std::ptrdiff_t>(off + len), j) -
                 (ints_.begin() + static_cast<std::ptrdiff_t>(off));
        };
        if (below(d_off, ints_.size() - d_off) != below(b_off, b_len)) {
          ext_.resize(c_off);
          remember(j, {d_off, ints_.size() - d_off});
          continue;
        }
      } else {
        // Partial closure below j first: an attribute outside B held by all of C refutes it.
        const std::uint32_t witness = common_outside_b_below(c_off, c_len, j);
        if (witness != UINT32_MAX) {
          ext_.resize(c_off);
          remember(j, {0, witness});
          continue;
        }
        for (std::size_t k = 0; k < b_len && ints_[b_off + k] < j; ++k) {
          ints_.push_back(ints_[b_off + k]);
        }
        intent_of(c_off, c_len, j, ints_);
      }
      children_.push_back({c_off, c_len, d_off, ints_.size() - d_off, j + 1});
    }

    for (std::uint32_t x : touched_) count_[x] = 0;
    for (std::size_t k = 0; k < b_len; ++k) {
      const std::uint32_t x = ints_[b_off + k];
      in_b_[x / kWordBits] &= ~(Word{1} << (x % kWordBits));
    }
    f.child_end = children_.size();
    f.next = f.child_begin;
    return f;
  }

  // What an ancestor learnt about j proves it fails here too.
  bool pruned(std::uint32_t j) const {
    const Failure& fl = failure_[j];
    if (strategy_ == CanonicityStrategy::kFailureSets) {
      if (fl.off == kNone) return false;
      for (std::size_t k = 0; k < fl.len && ints_[fl.off + k] < j; ++k) {
        if (!in_b(ints_[fl.off + k])) return true;
      }
      return false;
    }
    return fl.off != kNone && !in_b(static_cast<std::uint32_t>(fl.len));
  }

  void remember(std::uint32_t j, Failure f) {
    undo_.emplace_back(j, failure_[j]);
    failure_[j] = f;
  }

  // The first attribute below j, outside B, that every object of C has; UINT32_MAX if none.
  std::uint32_t common_outside_b_below(std::size_t c_off, std::size_t c_len, std::uint32_t j) {
    if (c_len == 0) return UINT32_MAX;  // j is then the smallest attribute outside B
    scratch_.clear();
    const std::uint32_t g0 = ext_[c_off];
    for (std::size_t p = sc_.row_start[g0]; p < sc_.row_start[g0 + 1] && sc_.items[p] < j; ++p) {
      if (!in_b(sc_.items[p])) scratch_.push_back(sc_.items[p]);
    }
    for (std::size_t k = 1; k < c_len && !scratch_.empty(); ++k) {
      const std::uint32_t g = ext_[c_off + k];
      std::size_t keep = 0;
      for (std::uint32_t x : scratch_) {
        if (sc_.has(g, x)) scratch_[keep++] = x;
      }
      scratch_.resize(keep);
    }
    return scratch_.empty() ? UINT32_MAX : scratch_.front();
  }

  const SparseContext& sc_;
  CanonicityStrategy strategy_;
  std::vector<Word> in_b_;
  std::vector<std::uint32_t> count_;
  std::vector<std::size_t> bucket_start_;
  std::vector<std::uint32_t> buckets_, touched_, scratch_;
  std::vector<std::uint32_t> ext_, ints_;
  std::vector<Child> children_;
  std::vector<Failure> failure_;
  std::vector<std::pair<std::uint32_t, Failure>> undo_;
};

}  // namespace

Lattice sparse_close_by_one_search(const SparseContext& sc, CanonicityStrategy strategy) {
  return SparseSearch(sc, strategy).run();
}

}  // namespace quorlan
