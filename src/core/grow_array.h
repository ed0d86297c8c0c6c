// A growing array of plain integers: the buffer that readers fill and the core's sets and
// names take over without a copy.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace quorlan {

// A growing array of plain integers on malloc and realloc: indexing is a vector's, and where
// the C library grows large allocations by remapping their pages (glibc), growing copies nothing
// and never holds the old and the new array at once.
template <class T>
class GrowArray {
 public:
  using value_type = T;
  std::size_t size() const { return size_; }
  T operator[](std::size_t i) const { return data_[i]; }
  T& operator[](std::size_t i) { return data_[i]; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
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
  // `size` items: the first ones kept, any new ones `value`.
  void resize(std::size_t size, T value = T{}) {
    reserve(size);
    if (size > size_) std::fill_n(data_ + size_, size - size_, value);
    size_ = size;
  }
  void reserve(std::size_t capacity) {
    if (capacity > capacity_) grow(capacity);
  }

  GrowArray() = default;
  // `size` zeros.
  explicit GrowArray(std::size_t size) { resize(size); }
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

}  // namespace quorlan
