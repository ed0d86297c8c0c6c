#include "engine/sparse_search.h"

#include <algorithm>
#include <bit>

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

// A canonical child of a node: its extent C = ext_[ext_off, +ext_len) and the attribute j that
// generated it. Its intent below j + 1 is the parent's intent below j plus j; the rest is found
// when the child is expanded.
struct Child {
  std::size_t ext_off, ext_len;
  std::uint32_t j;
};

// A node on the stack: its children are children_[child_begin, child_end), `taken` of them
// visited; its intent is ints_[b_off, +b_len), and the arenas are cut back to it (and the
// failure memo undone) when it is popped.
struct Frame {
  std::size_t child_begin, child_end, taken;
  std::size_t ext_mark, undo_mark;
  std::size_t b_off, b_len;
};

// What made attribute j fail in an ancestor: attributes below j, outside the ancestor's intent,
// that all of the failed extent has. FCbO keeps all of them, either as a sorted list in the
// intent arena or, for a one-object extent, as the part of its row between its first attribute
// outside the intent and j (members of the intent there never refute). In-Close keeps one.
struct Failure {
  enum Kind : std::uint8_t { kNoFailure, kList, kRowPart, kWitness };
  Kind kind = kNoFailure;
  std::size_t off = 0;  // kList: arena offset; kRowPart: item position; kWitness: the attribute
  std::size_t len = 0;
};

class SparseSearch {
 public:
  SparseSearch(const SparseContext& sc, CanonicityStrategy strategy, SiblingOrder order)
      : sc_(sc),
        strategy_(strategy),
        order_(order),
        in_b_(words_for(sc.m), 0),
        seen_(words_for(sc.m), 0),
        count_(sc.m, 0),
        bucket_start_(sc.m, 0),
        failure_(sc.m, Failure{}),
        low_stamp_(sc.n, 0),
        low_pos_(sc.n, 0) {}

