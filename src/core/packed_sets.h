// A compact, append-only store of many sets of one capacity. Each set is kept either as a
// sorted index list or as bit words, whichever takes less room, so that millions of sparse
// extents of a large context fit in memory as easily as dense ones.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sets.h"

namespace quorlan {

class PackedSets {
 public:
  explicit PackedSets(std::size_t capacity)
      : capacity_(capacity), words_per_set_(words_for(capacity)) {
    offsets_.push_back(0);
  }

  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return counts_.size(); }
  std::size_t words_per_set() const { return words_per_set_; }
  std::size_t count(std::size_t i) const { return counts_[i]; }
  // A set with at most this many members is stored as an index list.
  bool is_list(std::size_t i) const { return counts_[i] <= 2 * words_per_set_; }

  // Appends a set given as an ascending list of distinct indices below the capacity.
  void push_list(const std::uint32_t* idx, std::size_t count);
  // Appends a set given as words laid out as IndexSet stores them.
  void push_words(const Word* words);

  const std::uint32_t* list(std::size_t i) const { return data_.data() + offsets_[i]; }
  // Bit words of a dense set; only valid when !is_list(i).
  const Word* bits(std::size_t i) const {
    return reinterpret_cast<const Word*>(data_.data() + offsets_[i]);
  }

  // True when pred holds for some member of set i, in ascending order; stops at the first.
  template <class Pred>
  bool any_of(std::size_t i, Pred&& pred) const {
    if (is_list(i)) {
      const std::uint32_t* p = list(i);
      for (std::size_t k = 0; k < counts_[i]; ++k) {
        if (pred(p[k])) return true;
      }
      return false;
    }
    const Word* w = bits(i);
    for (std::size_t k = 0; k < words_per_set_; ++k) {
      for (Word b = w[k]; b != 0; b &= b - 1) {
        if (pred(static_cast<std::uint32_t>(k * kWordBits + std::countr_zero(b)))) return true;
      }
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

  template <class Tag>
  IndexSet<Tag> materialize(std::size_t i) const {
    std::vector<Word> w(words_per_set_);
    to_words(i, w.data());
    return IndexSet<Tag>::from_words(capacity_, w.data());
  }

 private:
  std::size_t capacity_;
  std::size_t words_per_set_;
  // Lists and bit words share one buffer of 32-bit cells; bit words start on an 8-byte
  // boundary (the buffer is padded before them).
  std::vector<std::uint32_t> data_;
  std::vector<std::uint64_t> offsets_;
  std::vector<std::uint32_t> counts_;
};

}  // namespace quorlan
