// The completion event every enumeration run emits.
#pragma once

#include <cstdint>

namespace quorlan {

inline constexpr const char* kGenerationFields[] = {"message", "algorithm", "concepts", "objects",
                                                    "attributes"};

}  // namespace quorlan

#define QUORLAN_GENERATION_EVENT(TARGET, ALGORITHM, LATTICE)                                \
  QUORLAN_EVENT(Debug, TARGET, ::quorlan::kGenerationFields, "concept generation complete", \
                ALGORITHM, static_cast<std::uint64_t>((LATTICE).size()),                    \
                static_cast<std::uint64_t>((LATTICE).n_objects()),                          \
                static_cast<std::uint64_t>((LATTICE).n_attributes()))