  Lattice run() {
    Lattice out(sc_.n, sc_.m);
    for (std::size_t g = 0; g < sc_.n; ++g) {
      ext_.push_back(static_cast<std::uint32_t>(g));
      pos_.push_back(sc_.row_start[g]);
    }
    std::vector<Frame> stack;
    stack.push_back(expand(0, sc_.n, ints_.size(), 0, out));
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.child_begin + f.taken < f.child_end) {
        const Child ch = children_[sibling_at(order_, f.child_begin, f.child_end, f.taken++)];
        // The child's intent starts as the parent's below j, then j.
        const std::size_t d_off = ints_.size();
        for (std::size_t k = 0; k < f.b_len && ints_[f.b_off + k] < ch.j; ++k) {
          ints_.push_back(ints_[f.b_off + k]);
        }
        ints_.push_back(ch.j);
        Frame next = expand(ch.ext_off, ch.ext_len, d_off, ch.j + 1, out);
        stack.push_back(next);
      } else {
        failure_.undo_to(f.undo_mark);
        ext_.resize(f.ext_mark);
        pos_.resize(f.ext_mark);
        ints_.resize(f.b_off);
        children_.resize(f.child_begin);
        stack.pop_back();
      }
    }
    return out;
  }

 private:
  bool in_b(std::uint32_t x) const { return test_bit(in_b_.data(), x); }

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

  // Counts, for every attribute from the node's y on, the objects of A = ext_[a_off, +a_len) that
  // have it (pos_ marks where each row passes y) and lists in touched_, ascending, those counted.
  void count_occurrences(std::size_t a_off, std::size_t a_len) {
    touched_.clear();
    std::uint32_t lo = UINT32_MAX, hi = 0;
    const std::uint32_t* items = sc_.items.data();
    for (std::size_t k = 0; k < a_len; ++k) {
      const std::uint32_t* last = items + sc_.row_start[ext_[a_off + k] + 1];
      for (const std::uint32_t* p = items + pos_[a_off + k]; p != last; ++p) {
        if (count_[*p]++ != 0) continue;
        touched_.push_back(*p);
        set_bit(seen_.data(), *p);
        lo = std::min(lo, *p);
        hi = std::max(hi, *p);
      }
    }
    if (touched_.empty()) return;
    // Sorting costs about t log t steps, reading the marks one step per word of the range.
    const std::size_t t = touched_.size();
    const std::size_t words = hi / kWordBits - lo / kWordBits + 1;
    if (t <= 16 || words > t * 4) {
      std::sort(touched_.begin(), touched_.end());
      for (std::uint32_t x : touched_) seen_[x / kWordBits] = 0;
      return;
    }
    touched_.clear();
    for (std::size_t w = lo / kWordBits; w <= hi / kWordBits; ++w) {
      for (Word bits = seen_[w]; bits != 0; bits &= bits - 1) {
        touched_.push_back(static_cast<std::uint32_t>(w * kWordBits) +
                           static_cast<std::uint32_t>(std::countr_zero(bits)));
      }
      seen_[w] = 0;
    }
  }

  // Where object g's row has its first attribute outside B; found once per node and object.
  std::size_t first_outside_b(std::uint32_t g) {
    if (low_stamp_[g] == node_) return low_pos_[g];
    std::size_t p = sc_.row_start[g];
    const std::size_t end = sc_.row_start[g + 1];
    while (p < end && in_b(sc_.items[p])) ++p;
    low_stamp_[g] = node_;
    low_pos_[g] = p;
    return p;
  }

  // Decides whether C = objs[0, len), whose objects all have j and whose rows pass j at pos,
  // is refuted: some attribute below j outside B that all of C has. Returns what refutes it,
  // or kNoFailure. With FCbO's failure sets, every refuting attribute is found (for a list, in
  // scratch_); otherwise the smallest.
  Failure refute(const std::uint32_t* objs, const std::size_t* pos, std::size_t len) {
    // Start from the shortest run below j, from the first attribute outside B, among the first
    // few objects; an object with an empty run (j is its first attribute outside B) settles it.
    std::size_t first = 0, best = SIZE_MAX;
    for (std::size_t k = 0; k < std::min<std::size_t>(len, 8); ++k) {
      const std::size_t run = pos[k] - 1 - first_outside_b(objs[k]);
      if (run == 0) return {};
      if (run < best) {
        first = k;
        best = run;
      }
    }
    if (len == 0) return {};  // j is then the smallest attribute outside B
    const std::uint32_t* items = sc_.items.data();
    const std::size_t begin = low_pos_[objs[first]], end = pos[first] - 1;
    const bool all = strategy_ == CanonicityStrategy::kFailureSets;
    if (len == 1) {
      if (all) return {Failure::kRowPart, begin, end - begin};
      return {Failure::kWitness, items[begin], 0};
    }
    if (!all) {
      // The smallest common attribute: walk one cursor per other object along the run.
      cursor_.clear();
      for (std::size_t k = 0; k < len; ++k) {
        if (k != first) cursor_.push_back(first_outside_b(objs[k]));
      }
      for (std::size_t p = begin; p < end; ++p) {
        const std::uint32_t x = items[p];
        if (in_b(x)) continue;
        bool common = true;
        for (std::size_t c = 0, k = 0; k < len && common; ++k) {
          if (k == first) continue;
          std::size_t& r = cursor_[c++];
          const std::size_t r_end = pos[k] - 1;
          while (r < r_end && items[r] < x) ++r;
          common = r < r_end && items[r] == x;
        }
        if (common) return {Failure::kWitness, x, 0};
      }
      return {};
    }
    scratch_.clear();
    for (std::size_t p = begin; p < end; ++p) {
      if (!in_b(items[p])) scratch_.push_back(items[p]);
    }
    for (std::size_t k = 0; k < len && !scratch_.empty(); ++k) {
      if (k == first) continue;
      keep_common(scratch_, 0, items + first_outside_b(objs[k]), items + pos[k] - 1);
    }
    if (scratch_.empty()) return {};
    return {Failure::kList, 0, scratch_.size()};
  }

  // Expands the node with extent A = ext_[a_off, +a_len), whose intent below y is
  // ints_[b_off, end) at the end of the intent arena: completes the intent, hands the concept
  // to `out`, and lists the node's canonical children.
  Frame expand(std::size_t a_off, std::size_t a_len, std::size_t b_off, std::uint32_t y,
               Lattice& out) {
    Frame f{children_.size(), 0, 0, ext_.size(), failure_.mark(), b_off, 0};
    ++node_;
    count_occurrences(a_off, a_len);
    // The intent from y on: the attributes that every object of A has.
    if (a_len == 0) {
      for (std::size_t x = y; x < sc_.m; ++x) ints_.push_back(static_cast<std::uint32_t>(x));
    } else {
      for (std::uint32_t x : touched_) {
        if (count_[x] == a_len) ints_.push_back(x);
      }
    }
    f.b_len = ints_.size() - b_off;
    out.push_lists(ext_.data() + a_off, a_len, ints_.data() + b_off, f.b_len);
    for (std::size_t k = 0; k < f.b_len; ++k) set_bit(in_b_.data(), ints_[b_off + k]);
    // The smallest attribute outside B: the only one whose empty extension can be canonical.
    std::uint32_t j0 = 0;
    for (std::size_t k = 0; k < f.b_len && ints_[b_off + k] == j0; ++k) ++j0;

    // Deliver every occurrence at or after y, outside B, into its attribute's bucket.
    std::size_t total = 0;
    for (std::uint32_t x : touched_) {
      if (count_[x] == a_len) continue;
      bucket_start_[x] = total;
      total += count_[x];
      count_[x] = 0;
    }
    buckets_.resize(total);
    bucket_pos_.resize(total);
    const std::uint32_t* items = sc_.items.data();
    for (std::size_t k = 0; k < a_len; ++k) {
      const std::uint32_t g = ext_[a_off + k];
      const std::uint32_t* last = items + sc_.row_start[g + 1];
      for (const std::uint32_t* p = items + pos_[a_off + k]; p != last; ++p) {
        if (in_b(*p)) continue;
        const std::size_t slot = bucket_start_[*p] + count_[*p]++;
        buckets_[slot] = g;
        bucket_pos_[slot] = static_cast<std::size_t>(p - items) + 1;  // just past the item
      }
    }
    if (j0 >= y && j0 < sc_.m && !in_b(j0) && count_[j0] == 0) {
      touched_.insert(std::lower_bound(touched_.begin(), touched_.end(), j0), j0);
      bucket_start_[j0] = 0;
    }

    for (std::uint32_t j : touched_) {
      if (in_b(j) || pruned(j)) continue;
      const std::uint32_t* c_objs = buckets_.data() + bucket_start_[j];
      const std::size_t* c_pos = bucket_pos_.data() + bucket_start_[j];
      const std::size_t c_len = count_[j];
      // An attribute below j outside B that all of C has refutes C's closure.
      Failure failed = refute(c_objs, c_pos, c_len);
      if (failed.kind != Failure::kNoFailure) {
        if (failed.kind == Failure::kList) {
          failed.off = ints_.size();
          ints_.insert(ints_.end(), scratch_.begin(), scratch_.end());
        }
        failure_.set(j, failed);
        continue;
      }
      const std::size_t c_off = ext_.size();
      ext_.insert(ext_.end(), c_objs, c_objs + c_len);
      pos_.insert(pos_.end(), c_pos, c_pos + c_len);
      children_.push_back({c_off, c_len, j});
    }

    for (std::uint32_t x : touched_) count_[x] = 0;
    for (std::size_t k = 0; k < f.b_len; ++k) clear_bit(in_b_.data(), ints_[b_off + k]);
    f.child_end = children_.size();
    return f;
  }

  // What an ancestor learnt about j proves it fails here too: an attribute that refuted j
  // there is still outside B (B only grows down the tree, and C only shrinks).
  bool pruned(std::uint32_t j) const {
    const Failure& fl = failure_[j];
    const std::uint32_t* list = nullptr;
    switch (fl.kind) {
      case Failure::kNoFailure:
        return false;
      case Failure::kWitness:
        return !in_b(static_cast<std::uint32_t>(fl.off));
      case Failure::kRowPart:
        list = sc_.items.data() + fl.off;
        break;
      case Failure::kList:
        list = ints_.data() + fl.off;
        break;
    }
    for (std::size_t k = 0; k < fl.len; ++k) {
      if (!in_b(list[k])) return true;
    }
    return false;
  }

  const SparseContext& sc_;
  CanonicityStrategy strategy_;
  SiblingOrder order_;
  std::vector<Word> in_b_, seen_;
  std::vector<std::uint32_t> count_;
  std::vector<std::size_t> bucket_start_;
  std::vector<std::uint32_t> buckets_, touched_, scratch_;
  std::vector<std::size_t> cursor_;
  std::vector<std::size_t> bucket_pos_;
  std::vector<std::size_t> pos_;  // parallel to ext_: where each object's row passes the node's y
  std::vector<std::uint32_t> ext_, ints_;
  std::vector<Child> children_;
  FailureMemo<Failure> failure_;
  std::uint64_t node_ = 0;  // counts expanded nodes, stamping what is cached per node
  std::vector<std::uint64_t> low_stamp_;
  std::vector<std::size_t> low_pos_;
};

}  // namespace

Lattice sparse_close_by_one_search(const SparseContext& sc, CanonicityStrategy strategy,
                                   SiblingOrder order) {
  return SparseSearch(sc, strategy, order).run();
}

}  // namespace quorlan
