// internal: include engine/enumerate.h or engine/canonical_base.h instead.
// The engine's bit-word form of a context: incidence rows and attribute columns as flat bit
// matrices, so that the inner loops touch contiguous words only; and the close-by-one search
// on it. Extents are ascending object lists in an arena, turned into bit words when they are
// long enough for whole-word intersections to pay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/concept.h"
#include "core/context.h"
#include "core/sets.h"
#include "engine/internal/walk.h"

namespace quorlan::internal {

struct DenseContext {
  // With a support, the attributes of fewer objects are left out of rows and columns: no
  // concept of that many objects has them.
  explicit DenseContext(const Context& context, std::size_t min_support = 0);

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
      if (test_bit(c, extent[k])) out.push_back(extent[k]);
    }
  }
  // The same from the extent as bit words (col_words of them): cheaper for large extents.
  void filter_bits(const Word* extent_bits, std::uint32_t j,
                   std::vector<std::uint32_t>& out) const {
    const Word* c = col(j);
    any_bit_of(
        col_words, [&](std::size_t w) { return extent_bits[w] & c[w]; },
        [&](std::uint32_t g) {
          out.push_back(g);
          return false;
        });
  }
  // out := extent_bits ∩ column j, as bit words.
  void intersect_bits(const Word* extent_bits, std::uint32_t j, Word* out) const {
    const Word* c = col(j);
    for (std::size_t w = 0; w < col_words; ++w) out[w] = extent_bits[w] & c[w];
  }
  // Extents longer than this are intersected as bit words rather than as lists.
  std::size_t dense_threshold() const { return 2 * col_words; }
  void to_bits(const std::uint32_t* extent, std::size_t count, std::vector<Word>& out) const {
    out.assign(col_words, 0);
    for (std::size_t k = 0; k < count; ++k) set_bit(out.data(), extent[k]);
  }
};

// The canonicity test of this form, for every algorithm: In-Close's test on the candidate
// extent, read on the rows of its objects with an early stop (no closure before it passes), and
// every failure remembered with all its refuting attributes (FCbO's failure sets), which
// prune the same attribute in the whole subtree.
EnumerationResult dense_search(const DenseContext& dc, SiblingOrder order,
                               const EnumerationLimits& limits = {});

}  // namespace quorlan::internal
