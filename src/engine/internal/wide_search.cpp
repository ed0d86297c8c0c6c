#include "engine/internal/wide_search.h"

#include <algorithm>
#include <numeric>

#include "core/grouping.h"
#include "core/interrupt.h"
#include "engine/forms.h"
#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"

namespace quorlan::internal {
namespace {

// The context with objects and attributes exchanged: attribute j becomes the row of the objects
// that have it. Names play no part here. The rows are grouped straight into the arrays the
// context takes over.
Context transposed(const Context& context) {
  struct Rows {
    GrowArray<std::uintptr_t> start;
    GrowArray<std::uint32_t> items;
  };
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  const PackedSets& rows = context.rows();
  Rows t = group_by_key_into<Rows>(m, [&](auto&& put) {
    InterruptTicker tick;
    for (std::size_t g = 0; g < std::min(n, rows.size()); ++g) {
      tick();
      rows.for_each(g, [&](std::uint32_t j) { put(j, static_cast<std::uint32_t>(g)); });
    }
  });
  return IncidenceBuilder(std::move(t.items), std::move(t.start))
      .build(NameList::generated('a', m), NameList::generated('o', n))
      .value();
}

// The concepts of the transposed context as concepts of the context: each intent as an
// ascending attribute list, in one buffer.
struct Intents {
  std::vector<std::uint64_t> start;
  std::vector<std::uint32_t> items;
  const std::uint32_t* begin(std::size_t i) const { return items.data() + start[i]; }
  const std::uint32_t* end(std::size_t i) const { return items.data() + start[i + 1]; }
};

// The smallest attribute in exactly one of the intents a and b, which differ.
std::uint32_t first_difference(const Intents& in, std::size_t a, std::size_t b) {
  const auto [pa, pb] = std::mismatch(in.begin(a), in.end(a), in.begin(b), in.end(b));
  if (pa == in.end(a)) return *pb;
  if (pb == in.end(b)) return *pa;
  return std::min(*pa, *pb);
}

// A zeroed buffer of `words` words, reused.
std::vector<Word>& scratch(std::size_t words) {
  thread_local std::vector<Word> buffer;
  buffer.assign(words, 0);
  return buffer;
}

// The attribute that generates each intent D in the tree of canonical extensions: in that
// tree the path to D adds, in ascending order, exactly the attributes j of D that the
// attributes of D below j do not imply (those whose column does not hold the extent of D ∩ Y_j);
// the last of them generated D. -1 for the root.
std::vector<std::int64_t> generators(const Intents& in, const Context& t, std::size_t n) {
  const std::size_t words = words_for(n);
  const PackedSets& columns = t.rows();  // per attribute, the objects that have it
  std::vector<Word> extent(words);
  std::vector<std::int64_t> out(in.start.size() - 1, -1);
  InterruptTicker tick;
  for (std::size_t i = 0; i < out.size(); ++i) {
    tick();
    fill_below(n, words, extent.data());
    std::size_t size = n;
    for (const std::uint32_t* p = in.begin(i); p != in.end(i); ++p) {
      // extent := extent ∩ column p; p is implied when that keeps every object.
      std::size_t kept = 0;
      if (columns.is_list(*p)) {
        const std::uint32_t* c = columns.list(*p);
        std::vector<Word>& next = scratch(words);
        for (std::size_t k = 0; k < columns.count(*p); ++k) {
          if (test_bit(extent.data(), c[k])) {
            set_bit(next.data(), c[k]);
            ++kept;
          }
        }
        extent.swap(next);
      } else {
        const Word* c = columns.bits(*p);
        for (std::size_t w = 0; w < words; ++w) extent[w] &= c[w];
        kept = count_bits(extent.data(), words);
      }
      if (kept != size) out[i] = *p;
      size = kept;
    }
  }
  return out;
}

// The order of the concepts, by their intents: lectic, or the depth-first pre-order of the tree.
std::vector<std::uint32_t> walk_order(const Intents& in, const Context& t, std::size_t n,
                                      SiblingOrder order) {
  std::vector<std::uint32_t> sorted(in.start.size() - 1);
  std::iota(sorted.begin(), sorted.end(), 0u);
  InterruptTicker tick;
  if (order == SiblingOrder::kDescending) {
    // Lectic order: the smallest attribute the two intents disagree on is in the later one.
    std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
      tick();
      if (a == b) return false;
      const std::uint32_t i = first_difference(in, a, b);
      return std::binary_search(in.begin(b), in.end(b), i);
    });
    return sorted;
  }
  // Depth-first pre-order, siblings by ascending generating attribute. Where two intents first
  // disagree, on attribute i, they agree on every attribute below it and so share their path in
  // the tree up to it; i is then the next step of the one that has it, and the other comes
  // first exactly when its path ends before i, that is when its generator is below i.
  const std::vector<std::int64_t> gen = generators(in, t, n);
  std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
    tick();
    if (a == b) return false;
    const std::uint32_t i = first_difference(in, a, b);
    if (std::binary_search(in.begin(b), in.end(b), i)) return gen[a] < std::int64_t{i};
    return gen[b] >= std::int64_t{i};
  });
  return sorted;
}

}  // namespace

Lattice transposed_search(const Context& context, SiblingOrder order) {
  const std::size_t n = context.n_objects(), m = context.n_attributes();
  const Context t = transposed(context);
  // The transposed context is searched on bit words or lists, as it suits; its concepts come in
  // some order of its own, which walk_order replaces.
  const Lattice found = prefers_sparse_search(t) ? sparse_search(SparseContext(t), order).lattice
                                                 : dense_search(DenseContext(t), order).lattice;
  // The extents of the transposed context are the intents of the context.
  Intents in;
  in.start.reserve(found.size() + 1);
  in.start.push_back(0);
  InterruptTicker tick;
  for (std::size_t i = 0; i < found.size(); ++i) {
    tick();
    found.extents().to_list(i, in.items);
    in.start.push_back(in.items.size());
  }
  Lattice out(n, m);
  std::vector<std::uint32_t> extent;
  for (std::uint32_t i : walk_order(in, t, n, order)) {
    tick();
    extent.clear();
    found.intents().to_list(i, extent);
    out.push_lists(extent.data(), extent.size(), in.begin(i),
                   static_cast<std::size_t>(in.end(i) - in.begin(i)));
  }
  return out;
}

}  // namespace quorlan::internal
