// The registry of concept enumeration algorithms: one small interface, three stateless
// implementations, looked up by name (ASCII case-insensitive, with a few aliases).
//
// Where each computation lives:
//   next_closure, fcbo, in_close5  the classes below (algorithm.cpp): each is a call of
//       enumerate_concepts (enumerate.h) with its canonicity test and sibling order, then its
//       completion event. enumerate.cpp picks the form of the context that does the walk:
//         internal/dense_search   bit-word rows and columns (most contexts)
//         internal/sparse_search  index lists (few incidences per object out of many attributes)
//         internal/wide_search    the transposed context (far more attributes than objects)
//       and internal/walk.h holds the depth-first walk and failure memo they share.
//   canonical_base  canonical_base.h: the Duquenne-Guigues base, on the same two forms of the
//       context as the dense and sparse searches.
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
