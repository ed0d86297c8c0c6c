// Fixed-capacity sets of object or attribute indices. One bit per index in 64-bit words, padded
// to whole 128-bit blocks (two words); bits at or beyond the capacity are always zero, so
// whole-word operations never need masking. The word-array helpers below are the one bit
// vocabulary of the system: the engine's flat bit matrices use them as the sets do.
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

inline bool test_bit(const Word* w, std::size_t i) {
  return (w[i / kWordBits] >> (i % kWordBits)) & 1u;
}
inline void set_bit(Word* w, std::size_t i) { w[i / kWordBits] |= Word{1} << (i % kWordBits); }
inline void clear_bit(Word* w, std::size_t i) { w[i / kWordBits] &= ~(Word{1} << (i % kWordBits)); }

// The bits of one word below position r (r < 64).
inline Word low_mask(std::size_t r) { return (Word{1} << r) - 1; }

// The set bits of `count` words, given word by word by word_at(w), ascending: true as soon as
// pred holds for one of them. Every other walk over set bits is written with this one.
template <class WordAt, class Pred>
bool any_bit_of(std::size_t count, WordAt&& word_at, Pred&& pred) {
  for (std::size_t w = 0; w < count; ++w) {
    for (Word bits = word_at(w); bits != 0; bits &= bits - 1) {
      if (pred(static_cast<std::uint32_t>(w * kWordBits) +
               static_cast<std::uint32_t>(std::countr_zero(bits)))) {
        return true;
      }
    }
  }
  return false;
}

template <class Pred>
bool any_bit(const Word* words, std::size_t count, Pred&& pred) {
  return any_bit_of(
      count, [&](std::size_t w) { return words[w]; }, pred);
}

template <class F>
void for_each_bit(const Word* words, std::size_t count, F&& f) {
  any_bit(words, count, [&](std::uint32_t i) {
    f(i);
    return false;
  });
}

// Calls f(i) for every index i < limit whose bit is clear in `words`, ascending, until f
// returns true; answers whether it did.
template <class Pred>
bool any_clear_bit_below(const Word* words, std::size_t limit, Pred&& pred) {
  const std::size_t whole = limit / kWordBits;
  return any_bit_of((limit + kWordBits - 1) / kWordBits,
                    [&](std::size_t w) {
                      return ~words[w] & (w < whole ? ~Word{0} : low_mask(limit % kWordBits));
                    },
                    pred);
}

// The population count of many words, with the processor's popcount instruction where it has
// one (chosen once, at run time: the module is built for every x86-64).
std::size_t count_bits_dispatched(const Word* words, std::size_t count);
// out := a & b, word by word; returns the bits set in out.
std::size_t and_count(const Word* a, const Word* b, Word* out, std::size_t count);

// The portable loop; also the dispatcher's fallback.
inline std::size_t count_bits_portable(const Word* words, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w) c += static_cast<std::size_t>(std::popcount(words[w]));
  return c;
}

inline std::size_t count_bits(const Word* words, std::size_t count) {
  if (count > 4) return count_bits_dispatched(words, count);
  return count_bits_portable(words, count);
}

// a and b agree on every bit below `limit`.
inline bool agree_below(const Word* a, const Word* b, std::size_t limit) {
  const std::size_t whole = limit / kWordBits;
  for (std::size_t w = 0; w < whole; ++w) {
    if (a[w] != b[w]) return false;
  }
  const std::size_t rest = limit % kWordBits;
  return rest == 0 || ((a[whole] ^ b[whole]) & low_mask(rest)) == 0;
}

// Every bit of a below `limit` is set in b.
inline bool subset_below(const Word* a, const Word* b, std::size_t limit) {
  const std::size_t whole = limit / kWordBits;
  for (std::size_t w = 0; w < whole; ++w) {
    if ((a[w] & ~b[w]) != 0) return false;
  }
  const std::size_t rest = limit % kWordBits;
  return rest == 0 || (a[whole] & ~b[whole] & low_mask(rest)) == 0;
}

// out := the bits of a below `limit` (count words).
inline void copy_below(const Word* a, std::size_t limit, std::size_t count, Word* out) {
  const std::size_t whole = limit / kWordBits;
  for (std::size_t w = 0; w < count; ++w) {
    out[w] = w < whole ? a[w] : (w == whole ? a[w] & low_mask(limit % kWordBits) : 0);
  }
}

// out := every index below `capacity` (count words, the padding cleared).
inline void fill_below(std::size_t capacity, std::size_t count, Word* out) {
  const std::size_t whole = capacity / kWordBits;
  for (std::size_t w = 0; w < count; ++w) {
    out[w] = w < whole ? ~Word{0} : (w == whole ? low_mask(capacity % kWordBits) : 0);
  }
}

template <class Tag>
class IndexSet {
 public:
  static IndexSet empty(std::size_t capacity) { return IndexSet(capacity); }
  static IndexSet full(std::size_t capacity) {
    IndexSet s(capacity);
    fill_below(capacity, s.words_.size(), s.words_.data());
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
    for_each_bit(words_.data(), words_.size(), f);
  }
  // True when pred holds for some member, ascending; stops at the first.
  template <class Pred>
  bool any_of(Pred&& pred) const {
    return any_bit(words_.data(), words_.size(), pred);
  }
  std::size_t count() const { return count_bits(words_.data(), words_.size()); }
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
    return subset_below(words_.data(), other.words_.data(), words_.size() * kWordBits);
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
