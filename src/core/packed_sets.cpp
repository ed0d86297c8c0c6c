#include "core/packed_sets.h"

#include <algorithm>

#include "core/interrupt.h"

namespace quorlan {

void PackedSets::push_list(const std::uint32_t* idx, std::size_t count) {
  counts_.push_back(static_cast<std::uint32_t>(count));
  if (as_list(count)) {
    offsets_.push_back(lists_.size() | kListBit);
    lists_.insert(lists_.end(), idx, idx + count);
    return;
  }
  offsets_.push_back(words_.size());
  words_.resize(words_.size() + words_per_set_, 0);
  Word* w = words_.data() + offsets_.back();
  for (std::size_t k = 0; k < count; ++k) set_bit(w, idx[k]);
}

void PackedSets::push_words(const Word* words) {
  counts_.push_back(static_cast<std::uint32_t>(count_bits(words, words_per_set_)));
  if (as_list(counts_.back())) {
    offsets_.push_back(lists_.size() | kListBit);
    for_each_bit(words, words_per_set_, [&](std::uint32_t x) { lists_.push_back(x); });
    return;
  }
  offsets_.push_back(words_.size());
  words_.insert(words_.end(), words, words + words_per_set_);
}

void PackedSets::push_lists(std::vector<std::uint32_t>&& items,
                            std::vector<std::uint64_t>&& starts) {
  const std::size_t sets = starts.empty() ? 0 : starts.size() - 1;
  const auto length = [&](std::size_t k) { return starts[k + 1] - starts[k]; };
  bool all_lists = size() == 0;
  for (std::size_t k = 0; k < sets && all_lists; ++k) all_lists = as_list(length(k));
  if (!all_lists) {
    InterruptTicker tick;
    for (std::size_t k = 0; k < sets; ++k) {
      tick();
      push_list(items.data() + starts[k], length(k));
    }
    return;
  }
  counts_.reserve(sets);
  for (std::size_t k = 0; k < sets; ++k) counts_.push_back(static_cast<std::uint32_t>(length(k)));
  lists_ = std::move(items);
  offsets_ = std::move(starts);
  offsets_.pop_back();
  for (std::uint64_t& o : offsets_) o |= kListBit;
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
