// The engine's working copy of a context: incidence rows and attribute columns as flat bit
// matrices, so that the inner loops of every algorithm touch contiguous words only.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/context.h"
#include "core/sets.h"

namespace quorlan {

inline constexpr std::uint32_t kNoAttribute = UINT32_MAX;

struct DenseContext {
  explicit DenseContext(const Context& context);

  std::size_t n, m;
  std::size_t row_words;  // words per row, laid out as AttributeSet stores them
  std::size_t col_words;  // words per column
  std::vector<Word> rows;
  std::vector<Word> cols;

  const Word* row(std::size_t g) const { return rows.data() + g * row_words; }
  const Word* col(std::size_t j) const { return cols.data() + j * col_words; }

  // out := the attributes common to the objects of `extent` (all attributes when it is empty).
  void intent_of(const std::uint32_t* extent, std::size_t count, Word* out) const;
  // Appends to `out` the members of `extent` that have attribute j.
  void filter(const std::uint32_t* extent, std::size_t count, std::uint32_t j,
              std::vector<std::uint32_t>& out) const {
    const Word* c = col(j);
    for (std::size_t k = 0; k < count; ++k) {
      const std::uint32_t g = extent[k];
      if (test_bit(c, g)) out.push_back(g);
    }
  }
  // The same from the extent as bit words (col_words of them): cheaper for large extents.
  void filter_bits(const Word* extent_bits, std::uint32_t j,
                   std::vector<std::uint32_t>& out) const {
    const Word* c = col(j);
    for (std::size_t w = 0; w < col_words; ++w) {
      Word b = extent_bits[w] & c[w];
      while (b != 0) {
        out.push_back(static_cast<std::uint32_t>(w * kWordBits + std::countr_zero(b)));
        b &= b - 1;
      }
    }
  }
  // C = extent_bits ∩ column j, as bit words.
  void intersect_bits(const Word* extent_bits, std::uint32_t j, Word* out) const {
    const Word* c = col(j);
    for (std::size_t w = 0; w < col_words; ++w) out[w] = extent_bits[w] & c[w];
  }
  void append_members(const Word* bits, std::vector<std::uint32_t>& out) const {
    for (std::size_t w = 0; w < col_words; ++w) {
      Word b = bits[w];
      while (b != 0) {
        out.push_back(static_cast<std::uint32_t>(w * kWordBits + std::countr_zero(b)));
        b &= b - 1;
      }
    }
  }
  // Canonicity by columns: the first attribute k < j outside `b` that every object of C has,
  // or kNoAttribute. Is there an attribute k < j outside `b` that every object of C has?
  // (Exactly the attributes the closure of C would add below j.)
  template <class HoldsAll>
  std::uint32_t column_below(const Word* b, std::uint32_t j, HoldsAll&& holds_all) const {
    for (std::size_t w = 0; w * kWordBits < j; ++w) {
      Word outside = ~b[w];
      if ((w + 1) * kWordBits > j) outside &= (Word{1} << (j % kWordBits)) - 1;
      while (outside != 0) {
        const std::uint32_t k =
            static_cast<std::uint32_t>(w * kWordBits + std::countr_zero(outside));
        if (holds_all(col(k))) return k;
        outside &= outside - 1;
      }
    }
    return kNoAttribute;
  }
  std::uint32_t column_below_list(const std::uint32_t* c, std::size_t count, const Word* b,
                                  std::uint32_t j) const {
    return column_below(b, j, [&](const Word* column) {
      for (std::size_t t = 0; t < count; ++t) {
        if (!test_bit(column, c[t])) return false;
      }
      return true;
    });
  }
  std::uint32_t column_below_bits(const Word* c_bits, const Word* b, std::uint32_t j) const {
    return column_below(b, j, [&](const Word* column) {
      for (std::size_t w = 0; w < col_words; ++w) {
        if ((c_bits[w] & ~column[w]) != 0) return false;
      }
      return true;
    });
  }
  // Extents longer than this are intersected as bit words rather than as lists.
  std::size_t dense_threshold() const { return 2 * col_words; }
  void to_bits(const std::uint32_t* extent, std::size_t count, std::vector<Word>& out) const {
    out.assign(col_words, 0);
    for (std::size_t k = 0; k < count; ++k) set_bit(out.data(), extent[k]);
  }
  // Writes the full attribute set (capacity m) into out.
  void full_intent(Word* out) const;
};

// True when a and b agree on every bit below `limit`.
inline bool agree_below(const Word* a, const Word* b, std::size_t limit) {
  const std::size_t whole = limit / kWordBits;
  for (std::size_t w = 0; w < whole; ++w) {
    if (a[w] != b[w]) return false;
  }
  const std::size_t rest = limit % kWordBits;
  if (rest == 0) return true;
  const Word mask = (Word{1} << rest) - 1;
  return ((a[whole] ^ b[whole]) & mask) == 0;
}

}  // namespace quorlan
