#include "core/internal/memory.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorlan::internal {

#if defined(__linux__)
namespace {

// Blocks of at least this many bytes are aligned to and advised as huge pages.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace
#endif

template <class T>
void BlockBuffer<T>::Free::operator()(T* p) const {
#if defined(__linux__)
  if (mapped != 0) {
    munmap(p, mapped);
    return;
  }
#endif
  std::free(p);
}

template <class T>
void BlockBuffer<T>::add_block(std::size_t capacity) {
  static_assert(std::is_trivial_v<T>, "blocks hold plain integers, never constructed");
  Block b;
  std::size_t bytes = capacity * sizeof(T);
  void* memory = nullptr;
  std::size_t mapped = 0;
#if defined(__linux__)
  if (bytes >= kHugePage) {
    bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    capacity = bytes / sizeof(T);
    // One huge page more than needed, then the unaligned ends given back.
    void* region = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(region);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) munmap(region, aligned - start);
    // The part after the block: at least one byte, since aligned < start + kHugePage.
    munmap(reinterpret_cast<void*>(aligned + bytes), start + kHugePage - aligned);
    memory = reinterpret_cast<void*>(aligned);
    mapped = bytes;
#if defined(MADV_HUGEPAGE)
    madvise(memory, bytes, MADV_HUGEPAGE);  // advice only
#endif
  }
#endif
  if (memory == nullptr) memory = std::malloc(bytes);
  if (memory == nullptr) throw std::bad_alloc();
  b.owned = std::unique_ptr<T[], Free>(static_cast<T*>(memory), Free{mapped});
  b.data = b.owned.get();
  b.capacity = capacity;
  total_ += capacity;
  blocks_.push_back(std::move(b));
}

template <class T>
void BlockBuffer<T>::add_block_for(std::size_t count) {
  constexpr std::size_t kFirst = 4096;
  add_block(std::max({count, total_, kFirst}));
}

template <class T>
const T* BlockBuffer<T>::adopt(GrowArray<T>&& items) {
  Block b;
  b.adopted = std::move(items);
  b.data = b.adopted.data();
  b.capacity = b.used = b.adopted.size();
  total_ += b.capacity;
  blocks_.push_back(std::move(b));
  return blocks_.back().data;
}

template class BlockBuffer<std::uint32_t>;
template class BlockBuffer<std::uint64_t>;  // the words of core/sets.h

}  // namespace quorlan::internal

namespace quorlan {

void release_free_heap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace quorlan
