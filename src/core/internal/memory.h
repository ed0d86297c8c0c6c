// internal: include core/packed_sets.h instead.
// Memory for the large arrays of the core: blocks that never move, the large ones mapped from
// the system so that they go back to it when freed. The platform's calls (mmap, madvise,
// malloc_trim) are here and nowhere else.
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

#include "core/grow_array.h"
#include "core/heap.h"

namespace quorlan::internal {

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

}  // namespace quorlan::internal
