// Fixed-capacity sets of object or attribute indices. One bit per index in 64-bit words, padded
// to whole 128-bit blocks (two words); bits at or beyond the capacity are always zero, so
// whole-word operations never need masking.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/panic.h"

namespace quorlan {

using Word = std::uint64_t;
inline constexpr std::size_t kWordBits = 64;

// Words needed for `capacity` bits, rounded up to whole 128-bit blocks.
inline std::size_t words_for(std::size_t capacity) { return ((capacity + 127) / 128) * 2; }

// Single bits of a word array.
inline bool test_bit(const Word* w, std::size_t i) {
  return (w[i / kWordBits] >> (i % kWordBits)) & 1u;
}
inline void set_bit(Word* w, std::size_t i) { w[i / kWordBits] |= Word{1} << (i % kWordBits); }
inline void clear_bit(Word* w, std::size_t i) { w[i / kWordBits] &= ~(Word{1} << (i % kWordBits)); }

template <class Tag>
class IndexSet {
 public:
  static IndexSet empty(std::size_t capacity) { return IndexSet(capacity); }
  static IndexSet full(std::size_t capacity) {
    IndexSet s(capacity);
    std::size_t whole = capacity / kWordBits;
    for (std::size_t w = 0; w < whole; ++w) s.words_[w] = ~Word{0};
    if (capacity % kWordBits != 0) s.words_[whole] = (Word{1} << (capacity % kWordBits)) - 1;
    return s;
  }
  // Adopts words already laid out as this type stores them (padding words included).
  static IndexSet from_words(std::size_t capacity, const Word* words) {
    IndexSet s(capacity);
    for (std::size_t w = 0; w < s.words_.size(); ++w) s.words_[w] = words[w];
    return s;
  }

  void insert(std::uint32_t i) {
    if (i >= capacity_) {
      panic(std::string(Tag::kName) + " index " + std::to_string(i) +
            " out of range for capacity " + std::to_string(capacity_));
    }
    set_bit(words_.data(), i);
  }
  bool contains(std::uint32_t i) const { return i < capacity_ && test_bit(words_.data(), i); }
  std::vector<std::uint32_t> ones() const {
    std::vector<std::uint32_t> out;
    for_each([&](std::uint32_t i) { out.push_back(i); });
    return out;
  }
  template <class F>
  void for_each(F&& f) const {
    for (std::size_t w = 0; w < words_.size(); ++w) {
      Word bits = words_[w];
      while (bits != 0) {
        f(static_cast<std::uint32_t>(w * kWordBits + std::countr_zero(bits)));
        bits &= bits - 1;
      }
    }
  }
  std::size_t count() const {
    std::size_t c = 0;
    for (Word w : words_) c += static_cast<std::size_t>(std::popcount(w));
    return c;
  }
  std::size_t capacity() const { return capacity_; }

  bool equals(const IndexSet& other) const {
    return capacity_ == other.capacity_ && words_ == other.words_;
  }
  bool operator==(const IndexSet& other) const { return equals(other); }

  bool is_subset(const IndexSet& other) const {
    if (capacity_ != other.capacity_) {
      panic(std::string("assertion failed: ") + Tag::kName + " capacities differ (" +
            std::to_string(capacity_) + " != " + std::to_string(other.capacity_) + ")");
    }
    for (std::size_t w = 0; w < words_.size(); ++w) {
      if ((words_[w] & ~other.words_[w]) != 0) return false;
    }
    return true;
  }
  IndexSet intersection(const IndexSet& other) const {
    if (capacity_ != other.capacity_) {
      panic(std::string(Tag::kName) + "s from different contexts cannot be intersected");
    }
    IndexSet out = *this;
    for (std::size_t w = 0; w < words_.size(); ++w) out.words_[w] &= other.words_[w];
    return out;
  }
  IndexSet clone() const { return *this; }

  const Word* words() const { return words_.data(); }
  Word* mutable_words() { return words_.data(); }
  std::size_t word_count() const { return words_.size(); }

 private:
  explicit IndexSet(std::size_t capacity) : capacity_(capacity), words_(words_for(capacity), 0) {}

  std::size_t capacity_;
  std::vector<Word> words_;
};

struct ObjectTag {
  static constexpr const char* kName = "ObjectSet";
};
struct AttributeTag {
  static constexpr const char* kName = "AttributeSet";
};

using ObjectSet = IndexSet<ObjectTag>;
using AttributeSet = IndexSet<AttributeTag>;

}  // namespace quorlan
