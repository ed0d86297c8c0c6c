// The completion event every enumeration run emits, each algorithm at a site of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/concept.h"
#include "diagnostics/events.h"

namespace quorlan {

inline constexpr const char* kGenerationFields[] = {"message", "algorithm", "concepts", "objects",
                                                    "attributes"};

// Emits the completion event of a run at `site` and hands the lattice on.
inline Lattice reported(const diagnostics::EventSite& site, std::string_view algorithm,
                        Lattice out) {
  diagnostics::emit(site, std::string_view("concept generation complete"), algorithm,
                    static_cast<std::uint64_t>(out.size()),
                    static_cast<std::uint64_t>(out.n_objects()),
                    static_cast<std::uint64_t>(out.n_attributes()));
  return out;
}

}  // namespace quorlan

#define QUORLAN_GENERATION_SITE(VAR, TARGET) \
  QUORLAN_EVENT_SITE(VAR, Debug, TARGET, ::quorlan::kGenerationFields)
