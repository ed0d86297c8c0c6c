// Limits of the FIMI reader: rows are dense, so one large item identifier would make every row
// billions of bits wide. Contexts beyond these limits are refused before anything is allocated.
#pragma once

#include <cstdint>

namespace quorlan {

// Objects × attributes incidence cells (bits) of one context: 1 GiB of bits.
inline constexpr std::uint64_t kFimiMaxCells = std::uint64_t{1} << 33;
// Attributes (largest identifier + 1); each needs a generated name.
inline constexpr std::uint64_t kFimiMaxAttributes = std::uint64_t{1} << 21;

}  // namespace quorlan
