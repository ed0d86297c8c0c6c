// Plain reference procedures, written straight from the definitions, for checking the fast
// engine: each is slow and obviously right.
#pragma once

#include <vector>

#include "core/concept.h"
#include "core/context.h"
#include "engine/canonical_base.h"

namespace quorlan::reference {

// Ganter's NextClosure with the context's own derivation operators; lectic order.
std::vector<Concept> next_closure(const Context& context);
// The plain recursive close-by-one search; depth-first pre-order.
std::vector<Concept> close_by_one(const Context& context);
// Closes every attribute subset (m <= 16); the set of concepts in no particular order.
std::vector<Concept> brute_force(const Context& context);
// The literal triple loop over all concept pairs.
std::vector<CoverPair> covers(const std::vector<Concept>& concepts);
// Ganter's algorithm with full passes over the implication list.
CanonicalBase canonical_base(const Context& context);
// Pseudo-intents by their definition, over all attribute subsets (m <= 12), in lectic order.
std::vector<AttributeSet> pseudo_intents(const Context& context);

// A < B in lectic order (attribute 0 most significant).
bool lectic_less(const AttributeSet& a, const AttributeSet& b);
AttributeSet closure(const Context& context, const AttributeSet& b);

}  // namespace quorlan::reference
