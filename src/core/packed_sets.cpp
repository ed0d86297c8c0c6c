#include "core/packed_sets.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <type_traits>

#include "core/interrupt.h"

namespace quorlan {

PackedSets::PackedSets(const PackedSets& other)
    : capacity_(other.capacity_), words_per_set_(other.words_per_set_), form_(other.form_) {
  for (std::size_t i = 0; i < other.size(); ++i) {
    if (other.is_list(i)) {
      push_list(other.list(i), other.count(i));
    } else {
      push_words(other.bits(i), other.count(i));
    }
  }
}

void PackedSets::push_list(const std::uint32_t* idx, std::size_t count) {
  counts_.push_back(static_cast<std::uint32_t>(count));
  if (as_list(count)) {
    std::uint32_t* out = lists_.append(count);
    std::copy(idx, idx + count, out);
    places_.push_back(place(out) | kListBit);
    return;
  }
  Word* w = words_.append(words_per_set_);
  std::fill(w, w + words_per_set_, Word{0});
  for (std::size_t k = 0; k < count; ++k) set_bit(w, idx[k]);
  places_.push_back(place(w));
}

void PackedSets::push_words(const Word* words, std::size_t count) {
  counts_.push_back(static_cast<std::uint32_t>(count));
  if (as_list(count)) {
    std::uint32_t* out = lists_.append(count);
    places_.push_back(place(out) | kListBit);
    for_each_bit(words, words_per_set_, [&](std::uint32_t x) { *out++ = x; });
    return;
  }
  Word* w = words_.append(words_per_set_);
  std::copy(words, words + words_per_set_, w);
  places_.push_back(place(w));
}

void PackedSets::push_lists(GrowArray<std::uint32_t>&& items, GrowArray<std::uintptr_t>&& starts) {
  const std::size_t sets = starts.size() == 0 ? 0 : starts.size() - 1;
  const auto length = [&](std::size_t k) { return starts[k + 1] - starts[k]; };
  InterruptTicker tick;
  if (size() != 0) {
    for (std::size_t k = 0; k < sets; ++k) {
      tick();
      push_list(items.data() + starts[k], length(k));
    }
    return;
  }
  const std::uint32_t* first = lists_.adopt(std::move(items));
  counts_.reserve(sets);
  // Each offset becomes the place of its set where it stands: a list's place is its address in
  // the adopted items; a set kept as words gets words of its own. starts[k + 1] is read before
  // starts[k + 1] itself is replaced, on the next turn.
  std::uintptr_t* at = starts.data();
  for (std::size_t k = 0; k < sets; ++k) {
    tick();
    const std::size_t count = length(k);
    const std::uint32_t* members = first + at[k];
    counts_.push_back(static_cast<std::uint32_t>(count));
    if (as_list(count)) {
      at[k] = place(members) | kListBit;
      continue;
    }
    Word* w = words_.append(words_per_set_);
    std::fill(w, w + words_per_set_, Word{0});
    for (std::size_t i = 0; i < count; ++i) set_bit(w, members[i]);
    at[k] = place(w);
  }
  starts.pop_back();
  places_ = std::move(starts);
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
