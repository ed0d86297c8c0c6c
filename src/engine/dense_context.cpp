#include "engine/dense_context.h"

#include <algorithm>

namespace quorlan {

DenseContext::DenseContext(const Context& context)
    : n(context.n_objects()),
      m(context.n_attributes()),
      row_words(words_for(m)),
      col_words(words_for(n)),
      rows(n * row_words, 0),
      cols(m * col_words, 0) {
  const std::size_t available = std::min(n, context.incidence().size());
  for (std::size_t g = 0; g < available; ++g) {
    const AttributeSet& r = context.row(g);
    std::copy(r.words(), r.words() + row_words, rows.data() + g * row_words);
    r.for_each([&](std::uint32_t j) { set_bit(cols.data() + j * col_words, g); });
  }
}

void DenseContext::full_intent(Word* out) const {
  const AttributeSet full = AttributeSet::full(m);
  std::copy(full.words(), full.words() + row_words, out);
}

void DenseContext::intent_of(const std::uint32_t* extent, std::size_t count, Word* out) const {
  full_intent(out);
  const std::size_t W = row_words;
  for (std::size_t k = 0; k < count; ++k) {
    const Word* r = row(extent[k]);
    for (std::size_t w = 0; w < W; ++w) out[w] &= r[w];
  }
}

}  // namespace quorlan
