// A compact, append-only store of many sets of one capacity. Each set is kept either as a
// sorted index list or as bit words, whichever takes less room, so that millions of sparse
// extents or rows of a large context fit in memory as easily as dense ones. Lists and words
// live in two buffers of their own; a set names its form and its place in one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sets.h"

namespace quorlan {

// How the sets of a store are kept: each by its size (the default), or all in one form.
enum class SetForm { kBySize, kList, kWords };

class PackedSets {
 public:
  explicit PackedSets(std::size_t capacity, SetForm form = SetForm::kBySize)
      : capacity_(capacity), words_per_set_(words_for(capacity)), form_(form) {}

  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return counts_.size(); }
  std::size_t words_per_set() const { return words_per_set_; }
  std::size_t count(std::size_t i) const { return counts_[i]; }
  bool is_list(std::size_t i) const { return (offsets_[i] & kListBit) != 0; }

  // Appends a set given as an ascending list of distinct indices below the capacity.
  void push_list(const std::uint32_t* idx, std::size_t count);
  // Appends a set given as words laid out as IndexSet stores them.
  void push_words(const Word* words);
  // Appends the sets items[starts[k], starts[k + 1]), each an ascending list. When the store is
  // empty and every one of them is kept as a list, both buffers are taken over, not copied.
  void push_lists(std::vector<std::uint32_t>&& items, std::vector<std::uint64_t>&& starts);

  // The members of a list set; only valid when is_list(i).
  const std::uint32_t* list(std::size_t i) const {
    return lists_.data() + (offsets_[i] & ~kListBit);
  }
  // The bit words of a dense set; only valid when !is_list(i).
  const Word* bits(std::size_t i) const { return words_.data() + offsets_[i]; }
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
  static constexpr std::uint64_t kListBit = std::uint64_t{1} << 63;

  // Whether a set of `count` members goes into the list buffer.
  bool as_list(std::size_t count) const {
    return form_ == SetForm::kList || (form_ == SetForm::kBySize && count <= 2 * words_per_set_);
  }

  std::size_t capacity_;
  std::size_t words_per_set_;
  SetForm form_;
  std::vector<std::uint32_t> lists_;
  std::vector<Word> words_;
  std::vector<std::uint64_t> offsets_;  // into lists_ (kListBit set) or words_
  std::vector<std::uint32_t> counts_;
};

}  // namespace quorlan
