#include <bit>
#include <vector>

#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "engine/dense_context.h"
#include "engine/events.h"

namespace quorlan {
namespace {

// The extents of the prefixes of the current intent A: entry e is the extent of the first
// `members` members of A, and holds for every longer prefix up to the next entry. The successor
// of A agrees with A below the accepted attribute, so the entries below it are kept.
struct PrefixExtents {
  struct Entry {
    std::size_t members, off, len;
  };
  std::vector<Entry> entries;
  std::vector<std::uint32_t> arena;

  const Entry& at(std::size_t members) const {
    std::size_t e = entries.size() - 1;
    while (entries[e].members > members) --e;
    return entries[e];
  }
};

std::size_t count_below(const Word* a, std::size_t i) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < i / kWordBits; ++w) c += std::popcount(a[w]);
  if (i % kWordBits != 0) c += std::popcount(a[i / kWordBits] & ((Word{1} << (i % kWordBits)) - 1));
  return c;
}

}  // namespace

Lattice NextClosure::compute(const Context& context) const {
  const DenseContext dc(context);
  const std::size_t W = dc.row_words;
  Lattice out(dc.n, dc.m);

  PrefixExtents prefix;
  prefix.arena.resize(dc.n);
  for (std::size_t g = 0; g < dc.n; ++g) prefix.arena[g] = static_cast<std::uint32_t>(g);
  prefix.entries.push_back({0, 0, dc.n});
  std::vector<Word> a(W), d(W);
  dc.intent_of(prefix.arena.data(), dc.n, a.data());
  out.push(prefix.arena.data(), dc.n, a.data());

  std::vector<std::uint32_t> c;
  // The bit form of the most recently used large prefix extent, by arena position.
  std::vector<Word> base_bits, c_bits;
  std::size_t bits_of = SIZE_MAX, bits_len = 0;
  for (;;) {
    bool accepted = false;
    for (std::size_t i = dc.m; i-- > 0;) {
      if (test_bit(a.data(), i)) continue;
      const std::size_t t = count_below(a.data(), i);
      const PrefixExtents::Entry base = prefix.at(t);
      c.clear();
      if (base.len > dc.dense_threshold()) {
        if (bits_of != base.off || bits_len != base.len) {
          dc.to_bits(prefix.arena.data() + base.off, base.len, base_bits);
          bits_of = base.off;
          bits_len = base.len;
        }
        c_bits.resize(dc.col_words);
        dc.intersect_bits(base_bits.data(), static_cast<std::uint32_t>(i), c_bits.data());
        if (dc.column_below_bits(c_bits.data(), a.data(), static_cast<std::uint32_t>(i)) !=
            kNoAttribute) {
          continue;
        }
        dc.append_members(c_bits.data(), c);
      } else {
        dc.filter(prefix.arena.data() + base.off, base.len, static_cast<std::uint32_t>(i), c);
        if (dc.column_below_list(c.data(), c.size(), a.data(), static_cast<std::uint32_t>(i)) !=
            kNoAttribute) {
          continue;
        }
      }
      dc.intent_of(c.data(), c.size(), d.data());
      // Accept: keep the prefix extents of the members below i, then C for the rest.
      while (prefix.entries.back().members > t) prefix.entries.pop_back();
      const PrefixExtents::Entry& last = prefix.entries.back();
      prefix.arena.resize(last.off + last.len);
      if (bits_of >= prefix.arena.size()) bits_of = SIZE_MAX;
      prefix.entries.push_back({t + 1, prefix.arena.size(), c.size()});
      prefix.arena.insert(prefix.arena.end(), c.begin(), c.end());
      a.swap(d);
      out.push(c.data(), c.size(), a.data());
      accepted = true;
      break;
    }
    if (!accepted) break;
  }
  QUORLAN_GENERATION_EVENT("quorlan_engine::next_closure", "next-closure", out);
  return out;
}

}  // namespace quorlan
