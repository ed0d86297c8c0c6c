// Memory for the large arrays of the core: growing without copying what they hold, and given
// back to the system when freed. The platform's calls (mmap, madvise, malloc_trim) are here
// and nowhere else.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/heap.h"

namespace quorlan {

// A growing array of plain integers on malloc and realloc: indexing is a vector's, and where
// the C library grows large allocations by remapping their pages (glibc), growing copies nothing
// and never holds the old and the new array at once.
template <class T>
class GrowArray {
 public:
  std::size_t size() const { return size_; }
  T operator[](std::size_t i) const { return data_[i]; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  void pop_back() { --size_; }
  void push_back(T value) {
    if (size_ == capacity_) grow(std::max<std::size_t>(1024, capacity_ * 2));
    data_[size_++] = value;
  }
  void append(const T* values, std::size_t count) {
    if (count > capacity_ - size_) {
      grow(std::max({std::size_t{1024}, capacity_ * 2, size_ + count}));
    }
    if (count != 0) std::copy_n(values, count, data_ + size_);
    size_ += count;
  }
  // Keeps the first `size` items (no more than there are).
  void truncate(std::size_t size) { size_ = std::min(size, size_); }
  void reserve(std::size_t capacity) {
    if (capacity > capacity_) grow(capacity);
  }

  GrowArray() = default;
  // `size` zeros.
  explicit GrowArray(std::size_t size) {
    reserve(size);
    std::fill_n(data_, size, T{});
    size_ = size;
  }
  ~GrowArray() { std::free(data_); }
  GrowArray(GrowArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  GrowArray& operator=(GrowArray&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  GrowArray(const GrowArray& other) {
    reserve(other.size_);
    std::copy_n(other.data_, other.size_, data_);
    size_ = other.size_;
  }
  GrowArray& operator=(const GrowArray& other) {
    if (this != &other) *this = GrowArray(other);
    return *this;
  }

 private:
  void grow(std::size_t capacity) {
    static_assert(std::is_trivial_v<T>, "moved by realloc");
    void* grown = std::realloc(data_, capacity * sizeof(T));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = capacity;
  }
  T* data_ = nullptr;
  std::size_t size_ = 0, capacity_ = 0;
};

// Items appended in runs that each stay in one block, found again by their address: blocks
// never move.
template <class T>
class BlockBuffer {
 public:
  // Room for `count` items in one block. The items are not initialised. Inline: every stored
  // set passes here, and the new block is the rare case.
  T* append(std::size_t count) {
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < count) {
      add_block_for(count);
    }
    Block& b = blocks_.back();
    T* at = b.data + b.used;
    b.used += count;
    return at;
  }
  // Takes over an array's items as the first block (the buffer must be empty); returns them.
  const T* adopt(GrowArray<T>&& items);

  BlockBuffer() = default;
  BlockBuffer(BlockBuffer&&) noexcept = default;
  BlockBuffer& operator=(BlockBuffer&&) noexcept = default;

 private:
  // Large blocks are mapped from the system directly (so that their pages go back to it when
  // freed) and aligned to huge pages; the others come from malloc.
  struct Free {
    std::size_t mapped = 0;  // bytes mapped, or 0 for malloc
    void operator()(T* p) const;
  };
  struct Block {
    std::unique_ptr<T[], Free> owned;  // a fresh block; empty for an adopted array
    GrowArray<T> adopted;
    T* data = nullptr;
    std::size_t capacity = 0, used = 0;
  };
  void add_block(std::size_t capacity);
  void add_block_for(std::size_t count);
  std::vector<Block> blocks_;
  std::size_t total_ = 0;  // the capacity of all blocks
};

}  // namespace quorlan
