// The registry of concept enumeration algorithms: one small interface, three stateless
// implementations, looked up by name (ASCII case-insensitive, with a few aliases).
//
// What each algorithm runs. All three are enumerate_concepts (enumerate.h) and then their
// completion event (algorithm.cpp); they differ only in the order of siblings in the tree of
// canonical extensions: NextClosure takes them by descending generating attribute, which lists
// the intents in lectic order; FCbO and In-Close5 by ascending one, the depth-first pre-order,
// and so give the same list. enumerate.cpp picks the form of the context (forms.h), and each
// form has one canonicity test, the one measured fastest on it, whichever algorithm asks:
//   bit words (internal/dense_search, most contexts): In-Close's test on the candidate extent,
//       read on its rows with an early stop, and FCbO's failure sets (all refuting attributes
//       of a failure, kept for the subtree);
//   index lists (internal/sparse_search, few incidences per object out of many attributes):
//       In-Close's test, and a failure remembered by its smallest refuting attribute;
//   transposed (internal/wide_search, far more attributes than objects): the concepts of the
//       transposed context, found on bit words or lists as above, then sorted into the order.
// internal/walk.h holds the depth-first walk and the failure memo the searches share.
// canonical_base.h: the Duquenne-Guigues base, on the bit-word and list forms.
#pragma once

#include <array>
#include <string_view>

#include "core/concept.h"
#include "core/context.h"
#include "engine/limits.h"

namespace quorlan {

class ConceptAlgorithm {
 public:
  virtual ~ConceptAlgorithm() = default;
  virtual const char* name() const = 0;
  // All concepts of the context, top concept first, in the algorithm's own order.
  Lattice compute(const Context& context) const { return compute(context, {}).lattice; }
  // The same within limits (engine/limits.h): an iceberg in the same order, or a count.
  virtual EnumerationResult compute(const Context& context,
                                    const EnumerationLimits& limits) const = 0;
};

// Ganter 1984: intents in lectic order (attribute 0 most significant).
class NextClosure final : public ConceptAlgorithm {
 public:
  const char* name() const override { return "next-closure"; }
  using ConceptAlgorithm::compute;
  EnumerationResult compute(const Context& context, const EnumerationLimits& limits) const override;
};

// Andrews' In-Close: depth-first close-by-one, children in ascending attribute order, output
// in pre-order (identical to FCbO's).
class InClose5 final : public ConceptAlgorithm {
 public:
  const char* name() const override { return "in-close-5"; }
  using ConceptAlgorithm::compute;
  EnumerationResult compute(const Context& context, const EnumerationLimits& limits) const override;
};

// Outrata & Vychodil 2012: close-by-one with failure sets inherited down the tree; output in
// depth-first pre-order.
class FCbO final : public ConceptAlgorithm {
 public:
  const char* name() const override { return "fcbo"; }
  using ConceptAlgorithm::compute;
  EnumerationResult compute(const Context& context, const EnumerationLimits& limits) const override;
};

inline constexpr std::array<const char*, 3> ALGORITHM_NAMES = {"next-closure", "in-close-5",
                                                               "fcbo"};

// The algorithm for a name, or nullptr. The handle points to a static object.
const ConceptAlgorithm* algorithm_by_name(std::string_view name);

}  // namespace quorlan
