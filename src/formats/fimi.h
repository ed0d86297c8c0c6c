// Limits of the FIMI reader. Rows are stored by their incidences, but every identifier up to
// the largest is an attribute, and an attribute costs a name, a slot in every per-attribute
// table of the engine and a member of the bottom concept's intent. So the attribute count may
// exceed a fixed allowance only as far as the file holds incidences: memory stays in
// proportion to the input, and a few bytes cannot ask for gigabytes.
#pragma once

#include <cstdint>

namespace quorlan {

// Attributes any file may have, whatever its size.
inline constexpr std::uint64_t kFimiFreeAttributes = std::uint64_t{1} << 21;

// The most attributes a file with this many incidences may make.
inline constexpr std::uint64_t fimi_attribute_limit(std::uint64_t incidences) {
  const std::uint64_t limit = incidences > kFimiFreeAttributes ? incidences : kFimiFreeAttributes;
  return limit < UINT32_MAX ? limit : UINT32_MAX;
}

}  // namespace quorlan
