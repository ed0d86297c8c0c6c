// The registry of concept enumeration algorithms: one small interface, three stateless
// implementations, looked up by name (ASCII case-insensitive, with a few aliases).
#pragma once

#include <array>
#include <string_view>

#include "core/concept.h"
#include "core/context.h"

namespace quorlan {

class ConceptAlgorithm {
 public:
  virtual ~ConceptAlgorithm() = default;
  virtual const char* name() const = 0;
  // All concepts of the context, top concept first, in the algorithm's own order.
  virtual Lattice compute(const Context& context) const = 0;
};

// Ganter 1984: intents in lectic order (attribute 0 most significant).
class NextClosure final : public ConceptAlgorithm {
 public:
  const char* name() const override { return "next-closure"; }
  Lattice compute(const Context& context) const override;
};

// Andrews' In-Close: depth-first close-by-one, children in ascending attribute order, output
// in pre-order (identical to FCbO's).
class InClose5 final : public ConceptAlgorithm {
 public:
  const char* name() const override { return "in-close-5"; }
  Lattice compute(const Context& context) const override;
};

// Outrata & Vychodil 2012: close-by-one with failure sets inherited down the tree; output in
// depth-first pre-order.
class FCbO final : public ConceptAlgorithm {
 public:
  const char* name() const override { return "fcbo"; }
  Lattice compute(const Context& context) const override;
};

inline constexpr std::array<const char*, 3> ALGORITHM_NAMES = {"next-closure", "in-close-5",
                                                               "fcbo"};

// The algorithm for a name, or nullptr. The handle points to a static object.
const ConceptAlgorithm* algorithm_by_name(std::string_view name);

}  // namespace quorlan
