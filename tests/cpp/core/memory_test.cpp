// The core's block buffer on both of its paths: small blocks from malloc, and large ones mapped
// from the system, aligned to huge pages and unmapped whole when the buffer goes.
#include "core/internal/memory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quorlan {
namespace {

using internal::BlockBuffer;

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

// Whether any mapping of this process covers the address (Linux; false elsewhere).
bool is_mapped(std::uintptr_t address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream in(line);
    std::uintptr_t start = 0, end = 0;
    char dash = 0;
    in >> std::hex >> start >> dash >> end;
    if (start <= address && address < end) return true;
  }
  return false;
}

TEST(BlockBuffer, RunsKeepTheirItemsAcrossSmallAndMappedBlocks) {
  // Runs of 3 items in malloc'd blocks, then runs of 1, 2 and 3 MB words, each beyond what is
  // left, so that every large run opens a mapped block of its own.
  BlockBuffer<std::uint32_t> buffer;
  std::vector<std::pair<const std::uint32_t*, std::size_t>> runs;
  std::uint32_t next = 0;
  const std::size_t sizes[] = {3, 3, 3, 1 << 18, 1 << 19, 3 << 18, 3};
  for (std::size_t count : sizes) {
    std::uint32_t* at = buffer.append(count);
    for (std::size_t i = 0; i < count; ++i) at[i] = next++;
    runs.emplace_back(at, count);
  }
  std::uint32_t expected = 0;
  for (const auto& [at, count] : runs) {
    for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(at[i], expected++);
  }
#if defined(__linux__)
  // The runs of at least a huge page start blocks of their own, mapped and aligned.
  for (std::size_t k = 4; k < 6; ++k) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(runs[k].first) % kHugePage, 0u) << k;
  }
#endif
}

TEST(BlockBuffer, MappedBlocksGoBackToTheSystem) {
#if !defined(__linux__)
  GTEST_SKIP() << "the mapped path is Linux's";
#else
  std::uintptr_t first = 0, last = 0;
  {
    BlockBuffer<std::uint64_t> buffer;
    std::uint64_t* at = buffer.append(std::size_t{1} << 20);  // 8 MB
    at[0] = 1;
    at[(std::size_t{1} << 20) - 1] = 2;
    first = reinterpret_cast<std::uintptr_t>(at);
    last = reinterpret_cast<std::uintptr_t>(at + (std::size_t{1} << 20) - 1);
    ASSERT_TRUE(is_mapped(first));
    ASSERT_TRUE(is_mapped(last));
  }
  EXPECT_FALSE(is_mapped(first));
  EXPECT_FALSE(is_mapped(last));
#endif
}

TEST(BlockBuffer, AdoptedArrayIsTheFirstBlock) {
  GrowArray<std::uint32_t> items;
  for (std::uint32_t i = 0; i < 5000; ++i) items.push_back(i * 7);
  const std::uint32_t* data = items.data();
  BlockBuffer<std::uint32_t> buffer;
  EXPECT_EQ(buffer.adopt(std::move(items)), data);  // not copied
  std::uint32_t* more = buffer.append(10);
  for (std::uint32_t i = 0; i < 10; ++i) more[i] = i;
  EXPECT_EQ(data[4999], 4999u * 7);
  EXPECT_EQ(more[9], 9u);
}

}  // namespace
}  // namespace quorlan
