#include "core/packed_sets.h"

#include <algorithm>

namespace quorlan {

void PackedSets::push_list(const std::uint32_t* idx, std::size_t count) {
  if (count <= 2 * words_per_set_) {
    data_.insert(data_.end(), idx, idx + count);
  } else {
    if (data_.size() % 2 != 0) data_.push_back(0);
    offsets_.back() = data_.size();
    const std::size_t start = data_.size();
    data_.resize(start + 2 * words_per_set_, 0);
    Word* w = reinterpret_cast<Word*>(data_.data() + start);
    for (std::size_t k = 0; k < count; ++k) set_bit(w, idx[k]);
  }
  counts_.push_back(static_cast<std::uint32_t>(count));
  offsets_.push_back(data_.size());
}

void PackedSets::push_words(const Word* words) {
  std::size_t count = 0;
  for (std::size_t k = 0; k < words_per_set_; ++k) count += std::popcount(words[k]);
  if (count <= 2 * words_per_set_) {
    for (std::size_t k = 0; k < words_per_set_; ++k) {
      Word b = words[k];
      while (b != 0) {
        data_.push_back(static_cast<std::uint32_t>(k * kWordBits + std::countr_zero(b)));
        b &= b - 1;
      }
    }
  } else {
    if (data_.size() % 2 != 0) data_.push_back(0);
    offsets_.back() = data_.size();
    const std::size_t start = data_.size();
    data_.resize(start + 2 * words_per_set_);
    std::copy(words, words + words_per_set_, reinterpret_cast<Word*>(data_.data() + start));
  }
  counts_.push_back(static_cast<std::uint32_t>(count));
  offsets_.push_back(data_.size());
}

void PackedSets::to_words(std::size_t i, Word* out) const {
  if (!is_list(i)) {
    std::copy(bits(i), bits(i) + words_per_set_, out);
    return;
  }
  std::fill(out, out + words_per_set_, Word{0});
  const std::uint32_t* p = list(i);
  for (std::size_t k = 0; k < counts_[i]; ++k) set_bit(out, p[k]);
}

void PackedSets::to_list(std::size_t i, std::vector<std::uint32_t>& out) const {
  for_each(i, [&](std::uint32_t x) { out.push_back(x); });
}

}  // namespace quorlan
