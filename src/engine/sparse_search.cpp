#include "engine/sparse_search.h"

#include <algorithm>

namespace quorlan {

SparseContext::SparseContext(const Context& context)
    : n(context.n_objects()), m(context.n_attributes()) {
  row_start.reserve(n + 1);
  row_start.push_back(0);
  const std::size_t available = std::min(n, context.incidence().size());
  for (std::size_t g = 0; g < n; ++g) {
    if (g < available) {
      context.row(g).for_each([&](std::uint32_t j) { items.push_back(j); });
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

// What made attribute j fail in an ancestor: FCbO keeps the failed intent (a sorted list in
// the intent arena), In-Close one attribute of C's partial closure outside the intent.
constexpr std::size_t kWitness = SIZE_MAX - 1;
struct Failure {
  std::size_t off = kNone;
  std::size_t len = 0;
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
    for (std::size_t g = 0; g < sc_.n; ++g) {
      ext_.push_back(static_cast<std::uint32_t>(g));
      pos_.push_back(sc_.row_start[g]);
    }
    top_intent(ints_);
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
        pos_.resize(f.ext_mark);
        ints_.resize(f.int_mark);
        children_.resize(f.child_begin);
        stack.pop_back();
      }
    }
    return out;
  }

 private:
  bool in_b(std::uint32_t x) const { return (in_b_[x / kWordBits] >> (x % kWordBits)) & 1u; }

  // Keeps in v[start, end) only the attributes found in the sorted row part [r, r_end): a
  // merge, sequential in memory unlike probing the columns.
  static void keep_common(std::vector<std::uint32_t>& v, std::size_t start, const std::uint32_t* r,
                          const std::uint32_t* r_end) {
    std::size_t keep = start;
    for (std::size_t p = start; p < v.size() && r != r_end; ++p) {
      while (r != r_end && *r < v[p]) ++r;
      if (r != r_end && *r == v[p]) v[keep++] = v[p];
    }
    v.resize(keep);
  }

  // Appends to `out` the attributes that every object has (all of them without objects).
  void top_intent(std::vector<std::uint32_t>& out) const {
    if (sc_.n == 0) {
      for (std::size_t x = 0; x < sc_.m; ++x) out.push_back(static_cast<std::uint32_t>(x));
      return;
    }
    const std::uint32_t* items = sc_.items.data();
    out.insert(out.end(), items + sc_.row_start[0], items + sc_.row_start[1]);
    for (std::size_t g = 1; g < sc_.n && !out.empty(); ++g) {
      keep_common(out, 0, items + sc_.row_start[g], items + sc_.row_start[g + 1]);
    }
  }

  // Appends to ints_ the attributes below j (below_j) or from j on (otherwise) that all objects
  // of C = ext_[off, off+len) have; C holds j, and pos_ marks where each row passes it.
  // Among the first few objects of C, the one whose row part (below j, or from j on) is
  // shortest: the intersection starts from it.
  std::size_t shortest_part(std::size_t off, std::size_t len, bool below_j) const {
    std::size_t best = 0, best_len = SIZE_MAX;
    for (std::size_t k = 0; k < std::min<std::size_t>(len, 8); ++k) {
      const std::uint32_t g = ext_[off + k];
      const std::size_t at_j = pos_[off + k] - 1;
      const std::size_t part = below_j ? at_j - sc_.row_start[g] : sc_.row_start[g + 1] - at_j;
      if (part < best_len) {
        best = k;
        best_len = part;
      }
    }
    return best;
  }

  void common_part(std::size_t off, std::size_t len, bool below_j, std::uint32_t j) {
    if (len == 0) {
      for (std::size_t x = below_j ? 0 : j; x < (below_j ? j : sc_.m); ++x) {
        ints_.push_back(static_cast<std::uint32_t>(x));
      }
      return;
    }
    const std::size_t first = shortest_part(off, len, below_j);
    const std::uint32_t g0 = ext_[off + first];
    const std::uint32_t* items = sc_.items.data();
    const std::size_t at_j = pos_[off + first] - 1;  // the position of j in g0's row
    const std::size_t start = ints_.size();
    if (below_j) {
      ints_.insert(ints_.end(), items + sc_.row_start[g0], items + at_j);
    } else {
      ints_.insert(ints_.end(), items + at_j, items + sc_.row_start[g0 + 1]);
    }
    for (std::size_t k = 0; k < len && ints_.size() > start; ++k) {
      if (k == first) continue;
      const std::uint32_t g = ext_[off + k];
      const std::uint32_t* j_at = items + pos_[off + k] - 1;
      if (below_j) {
        keep_common(ints_, start, items + sc_.row_start[g], j_at);
      } else {
        keep_common(ints_, start, j_at, items + sc_.row_start[g + 1]);
      }
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
    // pos_ holds, for each object of A, where its row passes y: the search carries these
    // positions down the tree instead of searching the rows again.
    touched_.clear();
    for (std::size_t k = 0; k < a_len; ++k) {
      const std::uint32_t g = ext_[a_off + k];
      const std::uint32_t* last = sc_.items.data() + sc_.row_start[g + 1];
      for (const std::uint32_t* p = sc_.items.data() + pos_[a_off + k]; p != last; ++p) {
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
    bucket_pos_.resize(total);
    for (std::size_t k = 0; k < a_len; ++k) {
      const std::uint32_t g = ext_[a_off + k];
      const std::uint32_t* first = sc_.items.data();
      const std::uint32_t* last = first + sc_.row_start[g + 1];
      for (const std::uint32_t* p = first + pos_[a_off + k]; p != last; ++p) {
        if (in_b(*p)) continue;
        const std::size_t slot = bucket_start_[*p] + count_[*p]++;
        buckets_[slot] = g;
        bucket_pos_[slot] = static_cast<std::size_t>(p - first) + 1;  // just past the item
      }
    }
    if (j0 >= y && j0 < sc_.m && !in_b(j0) && count_[j0] == 0) {
      touched_.insert(std::lower_bound(touched_.begin(), touched_.end(), j0), j0);
      bucket_start_[j0] = 0;
    }

    std::size_t b_below = 0;  // members of B below the current candidate
    for (std::uint32_t j : touched_) {
      const std::size_t c_begin = bucket_start_[j];
      const std::size_t c_len = count_[j];
      if (pruned(j)) continue;
      const std::size_t c_off = ext_.size();
      ext_.insert(ext_.end(), buckets_.begin() + static_cast<std::ptrdiff_t>(c_begin),
                  buckets_.begin() + static_cast<std::ptrdiff_t>(c_begin + c_len));
      pos_.insert(pos_.end(), bucket_pos_.begin() + static_cast<std::ptrdiff_t>(c_begin),
                  bucket_pos_.begin() + static_cast<std::ptrdiff_t>(c_begin + c_len));
      const std::size_t d_off = ints_.size();
      if (strategy_ == CanonicityStrategy::kFailureSets) {
        // The part of D below j first: B ⊆ D, so D agrees with B there exactly when both hold
        // as many attributes. A failed part is all that pruning ever reads of a failed intent.
        common_part(c_off, c_len, /*below_j=*/true, j);
        while (b_below < b_len && ints_[b_off + b_below] < j) ++b_below;
        if (ints_.size() - d_off != b_below) {
          ext_.resize(c_off);
          pos_.resize(c_off);
          remember(j, {d_off, ints_.size() - d_off});
          continue;
        }
        common_part(c_off, c_len, /*below_j=*/false, j);
      } else {
        // Partial closure below j first: an attribute outside B held by all of C refutes it.
        common_outside_b_below(c_off, c_len);
        if (!scratch_.empty()) {
          // One refuting attribute is kept: while it stays outside B, j fails below too.
          ext_.resize(c_off);
          pos_.resize(c_off);
          remember(j, {kWitness, scratch_.front()});
          continue;
        }
        for (std::size_t k = 0; k < b_len && ints_[b_off + k] < j; ++k) {
          ints_.push_back(ints_[b_off + k]);
        }
        common_part(c_off, c_len, /*below_j=*/false, j);
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
    if (fl.off == kNone) return false;
    if (fl.off == kWitness) return !in_b(static_cast<std::uint32_t>(fl.len));
    for (std::size_t k = 0; k < fl.len && ints_[fl.off + k] < j; ++k) {
      if (!in_b(ints_[fl.off + k])) return true;
    }
    return false;
  }

  void remember(std::uint32_t j, Failure f) {
    undo_.emplace_back(j, failure_[j]);
    failure_[j] = f;
  }

  // Leaves in scratch_ the attributes below j, outside B, that every object of C has.
  // (C holds j, and pos_ marks where each of its rows passes j.)
  void common_outside_b_below(std::size_t c_off, std::size_t c_len) {
    scratch_.clear();
    if (c_len == 0) return;  // j is then the smallest attribute outside B
    const std::size_t first = shortest_part(c_off, c_len, /*below_j=*/true);
    const std::uint32_t g0 = ext_[c_off + first];
    for (std::size_t p = sc_.row_start[g0]; p + 1 < pos_[c_off + first]; ++p) {
      if (!in_b(sc_.items[p])) scratch_.push_back(sc_.items[p]);
    }
    const std::uint32_t* items = sc_.items.data();
    for (std::size_t k = 0; k < c_len && !scratch_.empty(); ++k) {
      if (k == first) continue;
      const std::uint32_t g = ext_[c_off + k];
      keep_common(scratch_, 0, items + sc_.row_start[g], items + pos_[c_off + k] - 1);
    }
  }

  const SparseContext& sc_;
  CanonicityStrategy strategy_;
  std::vector<Word> in_b_;
  std::vector<std::uint32_t> count_;
  std::vector<std::size_t> bucket_start_;
  std::vector<std::uint32_t> buckets_, touched_, scratch_;
  std::vector<std::size_t> bucket_pos_;
  std::vector<std::size_t> pos_;  // parallel to ext_: where each object's row passes the node's y
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
