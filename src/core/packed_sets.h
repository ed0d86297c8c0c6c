// A compact, append-only store of many sets of one capacity. Each set is kept either as a
// sorted index list or as bit words, whichever takes less room, so that millions of sparse
// extents or rows of a large context fit in memory as easily as dense ones. Lists and words
// live in blocks of their own that never move (core/internal/memory.h): each new block is as
// large as all before it, so storing N sets copies nothing and touches each page once. A set
// names its form and its place in a block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/grow_array.h"
#include "core/internal/memory.h"
#include "core/sets.h"

namespace quorlan {

// How the sets of a store are kept: each by its size (the default), or all in one form.
enum class SetForm { kBySize, kList, kWords };

class PackedSets {
 public:
  explicit PackedSets(std::size_t capacity, SetForm form = SetForm::kBySize)
      : capacity_(capacity), words_per_set_(words_for(capacity)), form_(form) {}

  PackedSets(PackedSets&&) noexcept = default;
  PackedSets& operator=(PackedSets&&) noexcept = default;
  // A copy keeps its sets in blocks of its own.
  PackedSets(const PackedSets& other);
  PackedSets& operator=(const PackedSets& other) {
    if (this != &other) *this = PackedSets(other);
    return *this;
  }

  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return counts_.size(); }
  std::size_t words_per_set() const { return words_per_set_; }
  std::size_t count(std::size_t i) const { return counts_[i]; }
  bool is_list(std::size_t i) const { return (places_[i] & kListBit) != 0; }

  // Appends a set given as an ascending list of distinct indices below the capacity.
  void push_list(const std::uint32_t* idx, std::size_t count);
  // Appends a set given as words laid out as IndexSet stores them (of `count` members, when
  // the caller knows).
  void push_words(const Word* words) { push_words(words, count_bits(words, words_per_set_)); }
  void push_words(const Word* words, std::size_t count);
  // Appends the sets items[starts[k], starts[k + 1]), each an ascending list. When the store is
  // empty, the items are taken over, not copied: the sets kept as lists stay where they are, and
  // those kept as words are written anew (their items left unused). The offsets become the
  // sets' places where they stand, so the store takes no second array.
  void push_lists(GrowArray<std::uint32_t>&& items, GrowArray<std::uintptr_t>&& starts);

  // The members of a list set; only valid when is_list(i).
  const std::uint32_t* list(std::size_t i) const {
    return reinterpret_cast<const std::uint32_t*>(places_[i] & ~kListBit);
  }
  // The bit words of a dense set; only valid when !is_list(i).
  const Word* bits(std::size_t i) const { return reinterpret_cast<const Word*>(places_[i]); }
  SetForm form() const { return form_; }

  // True when pred holds for some member of set i, in ascending order; stops at the first.
  template <class Pred>
  bool any_of(std::size_t i, Pred&& pred) const {
    if (!is_list(i)) return any_bit(bits(i), words_per_set_, pred);
    const std::uint32_t* p = list(i);
    for (std::size_t k = 0; k < counts_[i]; ++k) {
      if (pred(p[k])) return true;
    }
    return false;
  }
  template <class F>
  void for_each(std::size_t i, F&& f) const {
    any_of(i, [&](std::uint32_t x) {
      f(x);
      return false;
    });
  }
  // Writes set i as bit words into out (words_per_set() words).
  void to_words(std::size_t i, Word* out) const;
  // Appends the members of set i to out.
  void to_list(std::size_t i, std::vector<std::uint32_t>& out) const;

  // Set i as a set value of the matching type.
  template <class Tag>
  IndexSet<Tag> materialize(std::size_t i) const {
    IndexSet<Tag> s = IndexSet<Tag>::empty(capacity_);
    to_words(i, s.mutable_words());
    return s;
  }

 private:
  // A set's place is its address, with the lowest bit (never set in an aligned address) telling
  // a list from words.
  static constexpr std::uintptr_t kListBit = 1;
  static std::uintptr_t place(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

  // Whether a set of `count` members goes into the list buffer.
  bool as_list(std::size_t count) const {
    return form_ == SetForm::kList || (form_ == SetForm::kBySize && count <= 2 * words_per_set_);
  }

  std::size_t capacity_;
  std::size_t words_per_set_;
  SetForm form_;
  internal::BlockBuffer<std::uint32_t> lists_;
  internal::BlockBuffer<Word> words_;
  GrowArray<std::uintptr_t> places_;
  GrowArray<std::uint32_t> counts_;
};

}  // namespace quorlan
